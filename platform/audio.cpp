#include "audio.h"

#include "wavfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

namespace {

using EndFunction = void (*)();
using PlayFunction = bool (*)(const PcmSound *, EndFunction);
using ReleaseFunction = void (*)();
using PrepareFunction = void (*)();

// Long enough for a sound file at the size limit to be read on a slow disk; a thread still
// busy after that is left to the end of the process rather than hanging the quit.
constexpr int kJoinTimeoutMs = 3000;

struct AudioModule
{
    PlayFunction play = nullptr;
    ReleaseFunction release = nullptr;
    PrepareFunction prepare = nullptr;
};

// Loaded on the sound thread, by its first sound.
const AudioModule &audioModule()
{
    static const AudioModule module = [] {
        AudioModule found;
        // Installed beside the program's libraries; in the build tree, beside the program.
        const QString programDir = QCoreApplication::applicationDirPath();
        for (const QString &dir :
             {programDir + QStringLiteral("/" ALARM_AUDIO_INSTALL_DIR), programDir}) {
            QLibrary library(dir + QStringLiteral("/alarm_audio"));
            if (!library.load())
                continue;
            found.play = reinterpret_cast<PlayFunction>(library.resolve("alarm_audio_play"));
            found.release =
                reinterpret_cast<ReleaseFunction>(library.resolve("alarm_audio_release"));
            found.prepare =
                reinterpret_cast<PrepareFunction>(library.resolve("alarm_audio_prepare"));
            if (found.play && found.release && found.prepare)
                break;
            found = {};
        }
        return found;
    }();
    return module;
}

// Requests handed over and not yet dealt with by the sound thread.
std::atomic<int> gQueued{0};
// Set by the sound thread while the module plays a sound of ours.
std::atomic<bool> gPlaying{false};
// Set while the thread is being ended: requests still queued are dropped unheard.
std::atomic<bool> gStopping{false};
// Whether the module was ever used, so that there is a player to release.
bool gModuleUsed = false; // sound thread only

void soundEnded()
{
    gPlaying = false;
}

QString existingPath(const QString &path)
{
    // The sound path is built Windows-style with a backslash before the file name.
    if (!QFileInfo::exists(path) && path.contains(QLatin1Char('\\'))) {
        QString slashed = path;
        slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (QFileInfo::exists(slashed))
            return slashed;
    }
    return path;
}

const std::optional<PcmSound> &defaultSound()
{
    static const std::optional<PcmSound> sound =
        loadWav(QStringLiteral(":/alarm/sounds/chime.wav"));
    return sound;
}

// On the sound thread.
void play(const QString &path, bool withDefault)
{
    if (gStopping) {
        --gQueued;
        return;
    }
    std::optional<PcmSound> sound = loadWav(existingPath(path));
    const bool isDefault = !sound && withDefault;
    if (isDefault)
        sound = defaultSound();
    const AudioModule &module = audioModule();
    if (sound && module.play) {
        gModuleUsed = true;
        // The sound it replaces reports its end from inside play(); ours is counted as queued
        // until then, so that isSoundPlaying() never sees a gap between the two.
        bool started = module.play(&*sound, &soundEnded);
        // The output may still refuse a file that reads well, such as one at a sample rate it
        // cannot take: that file cannot be played either.
        if (!started && withDefault && !isDefault && defaultSound())
            started = module.play(&*defaultSound(), &soundEnded);
        gPlaying = started;
    }
    --gQueued;
}

// On the sound thread.
void prepare()
{
    if (gStopping)
        return;
    defaultSound();
    const AudioModule &module = audioModule();
    if (module.prepare) {
        gModuleUsed = true;
        module.prepare();
    }
}

// On the sound thread, as its last task.
void release()
{
    if (gModuleUsed)
        audioModule().release();
    gModuleUsed = false;
    gPlaying = false;
}

class SoundThread
{
public:
    ~SoundThread() { stop(); }

    bool queue(const QString &path, bool withDefault)
    {
        ++gQueued;
        if (post([path, withDefault] { play(path, withDefault); }))
            return true;
        --gQueued;
        return false;
    }

    bool post(std::function<void()> task)
    {
        std::lock_guard lock(m_mutex);
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return false;
        if (!m_thread) {
            m_thread = new QThread;
            m_thread->setObjectName(QStringLiteral("alarm sound"));
            m_context = new QObject;
            m_context->moveToThread(m_thread);
            QObject::connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
            // aboutToQuit comes at the end of exec(); an application object destroyed without
            // exec() still calls its post routines. Either one ends the thread while the
            // audio stack is still there.
            QObject::connect(
                app, &QCoreApplication::aboutToQuit, m_thread, [] { stopSoundThread(); },
                Qt::DirectConnection);
            qRemovePostRoutine(&stopSoundThread);
            qAddPostRoutine(&stopSoundThread);
            m_thread->start();
        }
        QMetaObject::invokeMethod(m_context, std::move(task));
        return true;
    }

    void stop()
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread)
            return;
        QThread *thread = std::exchange(m_thread, nullptr);
        QObject *context = std::exchange(m_context, nullptr);
        gStopping = true;
        QMetaObject::invokeMethod(context, [] {
            release();
            QThread::currentThread()->quit();
        });
        // Polled: a timed wait on a condition variable misreads its deadline when the clock
        // is shifted by libfaketime, as the end-to-end tests and the benchmark do.
        QElapsedTimer waited;
        waited.start();
        while (!thread->isFinished() && waited.elapsed() < kJoinTimeoutMs)
            QThread::msleep(1);
        if (thread->isFinished()) {
            thread->wait();
            delete thread;
            gStopping = false;
        } else {
            // Destroying a running thread aborts the program; it ends with the process.
            qWarning("The sound thread did not end in time");
        }
    }

private:
    std::mutex m_mutex;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr;
};

SoundThread &soundThread()
{
    static SoundThread thread;
    return thread;
}

} // namespace

bool queueSound(const QString &path, bool withDefault)
{
    return soundThread().queue(path, withDefault);
}

void prepareSound()
{
    soundThread().post(prepare);
}

bool isSoundPlaying()
{
    return gQueued > 0 || gPlaying;
}

void stopSoundThread()
{
    soundThread().stop();
}
