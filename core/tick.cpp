#include "core/tick.h"

#include "core/timetext.h"

namespace {
constexpr int kHalfDay = TimeValue::kSecondsPerDay / 2;
}

TickActions ClockTick::decide(TimeValue now, QStringView lblTime, bool minimised,
                              const AlarmValue &alarm)
{
    TickActions actions;

    // The clock label remembers the last second shown: a tick in that same second does
    // nothing. While minimised the label is not updated, so nearly every tick gets through.
    QString nowText = toText(now);
    if (lblTime == nowText)
        return actions;

    // The alarm is armed again by a tick before its time (after midnight, or after the clock
    // was set back), and by the first tick of a new day: an alarm at 00:00 has no time of day
    // before it. A clock set back by less than half a day (the autumn change) starts no new day.
    // An alarm held as text is never reached and always lies ahead: it never rings.
    const bool newDay = m_lastBody && m_lastBody->seconds() - now.seconds() > kHalfDay;
    m_lastBody = now;
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
