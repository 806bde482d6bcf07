#pragma once

#include "caption.h"
#include "tick.h"

#include <QPointer>
#include <QWidget>

class Clock;
class PlatformServices;
class QLabel;
class QPushButton;
class WallClockTimer;
class frmTimeUp;

// The main window: the clock, the alarm and its note, and the three commands.
class AlarmForm : public QWidget
{
    Q_OBJECT
public:
    AlarmForm(const Clock &clock, PlatformServices &platform, QWidget *parent = nullptr);
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
    void UpdateCaption();
    void showTimeUp();
    void readyTimeUp();
    void quitWhenNoWindowLeft();

    const Clock &m_clock;
    PlatformServices &m_platform;
    ClockTick m_tick;
    QPointer<frmTimeUp> m_frmTimeUp;
    bool m_shown = false;
    bool m_unloaded = false;

    QLabel *lblTime = nullptr;
    QLabel *lblYouken = nullptr;
    QPushButton *cmdGoTaskBar = nullptr;
    QLabel *lblAlarm = nullptr;
    WallClockTimer *Timer1 = nullptr;
};
