#include "forms/alarmwindow.h"

#include "core/caption.h"
#include "core/timeofday.h"
#include "forms/formkit.h"
#include "forms/settimedialog.h"
#include "forms/timeupwindow.h"
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"
#include "platform/wallclocktimer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

Q_LOGGING_CATEGORY(lcAlarm, "alarmclock.alarm", QtWarningMsg)

namespace {

const QString kTitle = QStringLiteral("ｱﾗｰﾑ時計");
const QString kBadTime = QStringLiteral("時刻の指定が正しくありません。");

// The window and its controls, in twips: the window's client area and each control's place.
const Control kLayout[] = {
    {"AlarmForm", {0, 0, 3540, 1785}},      {"lblTime", {180, 120, 1455, 345}},
    {"lblYouken", {180, 1380, 3135, 315}},  {"Label2", {240, 780, 1095, 255}},
    {"cmdSetAlarm", {2100, 60, 1215, 315}}, {"cmdGoTaskBar", {2100, 480, 1215, 315}},
    {"cmdClose", {2100, 900, 1215, 315}},   {"lblAlarm", {180, 1020, 1215, 315}}};

const QColor kYellow(255, 255, 0);
const QColor kSilver(192, 192, 192);

// The system's menu-text colour: black in the standard scheme.
QColor menuTextColour()
{
    const QColor colour = QApplication::palette("QMenu").color(QPalette::Active, QPalette::Text);
    return colour.isValid() ? colour : QColor(Qt::black);
}

// A label with a single border, unless it is a caption.
QLabel *makeLabel(QWidget *parent, const char *name, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *label = makeControl<QLabel>(parent, name);
    // A note is shown as typed, never interpreted as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = makeControl<QPushButton>(parent, name, text);
    // Enter presses the button that has the focus: the window has no default button.
    button->setAutoDefault(true);
    return button;
}

} // namespace

