#pragma once

#include <QString>

// Call before the application object exists: on a Wayland session with an X display and no
// QT_QPA_PLATFORM of the user's, runs the program through XWayland, where a window can stay
// on top, be minimised and ask for attention.
void choosePlatform();

// Why the program has nowhere to show its windows, in one line for the terminal; empty when
// it has. Call after choosePlatform() and before the application object exists: Qt aborts the
// program with a page of advice when its window system cannot be reached.
QString displayProblem();
