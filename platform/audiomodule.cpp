// The entry points of the alarm_audio module, looked up by name from audio.cpp and called on
// its sound thread only.
#include "soundplayer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QtGlobal>

#include <utility>

namespace {

SoundPlayer *gPlayer = nullptr;
void (*gOnEnd)() = nullptr;

SoundPlayer *player()
{
    if (!gPlayer) {
        gPlayer = new SoundPlayer;
        QObject::connect(gPlayer, &SoundPlayer::finished, [] {
            if (gOnEnd)
                gOnEnd();
        });
    }
    return gPlayer;
}

} // namespace

// Connects to the sound server ahead of the first sound, which then starts sooner.
extern "C" Q_DECL_EXPORT void alarm_audio_prepare()
{
    player();
    QMediaDevices::defaultAudioOutput();
}

// Starts the sound, replacing the one playing; onEnd is called (on this thread) when it has
// ended, been replaced or released.
extern "C" Q_DECL_EXPORT bool alarm_audio_play(const PcmSound *sound, void (*onEnd)())
{
    gOnEnd = onEnd;
    return player()->play(*sound);
}

// Stops the sound and destroys the player on the thread it was made on.
extern "C" Q_DECL_EXPORT void alarm_audio_release()
{
    delete std::exchange(gPlayer, nullptr);
}
