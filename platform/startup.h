#pragma once

#include <QString>

// Before the application object: on Wayland, unless the user chose, runs the program through
// XWayland, where a window can stay on top, be minimised and ask for attention.
void choosePlatform();

struct xcb_connection_t;

// Whether the program has somewhere to show its windows, asked before Qt would abort with a page
// of advice. Kept until the application object exists: an X server whose last client leaves
// resets itself and refuses the next connection, Qt's, for a moment.
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
