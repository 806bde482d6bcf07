#pragma once

#include "alarmvalue.h"

#include <QString>
#include <QStringView>

#include <optional>

// What one tick of the clock asks of the main window, to be done in this order:
// ring, then either the new clock text or the caption refresh, then the flash or its end.
struct TickActions
{
    bool ring = false;                // show the time-up window
    std::optional<QString> clockText; // new text for the clock label
    bool refreshCaption = false;      // recompute the minimised caption
    bool flash = false;               // ask for the taskbar's attention (held until ended)
    bool endFlash = false;            // the alarm is armed again: the attention ends
    friend bool operator==(const TickActions &, const TickActions &) = default;
};

// The decisions of the main window's tick, once a second. Owns the rung flag.
class ClockTick
{
public:
    TickActions Timer1_Timer(TimeValue now, QStringView lblTime, bool minimised,
                             const AlarmValue &alarm);

private:
    bool m_blnRang = false;
};
