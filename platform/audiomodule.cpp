// The entry points of the alarm_audio module, looked up by name from audio.cpp.
#include "soundplayer.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT bool alarm_audio_play(const PcmSound *sound)
{
    return SoundPlayer::instance().play(*sound);
}

extern "C" Q_DECL_EXPORT bool alarm_audio_is_playing()
{
    return SoundPlayer::instance().isPlaying();
}
