#pragma once

#include <QObject>
#include <QTimer>

class Clock;

// The main window's timer (Timer1): an interval and an enabled switch, delivering timeout() on the
// user-interface thread, also while a modal dialog is open.
class WallClockTimer : public QObject
{
    Q_OBJECT
public:
    explicit WallClockTimer(const Clock &clock, QObject *parent = nullptr);

    void setInterval(int msec);
    int interval() const;
    void setEnabled(bool enabled);
    bool isEnabled() const;

signals:
    void timeout();

private:
    const Clock &m_clock;
    QTimer m_timer;
    bool m_enabled = false;
};
