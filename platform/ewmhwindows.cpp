#include "platform/desktopwindows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QLoggingCategory>
#include <QScopedPointer>
#include <QStyle>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>

Q_LOGGING_CATEGORY(lcWindows, "alarmclock.windows", QtWarningMsg)

namespace {

// Per window, as dynamic properties: they go with the window.
constexpr char kOffTaskbar[] = "alarmOffTaskbar";
constexpr char kUtility[] = "alarmUtility";
constexpr char kAttention[] = "alarmAttention";

// How long centre() waits for the window manager's answer: openbox's comes within a few
// milliseconds, metacity's and mutter's first within 60 and 160.
constexpr int kFrameAnswerMs = 500;

template <typename T> using Reply = QScopedPointer<T, QScopedPointerPodDeleter>;

// The EWMH numbers.
constexpr quint32 kNetWmStateRemove = 0;
constexpr quint32 kNetWmStateAdd = 1;
constexpr quint32 kSourceApplication = 1;

// Qt's own connection to the X server; null off X11.
xcb_connection_t *connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    // An atom lasts as long as the server: one round trip a name.
    static QHash<QByteArray, xcb_atom_t> known;
    if (const auto found = known.constFind(name); found != known.cend())
        return *found;
    const auto cookie = xcb_intern_atom(c, 0, static_cast<quint16>(name.size()), name.constData());
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    if (!reply) {
        qCWarning(lcWindows) << "The X server did not name the atom" << name;
        return XCB_ATOM_NONE;
    }
    known.insert(name, reply->atom);
    return reply->atom;
}

// A property of 32-bit values; empty when the window has none of that type.
QList<quint32> readProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name,
                            xcb_atom_t type, quint32 length)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, length), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.data()));
    return QList<quint32>(values, values + xcb_get_property_value_length(reply.data()) / 4);
}

// Whether the window manager says it does what the atom names.
bool supported(xcb_connection_t *c, const QByteArray &name)
{
    return readProperty(c, rootOf(c), atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096)
        .contains(atom(c, name));
}

// The native window of the widget's top level, made if it does not exist yet.
xcb_window_t nativeWindow(QWidget *widget)
{
    return static_cast<xcb_window_t>(widget->window()->winId());
}

// A request about the window to the window manager, which listens on the root window.
// An X server's refusal of any of these reaches Qt's event queue, and Qt's xcb plugin logs it
// (qt.qpa.xcb).
void tellWindowManager(xcb_connection_t *c, xcb_window_t window, xcb_atom_t type,
                       std::array<quint32, 5> data = {})
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(c, 0, rootOf(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

// Adds or removes one _NET_WM_STATE atom of a window the window manager manages.
void setNetWmState(xcb_connection_t *c, QWidget *widget, const QByteArray &state, bool on)
{
    tellWindowManager(
        c, nativeWindow(widget), atom(c, "_NET_WM_STATE"),
        {on ? kNetWmStateAdd : kNetWmStateRemove, atom(c, state), 0, kSourceApplication});
}

// Asks the window manager which frame it will put around the window, if it says it answers.
bool askFrame(xcb_connection_t *c, QWidget *window)
{
    if (!supported(c, "_NET_REQUEST_FRAME_EXTENTS"))
        return false;
    tellWindowManager(c, nativeWindow(window), atom(c, "_NET_REQUEST_FRAME_EXTENTS"));
    return true;
}

// The frame the window manager puts, or will put, around the window, in Qt's pixels; nullopt
// while it has not said.
std::optional<QMargins> frameExtents(xcb_connection_t *c, QWidget *widget, xcb_window_t window)
{
    const QList<quint32> px =
        readProperty(c, window, atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
    if (px.size() != 4)
        return std::nullopt;
    const qreal ratio = widget->devicePixelRatioF();
    const auto scaled = [ratio](quint32 n) {
        return qRound(n / ratio);
    };
    // Left, right, top, bottom.
    return QMargins(scaled(px[0]), scaled(px[2]), scaled(px[1]), scaled(px[3]));
}

// The frame of another of the program's windows that the window manager has framed: most
// window managers decorate a program's windows alike.
std::optional<QMargins> borrowedFrame(xcb_connection_t *c, QWidget *window)
{
    for (QWidget *other : QApplication::topLevelWidgets()) {
        if (other == window || !other->testAttribute(Qt::WA_WState_Created))
            continue;
        if (const auto frame = frameExtents(c, other, nativeWindow(other)))
            return frame;
    }
    return std::nullopt;
}

} // namespace

QRect centredClientArea(const QSize &size, const QMargins &frame, const QRect &area)
{
    const QRect outer =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size.grownBy(frame), area);
    return QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), size);
}

EwmhWindows::EwmhWindows()
{
    if (connection())
        qApp->installNativeEventFilter(this);
}

void EwmhWindows::keepOffTaskbar(QWidget *window)
{
    // Tool windows stay off most taskbars by their type alone; the state, written before each
    // map, holds for every panel.
    window->setProperty(kOffTaskbar, true);
    window->installEventFilter(this);
}

