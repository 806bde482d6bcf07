#pragma once

#include <QObject>
#include <QTimer>

class Clock;

// The main window's timer, locked to the wall clock: each tick is a precise single shot for just
// after the next multiple of the interval since midnight (for 1000 ms: just after each second),
// so a new second shows a few milliseconds after it begins, whatever the phase of the start.
class WallClockTimer : public QObject
{
    Q_OBJECT
public:
    // How long after each boundary a tick comes: past it, and too little to be seen.
    static constexpr int kMarginMsecs = 2;

    WallClockTimer(const Clock &clock, int intervalMsecs, QObject *parent = nullptr);

    // How soon tickSoon() ticks.
    static constexpr int kSoonMsecs = 50;

    void setEnabled(bool enabled);
    bool isEnabled() const;
    // While enabled: one tick kSoonMsecs from now, then on the wall clock's grid as before.
    void tickSoon();
    // Milliseconds until the armed wake-up, -1 when none is (for the tests).
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
