#pragma once

#include "core/tick.h"

#include <QTime>

#include <chrono>

// The local wall clock, behind an interface so that tests and benchmarks can drive time.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local time of day in milliseconds since midnight, 0..86'399'999.
    virtual qint64 msecsSinceMidnight() const = 0;

    // Milliseconds on a clock that only runs on, from any origin.
    virtual qint64 steadyMsecs() const = 0;

    ClockReading read() const { return {msecsSinceMidnight(), steadyMsecs()}; }
};

class SystemClock final : public Clock
{
public:
    qint64 msecsSinceMidnight() const override
    {
        return QTime::currentTime().msecsSinceStartOfDay();
    }
    qint64 steadyMsecs() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};
