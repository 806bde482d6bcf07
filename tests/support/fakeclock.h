#pragma once

#include "platform/clock.h"

// A clock that only moves when a test moves it, and counts how often it is read.
class FakeClock final : public Clock
{
public:
    qint64 msecsSinceMidnight() const override
    {
        ++reads;
        return m_msecs;
    }

    void set(int h, int m, int s, int ms = 0) { m_msecs = ((h * 60LL + m) * 60 + s) * 1000 + ms; }
    // Moves forward, wrapping at midnight.
    void advance(qint64 ms) { m_msecs = ((m_msecs + ms) % kDay + kDay) % kDay; }

    mutable int reads = 0;

private:
    static constexpr qint64 kDay = 86'400'000;
    qint64 m_msecs = 0;
};
