#pragma once

#include <QObject>
#include <QTimer>

class Clock;

// The main window's timer (Timer1): an interval and an enabled switch, delivering timeout() on
// the user-interface thread, also while a modal dialog is open. Its ticks are locked to the
// wall clock: each one is armed as a precise single shot for just after the next multiple of
// the interval since midnight (for 1000 ms: just after every second), so a new second shows a
// few milliseconds after it begins instead of at whatever phase a free-running timer happened
// to start with.
class WallClockTimer : public QObject
{
    Q_OBJECT
public:
    // How long after each boundary a tick is armed for: enough to be past it, little enough not
    // to be seen.
    static constexpr int kMarginMsecs = 2;

    WallClockTimer(const Clock &clock, int intervalMsecs, QObject *parent = nullptr);

    // How soon tickSoon() ticks.
    static constexpr int kSoonMsecs = 50;

    void setEnabled(bool enabled);
    bool isEnabled() const;
    // While enabled: one tick kSoonMsecs from now, then on the wall clock's grid as before.
    void tickSoon();
    // Milliseconds until the armed wake-up, -1 when none is armed. Nothing in the program needs
    // it; it is how the tests see where the timer is armed.
    int remainingTime() const;

signals:
    void timeout();

private:
    void arm();
    void wake();

    const Clock &m_clock;
    QTimer m_timer;
    const int m_interval;
    qint64 m_due = 0;
    bool m_soon = false;
};
