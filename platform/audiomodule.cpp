// The entry points of the alarm_audio module, looked up by name from audio.cpp and called on
// its sound thread only.
#include "soundplayer.h"

#include <QtGlobal>

#include <utility>

namespace {

SoundPlayer *gPlayer = nullptr;
void (*gOnEnd)() = nullptr;

} // namespace

// Starts the sound, replacing the one playing; onEnd is called (on this thread) when it has
// ended, been replaced or released.
extern "C" Q_DECL_EXPORT bool alarm_audio_play(const PcmSound *sound, void (*onEnd)())
{
    if (!gPlayer) {
        gPlayer = new SoundPlayer;
        QObject::connect(gPlayer, &SoundPlayer::finished, [] {
            if (gOnEnd)
                gOnEnd();
        });
    }
    gOnEnd = onEnd;
    return gPlayer->play(*sound);
}

// Stops the sound and destroys the player on the thread it was made on.
extern "C" Q_DECL_EXPORT void alarm_audio_release()
{
    delete std::exchange(gPlayer, nullptr);
}
