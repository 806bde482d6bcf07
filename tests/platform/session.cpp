#include "session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool ChildProcess::start(const QString &program, const QStringList &args, const QStringList &env,
                         const QString &outFile)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;

    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(path));
    for (const QString &a : args)
        storage.push_back(a.toLocal8Bit());
    const size_t argc = storage.size();
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const QByteArray name = entry.left(entry.indexOf('=') + 1);
        bool replaced = false;
        for (const QString &mine : env)
            replaced |= mine.toLocal8Bit().startsWith(name);
        if (!replaced)
            storage.push_back(entry);
    }
    for (const QString &mine : env)
        storage.push_back(mine.toLocal8Bit());

    std::vector<char *> argv;
    std::vector<char *> envp;
    for (size_t i = 0; i < storage.size(); ++i)
        (i < argc ? argv : envp).push_back(storage[i].data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = outFile.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(outFile);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        m_pid = -1;
    return rc == 0;
}

bool ChildProcess::running() const
{
    return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0;
}

void ChildProcess::stop(int signal)
{
    if (m_pid <= 0)
        return;
    kill(m_pid, signal);
    const bool ended = waitFor([this] { return waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, 3000);
    if (!ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

QString XSession::start()
{
    int fds[2];
    if (pipe(fds) != 0) {
        m_error = QStringLiteral("pipe failed");
        return {};
    }
    // Only the write end goes to Xvfb, which writes its display number there when ready.
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    if (!m_xvfb.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QString::number(fds[1]),
                       QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp")},
                      {})) {
        m_error = QStringLiteral("Xvfb could not be started (is the xvfb package installed?)");
        return {};
    }
    close(fds[1]);
    QByteArray number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (!number.endsWith('\n') && poll(&pfd, 1, 10'000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1)
            break;
        number.append(c);
    }
    close(fds[0]);
    if (!number.endsWith('\n')) {
        m_error = QStringLiteral("Xvfb did not report a display");
        return {};
    }
    const QString display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    if (!m_openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")},
                         {QStringLiteral("DISPLAY=") + display})) {
        m_error =
            QStringLiteral("openbox could not be started (is the openbox package installed?)");
        return {};
    }
    // openbox is ready once it has announced itself on the root window.
    xcb_connection_t *c = xcb_connect(display.toLatin1().constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto atom = [c](const QByteArray &name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<quint16>(name.size()), name.constData()), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    };
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    const auto hasProperty = [&](xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                 quint32 value) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr);
        bool found = false;
        if (reply && reply->format == 32) {
            const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply));
            const int n = xcb_get_property_value_length(reply) / 4;
            found = value == 0 ? n > 0 : std::find(values, values + n, value) != values + n;
        }
        free(reply);
        return found;
    };
    bool ready = waitFor([&] { return hasProperty(root, check, XCB_ATOM_WINDOW, 0); }, 20'000);
    // openbox announces itself before it has finished starting; it is ready for the tests
    // once it manages a window.
    if (ready) {
        const xcb_atom_t clientList = atom("_NET_CLIENT_LIST");
        const xcb_window_t probe = xcb_generate_id(c);
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        // A window mapped while openbox is still starting may be missed; map it again then.
        ready = false;
        for (int attempt = 0; attempt < 20 && !ready; ++attempt) {
            xcb_unmap_window(c, probe);
            xcb_map_window(c, probe);
            xcb_flush(c);
            ready = waitFor([&] { return hasProperty(root, clientList, XCB_ATOM_WINDOW, probe); },
                            1000);
        }
        xcb_destroy_window(c, probe);
        xcb_flush(c);
    }
    xcb_disconnect(c);
    if (!ready) {
        m_error = QStringLiteral("openbox did not come up");
        return {};
    }
    return display;
}

QString AudioSession::start(const QString &runtimeDir)
{
    const QString socket = runtimeDir + QStringLiteral("/native");
    const QStringList env{QStringLiteral("HOME=") + runtimeDir,
                          QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir,
                          QStringLiteral("PULSE_RUNTIME_PATH=") + runtimeDir,
                          QStringLiteral("XDG_CONFIG_HOME=") + runtimeDir};
    // -n: none of the system's default modules, only the two the tests need.
    const QStringList args{QStringLiteral("-n"),
                           QStringLiteral("--daemonize=no"),
                           QStringLiteral("--exit-idle-time=-1"),
                           QStringLiteral("--use-pid-file=no"),
                           QStringLiteral("--disallow-exit"),
                           QStringLiteral("-L"),
                           QStringLiteral("module-null-sink sink_name=alarmtest rate=44100"),
                           QStringLiteral("-L"),
                           QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") +
                               socket};
    if (!m_daemon.start(QStringLiteral("pulseaudio"), args, env)) {
        m_error = QStringLiteral(
            "pulseaudio could not be started (is the pulseaudio package installed?)");
        return {};
    }
    if (!waitFor([&] { return QFileInfo::exists(socket) || !m_daemon.running(); }, 10'000) ||
        !m_daemon.running()) {
        m_error = QStringLiteral("pulseaudio did not come up");
        return {};
    }
    return QStringLiteral("unix:") + socket;
}
