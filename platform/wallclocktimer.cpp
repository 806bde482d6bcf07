#include "wallclocktimer.h"

#include "clock.h"

// A free-running timer for now.
WallClockTimer::WallClockTimer(const Clock &clock, QObject *parent) : QObject(parent), m_clock(clock)
{
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &WallClockTimer::timeout);
}

void WallClockTimer::setInterval(int msec)
{
    m_timer.setInterval(msec);
}

int WallClockTimer::interval() const
{
    return m_timer.interval();
}

void WallClockTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}

bool WallClockTimer::isEnabled() const
{
    return m_enabled;
}
