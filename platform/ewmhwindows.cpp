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
constexpr char kFrameAsked[] = "alarmFrameAsked";

// How long centre() waits for a window manager that says it answers questions about frames.
// Openbox answers within a few milliseconds; metacity and mutter, the first time, within 60
// and 160.
constexpr int kFrameAnswerMs = 500;

template <typename T> using Reply = QScopedPointer<T, QScopedPointerPodDeleter>;

// The EWMH and ICCCM numbers, defined here rather than pulling in xcb-icccm for two of them.
constexpr quint32 kNetWmStateRemove = 0;
constexpr quint32 kNetWmStateAdd = 1;
constexpr quint32 kSourceApplication = 1;
constexpr quint32 kUrgencyHint = 1u << 8;
constexpr int kWmHintsLength = 9;

// How a window asks for attention: not at all, by the EWMH state, or by the ICCCM urgency bit.
enum Attention { kNone, kDemandsAttention, kUrgent };

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
    // An atom lasts as long as the server: each name costs one round trip, not one per call.
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

// Sets or clears the urgency bit of the window's WM_HINTS, keeping the other hints.
void setUrgency(xcb_connection_t *c, QWidget *widget, bool on)
{
    const xcb_window_t window = nativeWindow(widget);
    std::array<quint32, kWmHintsLength> hints{};
    const QList<quint32> old =
        readProperty(c, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, kWmHintsLength);
    std::copy_n(old.begin(), std::min<qsizetype>(old.size(), kWmHintsLength), hints.begin());
    hints[0] = on ? hints[0] | kUrgencyHint : hints[0] & ~kUrgencyHint;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        kWmHintsLength, hints.data());
    xcb_flush(c);
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

// Off X11: the frame Qt knows of the window, or of another shown window.
QMargins qtFrame(QWidget *window)
{
    const auto frameOf = [](const QWidget *w) {
        const QRect outer = w->frameGeometry();
        const QRect inner = w->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
    };
    QMargins frame = frameOf(window);
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (!frame.isNull())
            break;
        if (other != window && other->isVisible())
            frame = frameOf(other);
    }
    return frame;
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

EwmhWindows::~EwmhWindows()
{
    if (qApp)
        qApp->removeNativeEventFilter(this);
}

void EwmhWindows::keepOffTaskbar(QWidget *window)
{
    // Tool windows stay off most taskbars by their type alone; the explicit state holds for
    // every panel. It is written just before each map.
    window->setProperty(kOffTaskbar, true);
    window->installEventFilter(this);
}

void EwmhWindows::makeOwnerlessToolWindow(QWidget *window)
{
    keepOffTaskbar(window);
    if (!connection())
        return;
    // On X11 Qt makes every Qt::Tool window transient for the program's other windows. Made a
    // plain window, it is none's; its type, a utility window, is written before each map.
    window->setWindowFlags((window->windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);
    window->setProperty(kUtility, true);
}

void EwmhWindows::setDemandsAttention(QWidget *window, bool on)
{
    const int asked = window->property(kAttention).toInt();
    if ((asked != kNone) == on)
        return;
    window->installEventFilter(this);
    xcb_connection_t *c = connection();
    if (!c) {
        window->setProperty(kAttention, on ? kDemandsAttention : kNone);
        if (on)
            QApplication::alert(window);
        return;
    }
    // One request, one way: GNOME Shell makes a notification of its own for each of the two.
    // Every window manager that knows the EWMH state tells the panels through it (and KWin,
    // openbox and the panels built on libwnck read both), so the urgency bit is only for one
    // that does not. Qt's QWindow::alert() asks the first way too, but only activation takes
    // its request back, and the program also takes it back when the alarm is armed again; a
    // request Qt still thought open would make its next alert() do nothing.
    int way = asked;
    if (on)
        way = supported(c, "_NET_WM_STATE_DEMANDS_ATTENTION") ? kDemandsAttention : kUrgent;
    if (way == kDemandsAttention)
        setNetWmState(c, window, "_NET_WM_STATE_DEMANDS_ATTENTION", on);
    else
        setUrgency(c, window, on);
    qCDebug(lcWindows) << window->objectName() << (on ? "asks" : "no longer asks")
                       << "for attention" << (way == kUrgent ? "by WM_HINTS" : "by _NET_WM_STATE");
    window->setProperty(kAttention, on ? way : kNone);
}

void EwmhWindows::prepareFrame(QWidget *window)
{
    xcb_connection_t *c = connection();
    if (!c || !supported(c, "_NET_REQUEST_FRAME_EXTENTS"))
        return;
    tellWindowManager(c, nativeWindow(window), atom(c, "_NET_REQUEST_FRAME_EXTENTS"));
    window->setProperty(kFrameAsked, true);
}

void EwmhWindows::centre(QWidget *window, const QRect &area)
{
    xcb_connection_t *c = connection();
    if (!c) {
        window->setGeometry(centredClientArea(window->size(), qtFrame(window), area));
        return;
    }
    // The frame the window manager has given the window, or said it will give it: openbox,
    // metacity and mutter answer when asked beforehand, and the answer is waited for, briefly.
    const xcb_window_t id = nativeWindow(window);
    std::optional<QMargins> frame = frameExtents(c, window, id);
    if (!frame && supported(c, "_NET_REQUEST_FRAME_EXTENTS")) {
        if (!window->property(kFrameAsked).toBool())
            prepareFrame(window);
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
    // KWin does not answer. It draws the same frame around all the program's windows, so
    // another's stands in; failing that (the first window), the window is placed again by its
    // own frame once the window manager has put it around it, and may be seen to move.
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
        // Through XWayland the window manager sees none of the Wayland windows, which may have
        // the keyboard.
        return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? Keyboard::Nobody : Keyboard::Other;
    }
    for (QWidget *ours : QApplication::topLevelWidgets()) {
        if (ours->testAttribute(Qt::WA_WState_Created) && nativeWindow(ours) == active.first())
            return Keyboard::Ours;
    }
    const QList<quint32> states =
        readProperty(c, active.first(), atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 64);
    return states.contains(atom(c, "_NET_WM_STATE_FULLSCREEN")) ? Keyboard::OtherFullScreen
                                                                : Keyboard::Other;
}

void EwmhWindows::showWithoutFocus(QWidget *window)
{
    // Qt reads the attribute when it makes the native window, and the window's property at each
    // show; on X11 it then shows the window with a user time of 0, which window managers take as
    // "do not focus".
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
        // Before the map: the window manager reads the state from the window's property then
        // (and drops it when the window is hidden), and Qt keeps what it finds there.
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
    xcb_connection_t *c = connection();
    if (notify->atom != atom(c, "_NET_FRAME_EXTENTS") || !m_placedByGuess.contains(notify->window))
        return false;
    const Pending pending = m_placedByGuess.take(notify->window);
    if (!pending.window)
        return false;
    const std::optional<QMargins> frame = frameExtents(c, pending.window, notify->window);
    if (!frame)
        return false;
    const QRect placed = centredClientArea(pending.window->size(), *frame, pending.area);
    if (placed != pending.window->geometry()) {
        qCDebug(lcWindows) << pending.window->objectName() << "placed again by its frame" << *frame
                           << "at" << placed;
        pending.window->setGeometry(placed);
    }
    return false;
}
