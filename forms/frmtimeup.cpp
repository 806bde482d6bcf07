#include "forms/frmtimeup.h"

#include "core/alarmstate.h"
#include "forms/formkit.h"
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"

#include <QGuiApplication>
#include <QIcon>
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

frmTimeUp::frmTimeUp(const Clock &clock, DesktopWindows &windows, AlarmSound &sound)
    // Above the other windows from the start, so that the ring only has to map it.
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_clock(clock), m_windows(windows), m_sound(sound)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // Qt takes this away from owner-less tool windows. Without it, closing the main window
    // while the alarm rings would end the program under the user's hands.
    setAttribute(Qt::WA_QuitOnClose);
    setObjectName(QStringLiteral("frmTimeUp"));
    m_windows.makeOwnerlessToolWindow(this);
    setFont(dialogFont());

    lblYouken = makeControl<QLabel>(this, "lblYouken", QStringLiteral("Label1"));
    auto *cmdOK = makeControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    auto *Image1 = makeControl<QLabel>(this, "Image1");

    setColours(lblYouken, kDarkRed, kLightYellow);
    lblYouken->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The note is shown as typed, never interpreted as markup.
    lblYouken->setTextFormat(Qt::PlainText);
    Image1->setPixmap(QPixmap(QStringLiteral(":/timeup/timeup-32.png")));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdOK->setDefault(true);

    // lblYouken is read out by its text, the message.
    cmdOK->setAccessibleName(cmdOK->text());
    Image1->setAccessibleName(QStringLiteral("アラーム"));

    layOut(this, kLayout);

    connect(cmdOK, &QPushButton::clicked, this, &frmTimeUp::cmdOK_Click);
    // Keys reach the button, the one control that takes the focus, or else the window.
    cmdOK->installEventFilter(this);
    installEventFilter(this);

    setWindowTitle(QStringLiteral("Time UP"));
}

void frmTimeUp::Show()
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    // A window that comes up by itself must not be answered by keys the user is typing into
    // another program: while that program has the keyboard, it stays there. A full-screen window
    // of another program, though, is kept above this one by some window managers (mutter, KWin)
    // while it has the keyboard, so this window takes it, and lets keys pass only once the
    // keyboard has come to rest. While the user works in this program, or in none, this window
    // takes the keyboard and Enter answers it.
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

void frmTimeUp::Form_Load()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_windows.centre(this, screen->geometry());
    lblYouken->setText(gYouken.isEmpty() ? QStringLiteral("予定時間です。") : gYouken);
    m_sound.play(gSoundFile);
}

void frmTimeUp::cmdOK_Click()
{
    close();
}

bool frmTimeUp::eventFilter(QObject *watched, QEvent *event)
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
void frmTimeUp::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The light yellow is painted, not set in the window's palette: with a palette of its own, each
// new window (one a ring) would give its OK button a palette never seen before, and the style
// would cache that button's pictures anew every time, keeping them long after the window is
// gone. The button draws with the application's palette instead, as in every other window.
void frmTimeUp::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), kLightYellow);
}

void frmTimeUp::Ready()
{
    // Its title bar needs only the small sizes of the program's icon, and the window manager
    // reads every size a window carries when it maps it. One icon for every ring: Qt caches an
    // icon's pictures by the icon, and a new one would leave another set behind each time.
    static const QIcon icon = programIcon({16, 32});
    setWindowIcon(icon);
    ensurePolished();
    winId();
    // Its frame differs from the main window's (a tool window's title bar is smaller under
    // many window managers): asked for now, it is known by the ring, which centres it by it.
    m_windows.prepareFrame(this);
}
