#pragma once

#include <QObject>
#include <QTimer>

class Clock;

// Where the next tick of a wall-clock-locked timer goes, and whether a wake-up may tick at all.
// Times are milliseconds since local midnight; a due time may lie past midnight (up to a day
// plus an interval) when the next tick falls on the other side of it.
namespace TickSchedule {

// Milliseconds from now to the first instant after it that lies margin ms past a multiple of
// interval counted from midnight. Midnight always counts as such a multiple, so ticks stay on
// the wall clock's grid across the day's wrap even when interval does not divide the day.
qint64 msecsToNextTick(qint64 now, int interval, int margin);

// now - due on the 24-hour circle, in [-12 h, 12 h): negative when the wake-up came before
// the tick it was armed for, also across midnight.
qint64 msecsPastDue(qint64 now, qint64 due);

// A wake-up at now for the tick that was due at due. Less than one interval early means the
// timer woke before its boundary (or the clock stepped back a little): it must not tick, or
// the tick would still read the previous second; it waits for the boundary instead. Anything
// else ticks: on time, late, or after a clock step, from which the next tick re-locks.
bool shouldTick(qint64 now, qint64 due, int interval);

} // namespace TickSchedule

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

    explicit WallClockTimer(const Clock &clock, QObject *parent = nullptr);

    void setInterval(int msec);
    int interval() const;
    void setEnabled(bool enabled);
    bool isEnabled() const;
    // Milliseconds until the armed wake-up, -1 when none is armed.
    int remainingTime() const;

signals:
    void timeout();

private:
    void arm();
    void wake();

    const Clock &m_clock;
    QTimer m_timer;
    int m_interval = 1000;
    qint64 m_due = 0;
};