void EwmhWindows::makeOwnerlessToolWindow(QWidget *window)
{
    keepOffTaskbar(window);
    if (!connection())
        return;
    // Qt makes every Qt::Tool window transient for the program's others: a plain window is none's,
    // and its type, a utility window, is written before each map.
    window->setWindowFlags((window->windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);
    window->setProperty(kUtility, true);
}

void EwmhWindows::setDemandsAttention(QWidget *window, bool on)
{
    if (window->property(kAttention).toBool() == on)
        return;
    window->setProperty(kAttention, on);
    window->installEventFilter(this);
    // As Qt's QWindow::alert() asks, but Qt would take its request back on activation only, and
    // the alarm armed again takes it back too. Not the urgency bit as well: GNOME Shell makes a
    // notification of each, and every panel reads this state (KDE's through KWin, libwnck's).
    if (xcb_connection_t *c = connection()) {
        setNetWmState(c, window, "_NET_WM_STATE_DEMANDS_ATTENTION", on);
        qCDebug(lcWindows) << window->objectName() << (on ? "asks" : "no longer asks")
                           << "for attention";
    } else if (on) {
        QApplication::alert(window);
    }
}

void EwmhWindows::prepareFrame(QWidget *window)
{
    if (xcb_connection_t *c = connection())
        askFrame(c, window);
}

void EwmhWindows::centre(QWidget *window, const QRect &area)
{
    xcb_connection_t *c = connection();
    if (!c) {
        // Elsewhere the frame is not known before the window is shown.
        window->setGeometry(centredClientArea(window->size(), QMargins(), area));
        return;
    }
    // The frame the window has, or will have: openbox, metacity and mutter answer beforehand.
    const xcb_window_t id = nativeWindow(window);
    std::optional<QMargins> frame = frameExtents(c, window, id);
    if (!frame && askFrame(c, window)) {
        QElapsedTimer waited;
        waited.start();
        while (!frame && waited.elapsed() < kFrameAnswerMs) {
            QThread::usleep(500);
            frame = frameExtents(c, window, id);
        }
        if (!frame)
            qCWarning(lcWindows) << "The window manager did not say which frame"
                                 << window->objectName() << "gets within" << kFrameAnswerMs << "ms";
    }
    // KWin does not answer, and frames all the program's windows alike, so another's stands in;
    // failing that (the first window), the window is placed again, and seen to move, once framed.
    const bool own = frame.has_value();
    if (!own)
        frame = borrowedFrame(c, window);
    window->setGeometry(centredClientArea(window->size(), frame.value_or(QMargins()), area));
    qCDebug(lcWindows) << window->objectName() << "centred by" << (own ? "its" : "a borrowed")
                       << "frame" << frame.value_or(QMargins()) << "at" << window->geometry();
    if (!own)
        m_placedByGuess.insert(id, {window, area});
}

DesktopWindows::Keyboard EwmhWindows::keyboard()
{
    if (QGuiApplication::focusWindow())
        return Keyboard::Ours;
    xcb_connection_t *c = connection();
    if (!c)
        return Keyboard::Other;
    const QList<quint32> active =
        readProperty(c, rootOf(c), atom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 1);
    if (active.isEmpty() || active.first() == XCB_WINDOW_NONE) {
        // Through XWayland none of the Wayland windows is seen, and one may have the keyboard.
        return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? Keyboard::Nobody : Keyboard::Other;
    }
    const QList<quint32> states =
        readProperty(c, active.first(), atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 64);
    return states.contains(atom(c, "_NET_WM_STATE_FULLSCREEN")) ? Keyboard::OtherFullScreen
                                                                : Keyboard::Other;
}

void EwmhWindows::showWithoutFocus(QWidget *window)
{
    // Qt reads the attribute when it makes the native window, the property at each show; on X11
    // the window is then shown with a user time of 0: "do not focus".
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    if (QWindow *handle = window->windowHandle())
        handle->setProperty("_q_showWithoutActivating", true);
    window->show();
    window->raise();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (QWindow *handle = window->windowHandle())
        handle->setProperty("_q_showWithoutActivating", QVariant());
}

bool EwmhWindows::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWidget *>(watched);
    if (!window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        // Before the map, when the window manager reads the state; Qt keeps what it finds there.
        if (xcb_connection_t *c = connection(); c && window->property(kOffTaskbar).toBool()) {
            const xcb_atom_t skip = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
            xcb_change_property(c, XCB_PROP_MODE_APPEND, nativeWindow(window),
                                atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1, &skip);
            if (window->property(kUtility).toBool()) {
                const xcb_atom_t utility = atom(c, "_NET_WM_WINDOW_TYPE_UTILITY");
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, nativeWindow(window),
                                    atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &utility);
            }
            xcb_flush(c);
        }
        break;
    // The user has seen it: attention ends once the window is brought to the front.
    case QEvent::WindowActivate:
        setDemandsAttention(window, false);
        break;
    case QEvent::WindowStateChange:
        if (!window->isMinimized())
            setDemandsAttention(window, false);
        break;
    default:
        break;
    }
    return false;
}

bool EwmhWindows::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (m_placedByGuess.isEmpty() || type != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    const auto pending = m_placedByGuess.constFind(notify->window);
    if (pending == m_placedByGuess.cend())
        return false;
    // Once the window manager is done with the window: it has mapped it (its WM_STATE is normal)
    // and framed it. Moved before that, KWin may still put it where it was first asked to.
    xcb_connection_t *c = connection();
    QWidget *window = pending->window;
    const std::optional<QMargins> frame =
        window ? frameExtents(c, window, notify->window) : std::nullopt;
    const xcb_atom_t wmState = atom(c, "WM_STATE");
    if (window && (!frame || readProperty(c, notify->window, wmState, wmState, 1).value(0) != 1))
        return false;
    const QRect area = pending->area;
    m_placedByGuess.erase(pending);
    if (!window)
        return false;
    const QRect placed = centredClientArea(window->size(), *frame, area);
    if (placed != window->geometry()) {
        qCDebug(lcWindows) << window->objectName() << "placed again by its frame" << *frame << "at"
                           << placed;
        window->setGeometry(placed);
    }
    return false;
}
