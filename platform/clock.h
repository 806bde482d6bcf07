#pragma once

#include <QTime>

// The local wall clock, behind an interface so that tests and benchmarks can drive time.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local time of day in milliseconds since midnight, 0..86'399'999.
    virtual qint64 msecsSinceMidnight() const = 0;

    // The local time of day in whole seconds, 0..86399.
    int secondsOfDay() const { return static_cast<int>(msecsSinceMidnight() / 1000); }
};

// Reads the system clock in local time.
class SystemClock final : public Clock
{
public:
    qint64 msecsSinceMidnight() const override
    {
        return QTime::currentTime().msecsSinceStartOfDay();
    }
};
