#pragma once

#include "platform/clock.h"

// A clock that only moves when a test moves it, and counts how often it is read. Every move is
// time passing, on the steady clock too (set() to an earlier time of day is the next day's);
// jump() sets the wall clock alone, as a user or the network does.
class FakeClock final : public Clock
{
public:
    qint64 msecsSinceMidnight() const override
    {
        ++reads;
        return m_msecs;
    }
    qint64 steadyMsecs() const override { return m_steady; }

    void set(int h, int m, int s, int ms = 0)
    {
        advance(((((h * 60LL + m) * 60 + s) * 1000 + ms - m_msecs) % kDay + kDay) % kDay);
    }
    // Moves forward, wrapping at midnight.
    void advance(qint64 ms)
    {
        m_msecs = ((m_msecs + ms) % kDay + kDay) % kDay;
        m_steady += ms;
    }
    void jump(int h, int m, int s, int ms = 0) { m_msecs = ((h * 60LL + m) * 60 + s) * 1000 + ms; }

    mutable int reads = 0;

private:
    static constexpr qint64 kDay = 86'400'000;
    qint64 m_msecs = 0;
    qint64 m_steady = 0;
};
