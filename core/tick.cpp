#include "core/tick.h"

#include "core/timetext.h"

#include <cstdlib>

namespace {

constexpr int kHalfDay = TimeValue::kSecondsPerDay / 2;
constexpr qint64 kDayMs = 86'400'000;
// How far a reading may stray from the time the steady clock says has passed: the two are read
// a moment apart, and the wall clock is slewed by the network now and then.
constexpr qint64 kStrayMs = 1000;

// a - b on the 24-hour circle, in [-12 h, 12 h).
qint64 circleDiff(qint64 a, qint64 b)
{
    qint64 d = (a - b) % kDayMs;
    if (d < -kDayMs / 2)
        d += kDayMs;
    else if (d >= kDayMs / 2)
        d -= kDayMs;
    return d;
}

bool follows(const ClockReading &later, const ClockReading &earlier)
{
    const qint64 passed = later.steadyMsecs - earlier.steadyMsecs;
    return std::abs(circleDiff(later.msecsSinceMidnight, earlier.msecsSinceMidnight + passed)) <=
           kStrayMs;
}

} // namespace

bool ClockTick::believable(const ClockReading &reading) const
{
    return !m_last || follows(reading, *m_last) || (m_jumped && follows(reading, *m_jumped));
}

TickActions ClockTick::decide(const ClockReading &reading, QStringView lblTime, bool minimised,
                              const AlarmValue &alarm)
{
    TickActions actions;
    const TimeValue now = TimeValue::ofDay(reading.msecsSinceMidnight / 1000);

    // The clock label remembers the last second shown: a tick in that same second does
    // nothing. While minimised the label is not updated, so nearly every tick gets through.
    QString nowText = toText(now);
    if (lblTime == nowText)
        return actions;

    if (!believable(reading)) {
        m_jumped = reading;
        actions.confirm = true;
        return actions;
    }
    m_jumped.reset();

    // The alarm is armed again by a tick before its time (after midnight, or after the clock
    // was set back), and by the first tick of a new day: an alarm at 00:00 has no time of day
    // before it. A clock set back by less than half a day (the autumn change) starts no new day.
    // An alarm held as text is never reached and always lies ahead: it never rings.
    const bool newDay = m_last && m_last->msecsSinceMidnight / 1000 - now.seconds() > kHalfDay;
    m_last = reading;
    if (newDay || nowBefore(now, alarm)) {
        // The attention the overdue alarm asked for ends with it.
        actions.endAttention = m_blnRang;
        m_blnRang = false;
    }
    if (nowAtOrAfter(now, alarm) && !m_blnRang) {
        actions.ring = true;
        m_blnRang = true;
    }

    if (minimised) {
        actions.refreshCaption = true;
        actions.demandAttention = nowAfter(now, alarm);
    } else {
        actions.clockText = std::move(nowText);
    }
    return actions;
}
