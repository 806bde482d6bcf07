#include "x11window.h"

#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// The EWMH and ICCCM numbers, defined here rather than pulling in xcb-icccm for two of them.
constexpr quint32 kNetWmStateRemove = 0;
constexpr quint32 kNetWmStateAdd = 1;
constexpr quint32 kSourceApplication = 1;
constexpr quint32 kUrgencyHint = 1u << 8;
constexpr int kWmHintsLength = 9;

xcb_connection_t *connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    // An atom lasts as long as the server: each name costs one round trip, not one per call
    // (the time-up window is mapped a round trip later for each).
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

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    Reply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    return reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
}

// Whether the window manager has taken the window in (WM_STATE Normal or Iconic).
bool isManaged(xcb_connection_t *c, xcb_window_t window)
{
    const xcb_atom_t wmState = atom(c, "WM_STATE");
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, wmState, wmState, 0, 2), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return false;
    const auto state = *static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    return state != 0; // 0 is WithdrawnState
}

// The native window of the widget's top level, created if it does not exist yet.
xcb_window_t nativeWindow(QWidget *widget)
{
    return static_cast<xcb_window_t>(widget->window()->winId());
}

} // namespace

namespace x11 {

bool available()
{
    return connection() != nullptr;
}

bool setNetWmState(QWidget *widget, const QByteArray &state, bool on)
{
    xcb_connection_t *c = connection();
    if (!c || !widget)
        return false;
    const xcb_window_t window = nativeWindow(widget);
    const xcb_atom_t netWmState = atom(c, "_NET_WM_STATE");
    const xcb_atom_t value = atom(c, state);

    if (isManaged(c, window)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = netWmState;
        event.data.data32[0] = on ? kNetWmStateAdd : kNetWmStateRemove;
        event.data.data32[1] = value;
        event.data.data32[3] = kSourceApplication;
        xcb_send_event(c, 0, rootOf(c, window),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
        xcb_flush(c);
        return true;
    }

    // Not managed yet: the window manager reads the property when the window is mapped.
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, netWmState, XCB_ATOM_ATOM, 0, 64), nullptr));
    QList<xcb_atom_t> atoms;
    if (reply && reply->format == 32) {
        const auto *begin = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        atoms = QList<xcb_atom_t>(begin, begin + xcb_get_property_value_length(reply.get()) / 4);
    }
    atoms.removeAll(value);
    if (on)
        atoms.append(value);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32,
                        static_cast<quint32>(atoms.size()), atoms.constData());
    xcb_flush(c);
    return true;
}

bool setUrgency(QWidget *widget, bool on)
{
    xcb_connection_t *c = connection();
    if (!c || !widget)
        return false;
    const xcb_window_t window = nativeWindow(widget);
    std::array<quint32, kWmHintsLength> hints{};
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, kWmHintsLength),
        nullptr));
    if (reply && reply->format == 32) {
        const int n = qMin(xcb_get_property_value_length(reply.get()) / 4, kWmHintsLength);
        const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
        std::copy(values, values + n, hints.begin());
    }
    if (on)
        hints[0] |= kUrgencyHint;
    else
        hints[0] &= ~kUrgencyHint;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        kWmHintsLength, hints.data());
    xcb_flush(c);
    return true;
}

} // namespace x11
