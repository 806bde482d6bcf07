#pragma once

#include <QString>
#include <QStringView>
#include <QTime>

#include <optional>

// One reading of the clock: the local time of day, and a steady clock (from any origin) that
// tells how much time really passed between two readings.
struct ClockReading
{
    qint64 msecsSinceMidnight = 0;
    qint64 steadyMsecs = 0;

    // The time of day in whole seconds.
    QTime time() const
    {
        return QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecsSinceMidnight / 1000 * 1000));
    }
};

// What one tick of the clock asks of the main window, to be done in this order:
// ring, then either the new clock text or the caption refresh, then the attention or its end.
struct TickActions
{
    bool confirm = false;             // the reading jumped: tick again in a moment to confirm it
    bool ring = false;                // show the time-up window
    std::optional<QString> clockText; // new text for the clock label
    bool refreshCaption = false;      // recompute the minimised caption
    bool demandAttention = false;     // overdue: ask for the user's attention (held until ended)
    bool endAttention = false;        // the alarm is armed again: the attention ends
    friend bool operator==(const TickActions &, const TickActions &) = default;
};

// What the main window's clock does on each tick: whether the alarm rings or is armed again,
// and what is shown. Owns the rung flag.
//
// A reading that does not follow from the last by the time that really passed is acted on only
// once the next, a moment later, follows from it: the clock was set. Otherwise it was one wild
// reading (a clock source hands one out now and then), which would ring early, or ring twice by
// arming the alarm again.
class ClockTick
{
public:
    TickActions decide(const ClockReading &reading, QStringView clockLabel, bool minimised,
                       std::optional<QTime> alarm);

    // A newly accepted alarm rings at the next tick when its time has passed today, even if
    // the alarm rang today already.
    void rearm() { m_rang = false; }

private:
    bool believable(const ClockReading &reading) const;

    // The alarm has rung and is not armed again yet.
    bool m_rang = false;
    // The reading of the last tick that got past the clock label's second and was believed.
    std::optional<ClockReading> m_last;
    // A reading that jumped from m_last, waiting for the next one to confirm it.
    std::optional<ClockReading> m_jumped;
};
