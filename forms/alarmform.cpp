#include "forms/alarmform.h"

#include "core/alarmstate.h"
#include "core/timetext.h"
#include "forms/formkit.h"
#include "forms/frmsettime.h"
#include "forms/frmtimeup.h"
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"
#include "platform/wallclocktimer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

Q_LOGGING_CATEGORY(lcAlarm, "alarmclock.alarm", QtWarningMsg)

namespace {

const QString kCaption = QStringLiteral("ｱﾗｰﾑ時計");
const QString kBadTime = QStringLiteral("時刻の指定が正しくありません。");

// The window and its controls, in twips: the window's client area and each control's place.
const Control kLayout[] = {
    {"AlarmForm", {0, 0, 3540, 1785}},      {"lblTime", {180, 120, 1455, 345}},
    {"lblYouken", {180, 1380, 3135, 315}},  {"Label2", {240, 780, 1095, 255}},
    {"cmdSetAlarm", {2100, 60, 1215, 315}}, {"cmdGoTaskBar", {2100, 480, 1215, 315}},
    {"cmdClose", {2100, 900, 1215, 315}},   {"lblAlarm", {180, 1020, 1215, 315}}};

const QColor kYellow(255, 255, 0);
const QColor kSilver(192, 192, 192);

// The system's menu-text colour: black in the standard scheme, whatever the user's scheme
// makes it otherwise.
QColor menuTextColour()
{
    const QColor colour = QApplication::palette("QMenu").color(QPalette::Active, QPalette::Text);
    return colour.isValid() ? colour : QColor(Qt::black);
}

QLabel *makeLabel(QWidget *parent, const char *name)
{
    auto *label = makeControl<QLabel>(parent, name);
    // A note is shown as typed, never interpreted as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void setSingleBorder(QLabel *label)
{
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = makeControl<QPushButton>(parent, name, text);
    // Enter presses the button that has the focus, as it does on the desktop this window
    // comes from.
    button->setAutoDefault(true);
    return button;
}

} // namespace

AlarmForm::AlarmForm(const Clock &clock, DesktopWindows &windows, AlarmSound &sound,
                     QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_clock(clock), m_windows(windows), m_sound(sound)
{
    setObjectName(QStringLiteral("AlarmForm"));
    setFont(gothicFont(9));

    // Created in tab order.
    lblTime = makeLabel(this, "lblTime");
    lblTime->setFont(gothicFont(14.25));
    lblTime->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // A dark scheme's menu text is light, and the yellow clock on it unreadable: black instead.
    setColours(lblTime, kYellow, readableWith(kYellow, menuTextColour(), Qt::black));
    setSingleBorder(lblTime);

    lblYouken = makeLabel(this, "lblYouken");
    setColours(lblYouken, QColor(64, 64, 64), kSilver);
    setSingleBorder(lblYouken);

    QLabel *Label2 = makeLabel(this, "Label2");
    Label2->setText(QStringLiteral("ｱﾗｰﾑ 時刻"));

    QPushButton *cmdSetAlarm = makeButton(this, "cmdSetAlarm", QStringLiteral("ｱﾗｰﾑｾｯﾄ"));
    cmdGoTaskBar = makeButton(this, "cmdGoTaskBar", QStringLiteral("ﾀｽｸﾊﾞｰへ"));
    cmdGoTaskBar->setEnabled(false);
    QPushButton *cmdClose = makeButton(this, "cmdClose", QStringLiteral("閉じる"));

    lblAlarm = makeLabel(this, "lblAlarm");
    lblAlarm->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // A dark scheme's text is light, and unreadable on silver: black instead.
    setColours(lblAlarm, readableWith(kSilver, palette().color(QPalette::WindowText), Qt::black),
               kSilver);
    setSingleBorder(lblAlarm);

    // The labels' texts are what a screen reader reads out; it is told what each one is.
    lblTime->setAccessibleDescription(QStringLiteral("時計"));
    lblAlarm->setAccessibleDescription(QStringLiteral("アラーム時刻"));
    lblYouken->setAccessibleDescription(QStringLiteral("用件"));

    setTabOrder(cmdSetAlarm, cmdGoTaskBar);
    setTabOrder(cmdGoTaskBar, cmdClose);
    cmdSetAlarm->setFocus();

    // Locked to the wall clock, one tick just after each second is all the clock needs.
    Timer1 = new WallClockTimer(m_clock, 1000, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(cmdSetAlarm, &QPushButton::clicked, this, &AlarmForm::cmdSetAlarm_Click);
    connect(cmdGoTaskBar, &QPushButton::clicked, this, &AlarmForm::cmdGoTaskBar_Click);
    connect(cmdClose, &QPushButton::clicked, this, &AlarmForm::cmdClose_Click);
    connect(Timer1, &WallClockTimer::timeout, this, &AlarmForm::Timer1_Timer);

    setWindowTitle(kCaption);
    setWindowIcon(programIcon({32}));
    layOut(this, kLayout);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_windows.centre(this, screen->availableGeometry());

    Form_Load();
    Timer1->setEnabled(true);
}

AlarmForm::~AlarmForm()
{
    // The time-up window has no owner; it goes with the program, and no other is readied.
    if (m_frmTimeUp) {
        m_frmTimeUp->disconnect(this);
        delete m_frmTimeUp;
    }
}

void AlarmForm::Form_Load()
{
    assignStartUp(QCoreApplication::applicationDirPath());
}

void AlarmForm::Form_Resize()
{
    if (isMinimized()) {
        UpdateCaption(TimeValue::ofDay(m_clock.secondsOfDay()));
        if (m_alarm.isEmpty())
            Timer1->setEnabled(false);
    } else {
        setWindowTitle(kCaption);
        Timer1->setEnabled(true);
    }
}

void AlarmForm::UpdateCaption(TimeValue now)
{
    if (const std::optional<QString> caption = countdownCaption(now, m_alarm, gYouken)) {
        // Qt reads "[*]" in a title as the place of its modified mark and drops it; doubled,
        // it stands for itself, so a note that contains it reaches the title bar as typed.
        QString title = *caption;
        setWindowTitle(title.replace(QLatin1String("[*]"), QLatin1String("[*][*]")));
    }
}

void AlarmForm::cmdSetAlarm_Click()
{
    gAlarmTime = AlarmValue(lblAlarm->text());
    gYouken = lblYouken->text();

    const bool accepted = frmSetTime(this, m_clock, m_windows).exec() == QDialog::Accepted;

    lblAlarm->setText(QString());
    cmdGoTaskBar->setEnabled(false);
    // The value is text here: the label's, or whatever the dialog wrote.
    const std::optional<TimeValue> time = convert(gAlarmTime.text());
    if (time)
        gAlarmTime = *time;
    m_alarm = gAlarmTime;
    if (gAlarmTime.isEmpty())
        return;

    if (time) {
        // OK sets the alarm anew, so a time that has passed today rings at once, even when the
        // alarm has rung today. Cancel gives back the alarm as it was, rung or not.
        if (accepted)
            m_tick.rearm();
        qCDebug(lcAlarm).noquote() << "alarm at" << toText(*time) << (accepted ? "set" : "kept");
        lblAlarm->setText(format(*time, TimeFormat::Alarm));
        cmdGoTaskBar->setEnabled(true);
        // The window may have been minimised while the dialog was open, which stops the clock
        // when there was no alarm yet; an alarm needs it running.
        Timer1->setEnabled(true);
        // An alarm that will ring: the sound output is made ready now, so the sound starts
        // on time then.
        m_sound.prepare();
        // So is the window that rings, which the ring then only maps.
        readyTimeUp();
    } else {
        QMessageBox box(QMessageBox::NoIcon, kCaption, kBadTime, QMessageBox::Ok, this);
        // Modal to this window only, so that a time-up window that rings meanwhile can still
        // be answered.
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    }
    lblYouken->setText(gYouken);
}

void AlarmForm::cmdGoTaskBar_Click()
{
    showMinimized();
}

void AlarmForm::cmdClose_Click()
{
    // Ends the program at once: every window goes before the event loop stops.
    Timer1->setEnabled(false);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        window->hide();
    QCoreApplication::quit();
}

void AlarmForm::Timer1_Timer()
{
    // One reading for everything this tick decides and shows: a caption from a reading of its
    // own could say the alarm lies ahead while the tick went by another.
    const ClockReading reading{m_clock.msecsSinceMidnight(), m_clock.steadyMsecs()};
    const TimeValue now = TimeValue::ofDay(reading.msecsSinceMidnight / 1000);
    const TickActions actions = m_tick.decide(reading, lblTime->text(), isMinimized(), m_alarm);
    if (actions.confirm || actions.ring || actions.endAttention)
        qCDebug(lcAlarm).noquote() << "tick at" << toText(now)
                                   << (actions.confirm ? "the clock jumped: confirming"
                                       : actions.ring  ? "rings"
                                                       : "the alarm is armed again");
    if (actions.confirm)
        Timer1->tickSoon();
    if (actions.ring)
        showTimeUp();
    if (actions.clockText)
        lblTime->setText(*actions.clockText);
    if (actions.refreshCaption)
        UpdateCaption(now);
    if (actions.demandAttention)
        m_windows.setDemandsAttention(this, true);
    if (actions.endAttention)
        m_windows.setDemandsAttention(this, false);
}

void AlarmForm::showTimeUp()
{
    readyTimeUp();
    m_frmTimeUp->Show();
}

// The time-up window of the next ring, with its native window, hidden: the ring then only
// loads and maps it. One that OK has closed deletes itself and is followed by a new one.
void AlarmForm::readyTimeUp()
{
    if (m_frmTimeUp)
        return;
    m_frmTimeUp = new frmTimeUp(m_clock, m_windows, m_sound);
    connect(m_frmTimeUp, &QObject::destroyed, this, [this] {
        m_frmTimeUp = nullptr;
        // Not for a main window closed from its title bar: the program ends with Time UP.
        if (isVisible() && m_alarm.isTime())
            readyTimeUp();
    });
    m_frmTimeUp->Ready();
}

void AlarmForm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void AlarmForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        Form_Resize();
    }
}

void AlarmForm::closeEvent(QCloseEvent *event)
{
    // The title bar's close unloads this window alone: its clock stops, and Qt ends the program
    // with the last window, so a time-up window still open keeps it running until its OK.
    Timer1->setEnabled(false);
    event->accept();
}
