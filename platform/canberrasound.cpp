#include "platform/alarmsound.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryFile>
#include <QThread>

#include <canberra.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

Q_LOGGING_CATEGORY(lcSound, "alarmclock.sound", QtWarningMsg)

namespace {

// One id for all our sounds, so that a new one can stop the one still playing.
constexpr uint32_t kSoundId = 1;
// The freedesktop sound theme's name for an alarm clock's sound.
constexpr char kThemeSound[] = "alarm-clock-elapsed";
// Not "event": users turn the event sounds' volume down or off to silence clicks and bells.
constexpr char kMediaRole[] = "alarm";
// A thread still busy after this (a server that does not answer, a disk that hangs) is left to
// the end of the process rather than holding up the quit.
constexpr int kJoinTimeoutMs = 3000;

// On the sound server's thread, once for every sound that started.
void soundFinished(ca_context *, uint32_t, int, void *sounds)
{
    --*static_cast<std::atomic<int> *>(sounds);
}

// A sound to play, or nullopt to only connect.
using Request = std::optional<QString>;

} // namespace

class CanberraSound::Thread
{
public:
    explicit Thread(QByteArray appId) : m_appId(std::move(appId)), m_thread([this] { run(); }) {}
    ~Thread() { m_thread.join(); }

    // Sounds requested and not yet over: queued, starting or playing.
    std::atomic<int> sounds{0};

    void post(Request request)
    {
        sounds += request.has_value();
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(request));
        m_wake.notify_one();
    }

    // False when the thread is still busy after the bound: it is detached and keeps this object.
    bool stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_wake.notify_one();
        }
        // Polled: a timed wait misreads its deadline under libfaketime (the tests, the benchmark).
        QElapsedTimer waited;
        waited.start();
        while (!m_done && waited.elapsed() < kJoinTimeoutMs)
            QThread::msleep(1);
        if (m_done)
            return true;
        qCWarning(lcSound) << "The sound thread did not end in time";
        m_thread.detach();
        return false;
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_requests.empty(); });
            if (m_stopping)
                break;
            const Request request = m_requests.front();
            m_requests.pop_front();
            lock.unlock();
            if (request)
                play(*request);
            else
                connect();
            lock.lock();
        }
        for (const Request &dropped : m_requests)
            sounds -= dropped.has_value();
        lock.unlock();
        disconnect();
        m_chime.reset();
        m_done = true;
    }

    bool connect()
    {
        if (m_context)
            return true;
        int result = ca_context_create(&m_context);
        if (result == CA_SUCCESS) {
            // For the mixer: the id is the desktop entry's name, and the icon's.
            ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "ｱﾗｰﾑ時計",
                                    CA_PROP_APPLICATION_ID, m_appId.constData(),
                                    CA_PROP_APPLICATION_ICON_NAME, m_appId.constData(), nullptr);
            result = ca_context_open(m_context);
        }
        if (result == CA_SUCCESS) {
            qCDebug(lcSound) << "Connected to the sound server";
            return true;
        }
        qCWarning(lcSound) << "No sound server to play the alarm on:" << ca_strerror(result);
        disconnect();
        return false;
    }

    void disconnect()
    {
        if (m_context)
            ca_context_destroy(std::exchange(m_context, nullptr));
    }

    void play(const QString &path)
    {
        int result = CA_ERROR_STATE;
        // A server gone since the last sound fails every try; a new connection gets one more.
        for (int attempt = 0; attempt < 2 && result < 0; ++attempt) {
            if (attempt > 0)
                disconnect();
            if (!connect())
                break;
            ca_context_cancel(m_context, kSoundId);
            result = playFile(path);
            if (result < 0) {
                qCWarning(lcSound) << "Cannot play" << path << "(" << ca_strerror(result)
                                   << "); the sound theme's alarm sound instead";
                result = start(CA_PROP_EVENT_ID, kThemeSound);
                if (result == CA_ERROR_NOTFOUND) {
                    qCWarning(lcSound) << "The sound theme has no" << kThemeSound
                                       << "; the program's own chime instead";
                    result = start(CA_PROP_MEDIA_FILENAME, chimePath());
                }
            }
        }
        if (result < 0) {
            qCWarning(lcSound) << "The alarm made no sound:" << ca_strerror(result);
            --sounds;
        } else {
            qCDebug(lcSound) << "Playing the alarm sound";
        }
    }

    int playFile(const QString &file)
    {
        // libcanberra's open() would wait on a FIFO for a writer: only a regular file goes.
        if (!QFileInfo(file).isFile())
            return CA_ERROR_NOTFOUND;
        return start(CA_PROP_MEDIA_FILENAME, QFile::encodeName(file));
    }

    int start(const char *key, const QByteArray &value)
    {
        ca_proplist *props = nullptr;
        if (ca_proplist_create(&props) != CA_SUCCESS)
            return CA_ERROR_OOM;
        ca_proplist_sets(props, key, value.constData());
        ca_proplist_sets(props, CA_PROP_MEDIA_ROLE, kMediaRole);
        const int result = ca_context_play_full(m_context, kSoundId, props, soundFinished, &sounds);
        ca_proplist_destroy(props);
        return result;
    }

    // libcanberra plays files only: the chime built into the program is copied out once.
    QByteArray chimePath()
    {
        if (!m_chime)
            m_chime.reset(
                QTemporaryFile::createNativeFile(QStringLiteral(":/alarm/sounds/chime.wav")));
        return m_chime ? QFile::encodeName(m_chime->fileName()) : QByteArray();
    }

    const QByteArray m_appId;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_requests;
    bool m_stopping = false;
    std::atomic<bool> m_done{false};
    // The sound thread's own.
    ca_context *m_context = nullptr;
    std::unique_ptr<QTemporaryFile> m_chime;
    // Last: started once everything else is in place.
    std::thread m_thread;
};

CanberraSound::~CanberraSound()
{
    if (m_thread && m_thread->stop())
        delete m_thread;
}

CanberraSound::Thread *CanberraSound::thread()
{
    if (!m_thread)
        m_thread = new Thread(QGuiApplication::desktopFileName().toUtf8());
    return m_thread;
}

void CanberraSound::prepare()
{
    thread()->post(std::nullopt);
}

void CanberraSound::play(const QString &path)
{
    thread()->post(path);
}

bool CanberraSound::isPlaying() const
{
    return m_thread && m_thread->sounds > 0;
}
