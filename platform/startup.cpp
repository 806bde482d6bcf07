#include "startup.h"

#include <QByteArray>
#include <QtGlobal>

void choosePlatform()
{
    const bool wayland =
        qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    // Wayland lets no program keep a window on top, minimise itself or ask for attention;
    // XWayland does.
    if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}
