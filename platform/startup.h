#pragma once

#include <QString>

// Call before the application object exists: on a Wayland session with an X display and no
// QT_QPA_PLATFORM of the user's, runs the program through XWayland, where a window can stay
// on top, be minimised and ask for attention. On X11 the windows are drawn without shared
// memory unless the user says otherwise (QT_XCB_NO_MITSHM).
void choosePlatform();

struct xcb_connection_t;

// Whether the program has somewhere to show its windows. Make it after choosePlatform() and
// before the application object: Qt aborts the program with a page of advice when its window
// system cannot be reached. Keep it until the application object exists: its connection to the
// X server is held till then, because a server whose last client leaves resets itself and
// refuses the next connection for a moment, which would be Qt's.
class DisplayProbe
{
public:
    DisplayProbe();
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe &) = delete;
    DisplayProbe &operator=(const DisplayProbe &) = delete;

    // Why there is nowhere, in one line for the terminal; empty when there is.
    QString problem() const { return m_problem; }

private:
    QString m_problem;
    xcb_connection_t *m_connection = nullptr;
};
