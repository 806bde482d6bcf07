#pragma once

#include "wavfile.h"

#include <QObject>
#include <QTimer>

class QAudioSink;
class QIODevice;

// Plays one sound at a time through the default audio output; a new sound stops the one
// playing, as sndPlaySound does. Used on one thread only, the one it was created on.
class SoundPlayer final : public QObject
{
    Q_OBJECT
public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // Starts the sound and returns; false when there is no audio output to play it on.
    bool play(const PcmSound &sound);

signals:
    // A sound that had started has ended, been replaced or stopped.
    void finished();

private:
    void stop();

    QAudioSink *m_sink = nullptr;
    QIODevice *m_source = nullptr;
    QTimer m_deadline;
};
