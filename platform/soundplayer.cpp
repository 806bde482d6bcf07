#include "soundplayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace {

// Silence played after the sound. An audio output stops at once when its source runs dry and
// drops what it still holds in its buffer (QSoundEffect loses the last ~0.1 s this way), so
// the source goes on with silence for longer than that buffer before it ends.
constexpr qint64 kMinTailMs = 500;

class SoundSource final : public QIODevice
{
public:
    SoundSource(const PcmSound &sound, QObject *parent)
        : QIODevice(parent), m_data(sound.data), m_frameBytes(sound.bytesPerFrame()),
          m_rate(sound.sampleRate),
          m_silence(sound.format == PcmSound::Format::UInt8 ? char(0x80) : char(0))
    {
        setTail(kMinTailMs);
        open(QIODevice::ReadOnly);
    }

    void setTail(qint64 ms)
    {
        const qint64 frames = m_rate * ms / 1000;
        m_end = m_data.size() + frames * m_frameBytes;
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_end - m_pos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        const qint64 n = qMin(max, m_end - m_pos);
        const qint64 fromData = qBound<qint64>(0, m_data.size() - m_pos, n);
        std::copy_n(m_data.constData() + m_pos, fromData, out);
        std::fill_n(out + fromData, n - fromData, m_silence);
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    int m_frameBytes;
    int m_rate;
    char m_silence;
    qint64 m_pos = 0;
    qint64 m_end = 0;
};

QAudioFormat::SampleFormat sampleFormat(PcmSound::Format format)
{
    switch (format) {
    case PcmSound::Format::UInt8:
        return QAudioFormat::UInt8;
    case PcmSound::Format::Int16:
        return QAudioFormat::Int16;
    case PcmSound::Format::Int32:
        return QAudioFormat::Int32;
    case PcmSound::Format::Float:
        return QAudioFormat::Float;
    }
    return QAudioFormat::Unknown;
}

} // namespace

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &SoundPlayer::stop);
}

SoundPlayer::~SoundPlayer()
{
    stop();
}

bool SoundPlayer::play(const PcmSound &sound)
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;

    QAudioFormat format;
    format.setSampleRate(sound.sampleRate);
    format.setChannelCount(sound.channels);
    format.setSampleFormat(sampleFormat(sound.format));

    m_sink = new QAudioSink(device, format, this);
    auto *source = new SoundSource(sound, this);
    m_source = source;
    connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Idle after the source is used up (sound and silent tail) is the end; idle before
        // it is an underrun, which the output recovers from by itself. Stopped: it failed.
        if ((state == QAudio::IdleState && m_source->bytesAvailable() == 0) ||
            state == QAudio::StoppedState)
            stop();
    });
    m_sink->start(m_source);
    // A sink that cannot start (its server has gone away since the devices were listed) may
    // report Stopped from inside start(), and so be stopped already.
    if (!m_sink || m_sink->state() == QAudio::StoppedState) {
        stop();
        return false;
    }
    const qint64 bufferMs =
        m_sink->bufferSize() * 1000 / qMax(1, format.bytesForDuration(1'000'000));
    const qint64 tailMs = qMax(kMinTailMs, 2 * bufferMs + 100);
    source->setTail(tailMs);
    // Should the output never report the end (an underrun left it idle already), the sound
    // is let go of well after it must have finished.
    m_deadline.start(std::chrono::milliseconds(sound.durationMs() + tailMs + 10'000));
    return true;
}

void SoundPlayer::stop()
{
    if (!m_sink)
        return;
    QAudioSink *sink = std::exchange(m_sink, nullptr);
    QIODevice *source = std::exchange(m_source, nullptr);
    m_deadline.stop();
    sink->disconnect(this);
    sink->stop();
    // Not deleted right here: stop() may run inside the sink's own signal.
    sink->deleteLater();
    source->deleteLater();
    emit finished();
}
