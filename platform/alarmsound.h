#pragma once

#include <QString>

// The alarm's sound.
class AlarmSound
{
public:
    virtual ~AlarmSound() = default;

    // Gets the sound output ready ahead of the first ring, without waiting for it.
    virtual void prepare() = 0;

    // Plays the file once without waiting for it, replacing a sound of ours still playing. A
    // file that cannot be played is replaced by the desktop's alarm sound.
    virtual void play(const QString &path) = 0;
};

// Through the desktop's event-sound library, libcanberra, on a thread of its own, made by the
// first request: a ringing alarm never waits for the sound server or the file. A file that cannot
// be played gives way to the sound theme's alarm sound, and that to the program's own chime.
class CanberraSound final : public AlarmSound
{
public:
    // Stops the sound and ends the thread, waiting for it a bounded time.
    ~CanberraSound() override;

    void prepare() override;
    void play(const QString &path) override;

    // True from play() until that sound has ended or could not be started (for the tests).
    bool isPlaying() const;

private:
    class Thread;
    Thread *thread();

    Thread *m_thread = nullptr;
};
