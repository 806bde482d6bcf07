#include "platform/startup.h"

#include <QByteArray>
#include <QtGlobal>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <xcb/xcb.h>
#endif

void choosePlatform()
{
    const bool wayland =
        qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    // Wayland lets no program keep a window on top, minimise itself or ask for attention;
    // XWayland does.
    if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // A repaint drawn through shared memory brings an X event back that wakes two threads; the
    // clock's small label, sent over the connection, wakes nothing. A user's setting stays.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

DisplayProbe::DisplayProbe()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Only the X11 start is checked: any other platform the user names, or Qt's own choice of
    // Wayland, reports for itself.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool x11 =
        platform.isEmpty() ? qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") : platform == "xcb";
    if (!x11)
        return;
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        m_problem = QStringLiteral("画面に接続できません (DISPLAY が設定されていません)。");
        return;
    }
    m_connection = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(m_connection))
        m_problem = QStringLiteral("画面に接続できません (ディスプレイ \"%1\" に届きません)。")
                        .arg(QString::fromLocal8Bit(display));
#endif
}

DisplayProbe::~DisplayProbe()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (m_connection)
        xcb_disconnect(m_connection);
#endif
}
