#include "audio.h"

#include "wavfile.h"

#include <QCoreApplication>
#include <QLibrary>

namespace {

using PlayFunction = bool (*)(const PcmSound *);
using IsPlayingFunction = bool (*)();

struct AudioModule
{
    PlayFunction play = nullptr;
    IsPlayingFunction isPlaying = nullptr;
};

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
            found.isPlaying =
                reinterpret_cast<IsPlayingFunction>(library.resolve("alarm_audio_is_playing"));
            if (found.play && found.isPlaying)
                break;
            found = {};
        }
        return found;
    }();
    return module;
}

} // namespace

bool playSound(const PcmSound &sound)
{
    const AudioModule &module = audioModule();
    return module.play && module.play(&sound);
}

bool isSoundPlaying()
{
    const AudioModule &module = audioModule();
    return module.isPlaying && module.isPlaying();
}
