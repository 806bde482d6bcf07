#pragma once

// Call before the application object exists: on a Wayland session with an X display and no
// QT_QPA_PLATFORM of the user's, runs the program through XWayland, where a window can stay
// on top, be minimised and ask for attention.
void choosePlatform();
