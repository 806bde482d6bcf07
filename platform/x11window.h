#pragma once

#include <QByteArray>

class QWidget;

// The few EWMH/ICCCM requests Qt has no API for. Every function does nothing and returns
// false when the program does not run on X11.
namespace x11 {

bool available();

// Adds or removes one _NET_WM_STATE atom (e.g. "_NET_WM_STATE_ABOVE"): through the window
// manager for a window it manages, in the window's own property before it is mapped.
bool setNetWmState(QWidget *window, const QByteArray &state, bool on);

// Sets or clears the urgency bit of the window's WM_HINTS, keeping the other hints.
bool setUrgency(QWidget *window, bool on);

} // namespace x11
