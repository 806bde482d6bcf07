#pragma once

#include "wavfile.h"

#include <QObject>
#include <QTimer>

class QAudioSink;
class QIODevice;

// Plays one sound at a time through the default audio output; a new sound stops the one
// playing, as sndPlaySound does. Lives on the user-interface thread.
class SoundPlayer final : public QObject
{
    Q_OBJECT
public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // Starts the sound and returns; false when there is no audio output to play it on.
    bool play(const PcmSound &sound);
    bool isPlaying() const;

    // The player the program shares, created on first use so that the audio stack is only
    // loaded once something is played.
    static SoundPlayer &instance();

private:
    void stop();

    QAudioSink *m_sink = nullptr;
    QIODevice *m_source = nullptr;
    QTimer m_deadline;
};
