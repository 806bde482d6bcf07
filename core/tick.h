#pragma once

#include "core/alarmvalue.h"

#include <QString>
#include <QStringView>

#include <optional>

// What one tick of the clock asks of the main window, to be done in this order:
// ring, then either the new clock text or the caption refresh, then the attention or its end.
struct TickActions
{
    bool ring = false;                // show the time-up window
    std::optional<QString> clockText; // new text for the clock label
    bool refreshCaption = false;      // recompute the minimised caption
    bool demandAttention = false;     // overdue: ask for the user's attention (held until ended)
    bool endAttention = false;        // the alarm is armed again: the attention ends
    friend bool operator==(const TickActions &, const TickActions &) = default;
};

// What the main window's clock does on each tick: whether the alarm rings or is armed again,
// and what is shown. Owns the rung flag.
class ClockTick
{
public:
    TickActions decide(TimeValue now, QStringView lblTime, bool minimised, const AlarmValue &alarm);

    // A newly accepted alarm rings at the next tick when its time has passed today, even if
    // the alarm rang today already.
    void rearm() { m_blnRang = false; }

private:
    bool m_blnRang = false;
    // The time of the last tick that got past the clock label's second.
    std::optional<TimeValue> m_lastBody;
};
