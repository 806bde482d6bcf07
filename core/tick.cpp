#include "core/tick.h"

#include "core/timetext.h"

TickActions ClockTick::decide(TimeValue now, QStringView lblTime, bool minimised,
                              const AlarmValue &alarm)
{
    TickActions actions;

    // The clock label remembers the last second shown: a tick in that same second does
    // nothing. While minimised the label is not updated, so nearly every tick gets through.
    QString nowText = toText(now);
    if (lblTime == nowText)
        return actions;

    // An alarm held as text is never reached and always lies ahead, so it never rings and
    // keeps the flag cleared; that is how opening the set-time dialog re-arms a rung alarm.
    if (nowAtOrAfter(now, alarm) && !m_blnRang) {
        actions.ring = true;
        m_blnRang = true;
    } else if (nowBefore(now, alarm)) {
        // Armed again (after midnight, or the dialog is open): the attention the overdue alarm
        // asked for ends with it.
        actions.endAttention = m_blnRang;
        m_blnRang = false;
    }

    if (minimised) {
        actions.refreshCaption = true;
        actions.demandAttention = nowAfter(now, alarm);
    } else {
        actions.clockText = std::move(nowText);
    }
    return actions;
}