AlarmWindow::AlarmWindow(const Clock &clock, DesktopWindows &windows, AlarmSound &sound,
                         QString soundFile, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_clock(clock), m_windows(windows), m_sound(sound), m_soundFile(std::move(soundFile))
{
    setObjectName(QStringLiteral("AlarmForm"));
    setFont(gothicFont(9));

    // Created in tab order.
    m_clockLabel = makeLabel(this, "lblTime", Qt::AlignHCenter);
    m_clockLabel->setFont(gothicFont(14.25));
    // A dark scheme's menu text is light, and the yellow clock on it unreadable: black instead.
    setColours(m_clockLabel, kYellow, readableWith(kYellow, menuTextColour(), Qt::black));

    m_noteLabel = makeLabel(this, "lblYouken");
    setColours(m_noteLabel, QColor(64, 64, 64), kSilver);

    QLabel *caption = makeLabel(this, "Label2");
    caption->setFrameStyle(QFrame::NoFrame);
    caption->setText(QStringLiteral("ｱﾗｰﾑ 時刻"));

    QPushButton *setButton = makeButton(this, "cmdSetAlarm", QStringLiteral("ｱﾗｰﾑｾｯﾄ"));
    m_taskbarButton = makeButton(this, "cmdGoTaskBar", QStringLiteral("ﾀｽｸﾊﾞｰへ"));
    m_taskbarButton->setEnabled(false);
    QPushButton *closeButton = makeButton(this, "cmdClose", QStringLiteral("閉じる"));

    m_alarmLabel = makeLabel(this, "lblAlarm", Qt::AlignHCenter);
    // A dark scheme's text is light, and unreadable on silver: black instead.
    setColours(m_alarmLabel,
               readableWith(kSilver, palette().color(QPalette::WindowText), Qt::black), kSilver);

    // The labels' texts are what a screen reader reads out; it is told what each one is.
    m_clockLabel->setAccessibleDescription(QStringLiteral("時計"));
    m_alarmLabel->setAccessibleDescription(QStringLiteral("アラーム時刻"));
    m_noteLabel->setAccessibleDescription(QStringLiteral("用件"));

    setTabOrder(setButton, m_taskbarButton);
    setTabOrder(m_taskbarButton, closeButton);
    setButton->setFocus();

    // Locked to the wall clock, one tick just after each second is all the clock needs.
    m_timer = new WallClockTimer(m_clock, 1000, this);
    m_timer->setObjectName(QStringLiteral("Timer1"));

    connect(setButton, &QPushButton::clicked, this, &AlarmWindow::setAlarm);
    connect(m_taskbarButton, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(closeButton, &QPushButton::clicked, this, &AlarmWindow::quit);
    connect(m_timer, &WallClockTimer::timeout, this, &AlarmWindow::tick);

    setWindowTitle(kTitle);
    layOut(this, kLayout);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_windows.centre(this, screen->availableGeometry());

    m_timer->setEnabled(true);
}

AlarmWindow::~AlarmWindow()
{
    // The time-up window has no owner; it goes with the program, and no other is made.
    if (m_timeUp) {
        m_timeUp->disconnect(this);
        delete m_timeUp;
    }
}

// Minimised, the title counts down to the alarm, and without one the clock stops.
void AlarmWindow::followWindowState()
{
    if (isMinimized()) {
        updateCountdownTitle(m_clock.read().time());
        if (!m_alarm)
            m_timer->setEnabled(false);
    } else {
        setWindowTitle(kTitle);
        m_timer->setEnabled(true);
    }
}

void AlarmWindow::updateCountdownTitle(QTime now)
{
    if (!m_alarm)
        return;
    // Qt reads "[*]" in a title as the place of its modified mark and drops it; doubled, it
    // stands for itself, so a note that contains it reaches the title bar as typed.
    QString title = countdownCaption(now, *m_alarm, m_note);
    setWindowTitle(title.replace(QLatin1String("[*]"), QLatin1String("[*][*]")));
}

// OK with a time sets the alarm anew, and with no time removes it; a text that is no time is
// refused with a message and leaves no alarm. The note changes with a time, good or not.
// Cancel leaves the alarm and the note as they were, and an alarm that has rung stays rung.
void AlarmWindow::setAlarm()
{
    SetTimeDialog dialog(this, m_clock, m_windows, m_alarm, m_note);
    if (dialog.exec() != QDialog::Accepted)
        return;

    m_alarm.reset();
    m_alarmLabel->clear();
    m_taskbarButton->setEnabled(false);
    const QString text = dialog.timeText();
    if (text.isEmpty()) {
        qCDebug(lcAlarm) << "alarm removed";
        return;
    }
    if (const std::optional<QTime> time = parseTimeOfDay(text)) {
        m_alarm = time;
        // A time that has passed today rings at once, even when the alarm has rung today.
        m_tick.rearm();
        qCDebug(lcAlarm).noquote() << "alarm set at" << alarmText(*time);
        m_alarmLabel->setText(alarmText(*time));
        m_taskbarButton->setEnabled(true);
        // Minimised while the dialog was open, without an alarm yet, the clock stopped.
        m_timer->setEnabled(true);
        // The sound output and the window that rings are made ready now, for the ring to be on
        // time.
        m_sound.prepare();
        prepareTimeUp();
    } else {
        QMessageBox box(QMessageBox::NoIcon, kTitle, kBadTime, QMessageBox::Ok, this);
        // Modal to this window only: a time-up window that rings meanwhile can be answered.
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    }
    m_note = dialog.note();
    m_noteLabel->setText(m_note);
}

// Ends the program at once: every window goes before the event loop stops.
void AlarmWindow::quit()
{
    m_timer->setEnabled(false);
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::quit();
}

void AlarmWindow::tick()
{
    // One reading for all the tick decides and shows: a title from another reading could say
    // the alarm lies ahead while the tick went by one past it.
    const ClockReading reading = m_clock.read();
    const QTime now = reading.time();
    const TickActions actions =
        m_tick.decide(reading, m_clockLabel->text(), isMinimized(), m_alarm);
    if (actions.confirm || actions.ring || actions.endAttention)
        qCDebug(lcAlarm).noquote() << "tick at" << now.toString(u"HH:mm:ss")
                                   << (actions.confirm ? "the clock jumped: confirming"
                                       : actions.ring  ? "rings"
                                                       : "the alarm is armed again");
    if (actions.confirm)
        m_timer->tickSoon();
    if (actions.ring) {
        prepareTimeUp();
        m_timeUp->ring(m_note);
    }
    if (actions.clockText)
        m_clockLabel->setText(*actions.clockText);
    if (actions.refreshCaption)
        updateCountdownTitle(now);
    if (actions.demandAttention)
        m_windows.setDemandsAttention(this, true);
    if (actions.endAttention)
        m_windows.setDemandsAttention(this, false);
}

// The time-up window of the next ring, made hidden; one that OK closed is followed by a new one.
void AlarmWindow::prepareTimeUp()
{
    if (m_timeUp)
        return;
    m_timeUp = new TimeUpWindow(m_clock, m_windows, m_sound, m_soundFile);
    connect(m_timeUp, &QObject::destroyed, this, [this] {
        m_timeUp = nullptr;
        // Not for a main window closed from its title bar: the program ends with Time UP.
        if (isVisible() && m_alarm)
            prepareTimeUp();
    });
    m_timeUp->prepare();
}

void AlarmWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        followWindowState();
}

void AlarmWindow::closeEvent(QCloseEvent *event)
{
    // This window alone: Qt ends the program with the last window, so a time-up window still
    // open keeps it running until its OK.
    m_timer->setEnabled(false);
    event->accept();
}
