#pragma once

#include "core/tick.h"

#include <QPointer>
#include <QTime>
#include <QWidget>

#include <optional>

class AlarmSound;
class Clock;
class DesktopWindows;
class QLabel;
class QPushButton;
class TimeUpWindow;
class WallClockTimer;

// The main window: the clock, the alarm and its note, and the three commands. It holds the
// alarm: a time of day or none, its note, and whether it has rung today (its tick's).
class AlarmWindow : public QWidget
{
    Q_OBJECT
public:
    // soundFile is what the alarm plays.
    AlarmWindow(const Clock &clock, DesktopWindows &windows, AlarmSound &sound, QString soundFile,
                QWidget *parent = nullptr);
    ~AlarmWindow() override;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setAlarm();
    void quit();
    void tick();
    void followWindowState();
    void updateCountdownTitle(QTime now);
    void prepareTimeUp();

    const Clock &m_clock;
    DesktopWindows &m_windows;
    AlarmSound &m_sound;
    const QString m_soundFile;
    ClockTick m_tick;
    std::optional<QTime> m_alarm;
    QString m_note;
    QPointer<TimeUpWindow> m_timeUp;

    QLabel *m_clockLabel = nullptr;
    QLabel *m_alarmLabel = nullptr;
    QLabel *m_noteLabel = nullptr;
    QPushButton *m_taskbarButton = nullptr;
    WallClockTimer *m_timer = nullptr;
};
