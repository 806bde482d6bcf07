#include "wallclocktimer.h"

#include "clock.h"

#include <algorithm>

namespace {
constexpr qint64 kDay = 86'400'000;
}

namespace TickSchedule {

qint64 msecsToNextTick(qint64 now, int interval, int margin)
{
    const qint64 step = std::max(interval, 1);
    // The grid restarts at every midnight, so count from the midnight at or before now - margin.
    const qint64 shifted = now - margin;
    const qint64 day = shifted < 0 ? -kDay : 0;
    const qint64 sinceMidnight = shifted - day;
    qint64 next = day + (sinceMidnight / step + 1) * step;
    if (next > day + kDay)
        next = day + kDay;
    return next + margin - now;
}

qint64 msecsPastDue(qint64 now, qint64 due)
{
    qint64 d = (now - due) % kDay;
    if (d < -kDay / 2)
        d += kDay;
    else if (d >= kDay / 2)
        d -= kDay;
    return d;
}

bool shouldTick(qint64 now, qint64 due, int interval)
{
    const qint64 late = msecsPastDue(now, due);
    return late >= 0 || late <= -std::max(interval, 1);
}

} // namespace TickSchedule

WallClockTimer::WallClockTimer(const Clock &clock, QObject *parent)
    : QObject(parent), m_clock(clock)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &WallClockTimer::wake);
}

void WallClockTimer::setInterval(int msec)
{
    m_interval = msec;
    if (isEnabled())
        arm();
}

int WallClockTimer::interval() const
{
    return m_interval;
}

void WallClockTimer::setEnabled(bool enabled)
{
    if (enabled)
        arm();
    else
        m_timer.stop();
}

bool WallClockTimer::isEnabled() const
{
    // The single shot is re-armed before each tick is delivered, so it is active exactly
    // while the timer is enabled.
    return m_timer.isActive();
}

int WallClockTimer::remainingTime() const
{
    return m_timer.remainingTime();
}

void WallClockTimer::arm()
{
    const qint64 now = m_clock.msecsSinceMidnight();
    const qint64 delay = TickSchedule::msecsToNextTick(now, m_interval, kMarginMsecs);
    m_due = now + delay;
    m_timer.start(static_cast<int>(delay));
}

void WallClockTimer::wake()
{
    const bool tick = TickSchedule::shouldTick(m_clock.msecsSinceMidnight(), m_due, m_interval);
    // Armed before the tick runs, so that a handler that disables the timer has the last word.
    arm();
    if (tick)
        emit timeout();
}
