#include "xprobe.h"

#include <cstdlib>

XProbe::XProbe(const QByteArray &display) : m_c(xcb_connect(display.constData(), nullptr))
{
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
}

XProbe::~XProbe()
{
    xcb_disconnect(m_c);
}

xcb_atom_t XProbe::atom(const QByteArray &name) const
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        m_c, xcb_intern_atom(m_c, 0, static_cast<quint16>(name.size()), name.constData()), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

QList<quint32> XProbe::property(xcb_window_t window, const QByteArray &name, xcb_atom_t type) const
{
    QList<quint32> values;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 0, window, atom(name), type, 0, 1024), nullptr);
    if (reply && reply->format == 32) {
        const auto *begin = static_cast<const quint32 *>(xcb_get_property_value(reply));
        values = QList<quint32>(begin, begin + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

bool XProbe::hasState(xcb_window_t window, const QByteArray &state) const
{
    return property(window, "_NET_WM_STATE", XCB_ATOM_ATOM).contains(atom(state));
}

bool XProbe::isUrgent(xcb_window_t window) const
{
    const QList<quint32> hints = property(window, "WM_HINTS", XCB_ATOM_WM_HINTS);
    return !hints.isEmpty() && (hints[0] & (1u << 8));
}

xcb_window_t XProbe::activeWindow() const
{
    const QList<quint32> active = property(m_root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return active.isEmpty() ? xcb_window_t(XCB_WINDOW_NONE) : active[0];
}

QList<quint32> XProbe::stacking() const
{
    return property(m_root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
}

QRect XProbe::geometry(xcb_window_t window) const
{
    QRect rect;
    xcb_get_geometry_reply_t *size =
        xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr);
    xcb_translate_coordinates_reply_t *pos = xcb_translate_coordinates_reply(
        m_c, xcb_translate_coordinates(m_c, window, m_root, 0, 0), nullptr);
    if (size && pos)
        rect = QRect(pos->dst_x, pos->dst_y, size->width, size->height);
    std::free(size);
    std::free(pos);
    return rect;
}

void XProbe::watch(xcb_window_t window, const QByteArray &name)
{
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
    m_watched.append(atom(name));
}

int XProbe::changes()
{
    // A round trip: every event sent before it has arrived once it returns.
    std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_c))
        take(event);
    return m_changes;
}

void XProbe::askWindowManager()
{
    if (m_asking == XCB_WINDOW_NONE) {
        m_extents = atom("_NET_FRAME_EXTENTS");
        m_asking = xcb_generate_id(m_c);
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_asking, m_root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
    }
    // The answer is told by the property coming back.
    xcb_delete_property(m_c, m_asking, m_extents);
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = m_asking;
    request.type = atom("_NET_REQUEST_FRAME_EXTENTS");
    m_answered = false;
    xcb_send_event(m_c, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&request));
    xcb_flush(m_c);
}

bool XProbe::answered()
{
    changes();
    return m_answered;
}

void XProbe::take(xcb_generic_event_t *event)
{
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (notify->window == m_asking)
            m_answered = m_answered ||
                         (notify->state == XCB_PROPERTY_NEW_VALUE && notify->atom == m_extents);
        else
            m_changes += m_watched.contains(notify->atom);
    }
    std::free(event);
}
