#include "forms/timeupwindow.h"

#include "forms/formkit.h"
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {

const QColor kLightYellow(255, 255, 192);
const QColor kDarkRed(64, 0, 0);

// The window and its controls, in twips: the window's client area and each control's place.
const Control kLayout[] = {{"frmTimeUp", {0, 0, 2985, 1170}},
                           {"lblYouken", {660, 300, 2175, 240}},
                           {"cmdOK", {1200, 780, 855, 315}},
                           {"Image1", {120, 120, 480, 480}}};

} // namespace

TimeUpWindow::TimeUpWindow(const Clock &clock, DesktopWindows &windows, AlarmSound &sound,
                           QString soundFile)
    // Above the other windows from the start, so that the ring only has to map it.
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_clock(clock), m_windows(windows), m_sound(sound), m_soundFile(std::move(soundFile))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // Qt takes this from ownerless tool windows; the program must live on while it rings.
    setAttribute(Qt::WA_QuitOnClose);
    setObjectName(QStringLiteral("frmTimeUp"));
    m_windows.makeOwnerlessToolWindow(this);
    setFont(dialogFont());

    m_message = makeControl<QLabel>(this, "lblYouken", QStringLiteral("Label1"));
    auto *ok = makeControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    auto *picture = makeControl<QLabel>(this, "Image1");

    setColours(m_message, kDarkRed, kLightYellow);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The note is shown as typed, never interpreted as markup.
    m_message->setTextFormat(Qt::PlainText);
    picture->setPixmap(QPixmap(QStringLiteral(":/timeup/timeup-32.png")));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ok->setDefault(true);

    // The message is read out by its text, the picture by its name.
    ok->setAccessibleName(ok->text());
    picture->setAccessibleName(QStringLiteral("アラーム"));

    layOut(this, kLayout);

    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    // Keys reach the button, the one control that takes the focus, or else the window.
    ok->installEventFilter(this);
    installEventFilter(this);

    setWindowTitle(QStringLiteral("Time UP"));
}

void TimeUpWindow::prepare()
{
    ensurePolished();
    winId();
    // Its frame differs from the main window's (a tool window's title bar is smaller under
    // many window managers): asked for now, it is known by the ring, which centres it by it.
    m_windows.prepareFrame(this);
}

void TimeUpWindow::ring(const QString &note)
{
    if (!m_rung) {
        m_rung = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            m_windows.centre(this, screen->geometry());
        m_message->setText(note.isEmpty() ? QStringLiteral("予定時間です。") : note);
        m_sound.play(m_soundFile);
    }
    // Keys the user is typing into another program must not answer a window that comes up by
    // itself: the keyboard stays there. Over a full-screen window, which mutter and KWin keep
    // above this one while it has the keyboard, this one takes it, and keys count once the
    // keyboard has rested. While the user works in this program, or none, Enter answers it.
    const DesktopWindows::Keyboard keyboard = m_windows.keyboard();
    if (keyboard == DesktopWindows::Keyboard::Other) {
        m_windows.showWithoutFocus(this);
        return;
    }
    if (keyboard == DesktopWindows::Keyboard::OtherFullScreen)
        m_lastStrayKey = m_clock.steadyMsecs();
    show();
    raise();
    activateWindow();
}

bool TimeUpWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (m_lastStrayKey && (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
                           type == QEvent::ShortcutOverride)) {
        const qint64 now = m_clock.steadyMsecs();
        if (now - *m_lastStrayKey < kKeysAtRestMsecs) {
            if (type == QEvent::KeyPress)
                m_lastStrayKey = now;
            return true;
        }
        m_lastStrayKey.reset();
    }
    return QDialog::eventFilter(watched, event);
}

// The window has no cancel button: Esc must not close it as it would close a QDialog.
void TimeUpWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The light yellow is painted, not set in the palette: a palette of its own would be new with
// each window (each ring), and the style would cache the OK button's pictures anew every time.
void TimeUpWindow::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), kLightYellow);
}
