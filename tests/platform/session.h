#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <functional>

// A helper program started by a test and stopped by its process id.
class ChildProcess
{
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess() { stop(); }

    // Starts program with args and extra environment entries ("NAME=value"); stdout goes to
    // outFile when given, otherwise (like stderr) to /dev/null. Descriptors this process opened
    // without close-on-exec stay open in the child.
    bool start(const QString &program, const QStringList &args, const QStringList &env = {},
               const QString &outFile = {});
    // Asks the process to end with the signal, waits for it (killing it after 3 s).
    void stop(int signal = 15);
    bool running() const;
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

// An X server (Xvfb on a display it picks itself) with openbox managing it.
class XSession
{
public:
    // Returns the display name (":N"), empty on failure with the reason in error().
    QString start();
    QString error() const { return m_error; }

private:
    ChildProcess m_xvfb;
    ChildProcess m_openbox;
    QString m_error;
};

// A private PulseAudio daemon with a null sink named "alarmtest".
class AudioSession
{
public:
    // Returns the server address ("unix:/.../native"), empty on failure.
    QString start(const QString &runtimeDir);
    QString error() const { return m_error; }

private:
    ChildProcess m_daemon;
    QString m_error;
};

// Waits up to timeoutMs for the condition, sleeping briefly between polls.
bool waitFor(const std::function<bool()> &condition, int timeoutMs);
