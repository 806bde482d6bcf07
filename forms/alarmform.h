#pragma once

#include "core/caption.h"
#include "core/tick.h"

#include <QPointer>
#include <QWidget>

class AlarmSound;
class Clock;
class DesktopWindows;
class QLabel;
class QPushButton;
class WallClockTimer;
class frmTimeUp;

// The main window: the clock, the alarm and its note, and the three commands.
class AlarmForm : public QWidget
{
    Q_OBJECT
public:
    AlarmForm(const Clock &clock, DesktopWindows &windows, AlarmSound &sound,
              QWidget *parent = nullptr);
    ~AlarmForm() override;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Timer1_Timer();
    void cmdSetAlarm_Click();
    void cmdGoTaskBar_Click();
    void cmdClose_Click();
    void Form_Load();
    void Form_Resize();
    void UpdateCaption(TimeValue now);
    void showTimeUp();
    void readyTimeUp();

    const Clock &m_clock;
    DesktopWindows &m_windows;
    AlarmSound &m_sound;
    ClockTick m_tick;
    // The alarm the clock rings for: gAlarmTime as the last set flow left it. While the
    // set-time dialog is open gAlarmTime holds the dialog's text, which is no alarm to ring.
    AlarmValue m_alarm;
    QPointer<frmTimeUp> m_frmTimeUp;
    bool m_shown = false;

    QLabel *lblTime = nullptr;
    QLabel *lblYouken = nullptr;
    QPushButton *cmdGoTaskBar = nullptr;
    QLabel *lblAlarm = nullptr;
    WallClockTimer *Timer1 = nullptr;
};
