#pragma once

#include <QString>

// The alarm's sound. Behind an interface so that window tests can count the rings.
class AlarmSound
{
public:
    virtual ~AlarmSound() = default;

    // Gets the sound output ready ahead of the first ring, without waiting for it: a clock with
    // an alarm set pays for the audio stack, one without never does.
    virtual void prepare() = 0;

    // Plays the file once without waiting for it, replacing a sound of ours still playing. A
    // file that cannot be played is replaced by the desktop's alarm sound.
    virtual void play(const QString &path) = 0;
};

// Through the desktop's event-sound library, libcanberra, on a thread of its own: connecting to
// the sound server, looking at the file and starting it all happen there, so that a ringing
// alarm never holds up the windows, whatever the file or the server does. The thread and the
// connection are made by the first request, not at start. A file that cannot be played gives
// way to the sound theme's alarm sound, and that to the program's own chime.
class CanberraSound final : public AlarmSound
{
public:
    // Stops the sound and ends the thread, waiting for it a bounded time.
    ~CanberraSound() override;

    void prepare() override;
    void play(const QString &path) override;

    // True from play() until that sound has ended or could not be started. Nothing in the
    // program waits for a sound; this is how its tests see one end.
    bool isPlaying() const;

private:
    class Thread;
    Thread *thread();

    Thread *m_thread = nullptr;
};
