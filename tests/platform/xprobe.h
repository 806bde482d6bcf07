#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

#include <xcb/xcb.h>

// Reads window properties as the X server holds them, on a connection of its own.
class XProbe
{
public:
    explicit XProbe(const QByteArray &display);
    ~XProbe();
    XProbe(const XProbe &) = delete;
    XProbe &operator=(const XProbe &) = delete;

    xcb_atom_t atom(const QByteArray &name) const;
    QList<quint32> property(xcb_window_t window, const QByteArray &name, xcb_atom_t type) const;

    bool hasState(xcb_window_t window, const QByteArray &state) const;
    bool isUrgent(xcb_window_t window) const;
    xcb_window_t activeWindow() const;
    // The managed client windows, bottom to top.
    QList<quint32> stacking() const;
    // The window's inside, in root coordinates.
    QRect geometry(xcb_window_t window) const;
    // Counts the changes of one property of the window from now on; changes() returns how many
    // the server has reported by the time it answers.
    void watch(xcb_window_t window, const QByteArray &name);
    int changes();

    // A round trip through the window manager: asks it for the frame extents of an unmapped
    // window of the probe's own. Its answer comes after it has handled everything the server
    // had sent it before; answered() says whether it has come.
    void askWindowManager();
    bool answered();

private:
    void take(xcb_generic_event_t *event);

    xcb_connection_t *m_c;
    xcb_window_t m_root;
    QList<xcb_atom_t> m_watched;
    int m_changes = 0;
    xcb_window_t m_asking = XCB_WINDOW_NONE;
    xcb_atom_t m_extents = XCB_ATOM_NONE;
    bool m_answered = false;
};
