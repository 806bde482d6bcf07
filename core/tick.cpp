#include "core/tick.h"

#include "core/tickschedule.h"

#include <cstdlib>

namespace {

constexpr qint64 kDayMs = 86'400'000;
// How far a reading may stray from the steady clock's time: the wall clock is slewed at times.
constexpr qint64 kStrayMs = 1000;

bool follows(const ClockReading &later, const ClockReading &earlier)
{
    const qint64 passed = later.steadyMsecs - earlier.steadyMsecs;
    return std::abs(TickSchedule::msecsBetween(later.msecsSinceMidnight,
                                               earlier.msecsSinceMidnight + passed)) <= kStrayMs;
}

} // namespace

bool ClockTick::believable(const ClockReading &reading) const
{
    return !m_last || follows(reading, *m_last) || (m_jumped && follows(reading, *m_jumped));
}

TickActions ClockTick::decide(const ClockReading &reading, QStringView clockLabel, bool minimised,
                              std::optional<QTime> alarm)
{
    TickActions actions;
    const QTime now = reading.time();

    // A tick in the second the clock label shows does nothing (minimised, the label stays).
    QString nowText = now.toString(u"HH:mm:ss");
    if (clockLabel == nowText)
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
    // Without an alarm nothing rings, and nothing is left rung.
    const bool newDay =
        m_last && m_last->msecsSinceMidnight - reading.msecsSinceMidnight > kDayMs / 2;
    m_last = reading;
    if (newDay || !alarm || now < *alarm) {
        // The attention the overdue alarm asked for ends with it.
        actions.endAttention = m_rang;
        m_rang = false;
    }
    if (alarm && now >= *alarm && !m_rang) {
        actions.ring = true;
        m_rang = true;
    }

    if (minimised) {
        actions.refreshCaption = true;
        actions.demandAttention = alarm && now > *alarm;
    } else {
        actions.clockText = std::move(nowText);
    }
    return actions;
}
