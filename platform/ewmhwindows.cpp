#include "platform/desktopwindows.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QScopedPointer>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>

namespace {

// Per window, as dynamic properties: they go with the window.
constexpr char kOffTaskbar[] = "alarmOffTaskbar";
constexpr char kAttention[] = "alarmAttention";

template <typename T> using Reply = QScopedPointer<T, QScopedPointerPodDeleter>;

// The EWMH and ICCCM numbers, defined here rather than pulling in xcb-icccm for two of them.
constexpr quint32 kNetWmStateRemove = 0;
constexpr quint32 kNetWmStateAdd = 1;
constexpr quint32 kSourceApplication = 1;
constexpr quint32 kUrgencyHint = 1u << 8;
constexpr int kWmHintsLength = 9;

// Qt's own connection to the X server; null off X11.
xcb_connection_t *connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    // An atom lasts as long as the server: each name costs one round trip, not one per call.
    static QHash<QByteArray, xcb_atom_t> known;
    if (const auto found = known.constFind(name); found != known.cend())
        return *found;
    const auto cookie = xcb_intern_atom(c, 0, static_cast<quint16>(name.size()), name.constData());
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    known.insert(name, reply->atom);
    return reply->atom;
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
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_send_event(c, 0, screen->root,
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
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, kWmHintsLength),
        nullptr));
    if (reply && reply->format == 32) {
        const int n = std::min(xcb_get_property_value_length(reply.data()) / 4, kWmHintsLength);
        const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.data()));
        std::copy(values, values + n, hints.begin());
    }
    hints[0] = on ? hints[0] | kUrgencyHint : hints[0] & ~kUrgencyHint;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        kWmHintsLength, hints.data());
    xcb_flush(c);
}

} // namespace

void EwmhWindows::keepOffTaskbar(QWidget *window)
{
    // Tool windows stay off most taskbars by their type alone; the explicit state holds for
    // every panel. It is written just before each map.
    window->setProperty(kOffTaskbar, true);
    window->installEventFilter(this);
}

void EwmhWindows::setDemandsAttention(QWidget *window, bool on)
{
    if (window->property(kAttention).toBool() == on)
        return;
    window->setProperty(kAttention, on);
    window->installEventFilter(this);
    // Qt's QWindow::alert() asks on X11 too, but only activation takes its request back, and
    // the program also takes it back when the alarm is armed again; a request Qt still thinks
    // open would make its next alert() do nothing. So on X11 the program asks itself, both
    // ways panels read it.
    if (xcb_connection_t *c = connection()) {
        setUrgency(c, window, on);
        setNetWmState(c, window, "_NET_WM_STATE_DEMANDS_ATTENTION", on);
    } else if (on) {
        QApplication::alert(window);
    }
}

void EwmhWindows::requestFrameExtents(QWidget *window)
{
    if (xcb_connection_t *c = connection())
        tellWindowManager(c, nativeWindow(window), atom(c, "_NET_REQUEST_FRAME_EXTENTS"));
}

QMargins EwmhWindows::frameExtents(QWidget *window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, nativeWindow(window), extents, XCB_ATOM_CARDINAL, 0, 4),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.data()) != 16)
        return {};
    // Left, right, top, bottom, in the screen's pixels.
    const auto *px = static_cast<const quint32 *>(xcb_get_property_value(reply.data()));
    const qreal ratio = window->devicePixelRatioF();
    const auto scaled = [ratio](quint32 n) {
        return qRound(n / ratio);
    };
    return QMargins(scaled(px[0]), scaled(px[2]), scaled(px[1]), scaled(px[3]));
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
