#include "platform/wallclocktimer.h"

#include "core/tickschedule.h"
#include "platform/clock.h"

#include <utility>

WallClockTimer::WallClockTimer(const Clock &clock, int intervalMsecs, QObject *parent)
    : QObject(parent), m_clock(clock), m_interval(intervalMsecs)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &WallClockTimer::wake);
}

void WallClockTimer::setEnabled(bool enabled)
{
    m_soon = false;
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

void WallClockTimer::tickSoon()
{
    if (!isEnabled())
        return;
    m_soon = true;
    m_timer.start(kSoonMsecs);
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
    const bool tick = std::exchange(m_soon, false) ||
                      TickSchedule::shouldTick(m_clock.msecsSinceMidnight(), m_due, m_interval);
    // Armed before the tick runs, so that a handler that disables the timer has the last word.
    arm();
    if (tick)
        emit timeout();
}
