#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A WAV file's audio, checked and ready to hand to an audio output unchanged.
struct PcmSound
{
    // Sample layouts an audio output takes as they are; 24-bit files are widened to Int32.
    enum class Format { UInt8, Int16, Int32, Float };

    int sampleRate = 0;
    int channels = 0;
    Format format = Format::Int16;
    QByteArray data; // whole frames only

    int bytesPerFrame() const
    {
        return (format == Format::UInt8 ? 1 : format == Format::Int16 ? 2 : 4) * channels;
    }
    qint64 durationMs() const
    {
        return sampleRate > 0 && channels > 0 ? data.size() / bytesPerFrame() * 1000 / sampleRate
                                              : 0;
    }
};

// Parses a RIFF/WAVE file: PCM (8, 16, 24, 32 bit), IEEE float (32 bit) and their
// WAVE_FORMAT_EXTENSIBLE forms. Anything else, an empty data chunk, or a data chunk cut
// short by the end of the file yields nothing.
std::optional<PcmSound> parseWav(const QByteArray &file);

// Reads and parses a file; nothing when it is missing, unreadable or not a playable WAV.
std::optional<PcmSound> loadWav(const QString &path);
