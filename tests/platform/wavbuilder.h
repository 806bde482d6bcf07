#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cmath>

// Builds WAV files byte by byte, including broken ones.
struct WavSpec
{
    quint16 tag = 1; // 1 PCM, 3 IEEE float
    int channels = 1;
    int rate = 44100;
    int bits = 16;
    bool extensible = false;
};

inline void putLe16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

inline void putLe32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

inline QByteArray chunk(const char *id, const QByteArray &body, qint64 declared = -1)
{
    QByteArray out(id, 4);
    putLe32(out, static_cast<quint32>(declared < 0 ? body.size() : declared));
    out += body;
    if (body.size() % 2)
        out += '\0';
    return out;
}

inline QByteArray fmtChunk(const WavSpec &s)
{
    QByteArray body;
    putLe16(body, s.extensible ? 0xFFFE : s.tag);
    putLe16(body, static_cast<quint16>(s.channels));
    putLe32(body, static_cast<quint32>(s.rate));
    putLe32(body, static_cast<quint32>(s.rate * s.channels * s.bits / 8));
    putLe16(body, static_cast<quint16>(s.channels * s.bits / 8));
    putLe16(body, static_cast<quint16>(s.bits));
    if (s.extensible) {
        putLe16(body, 22);
        putLe16(body, static_cast<quint16>(s.bits));
        putLe32(body, 0);
        // KSDATAFORMAT_SUBTYPE_*: the format tag followed by a fixed GUID tail.
        putLe16(body, s.tag);
        body += QByteArray::fromHex("000000001000800000aa00389b71");
    }
    return chunk("fmt ", body);
}

inline QByteArray riff(const QByteArray &chunks)
{
    QByteArray out("RIFF");
    putLe32(out, static_cast<quint32>(4 + chunks.size()));
    return out + "WAVE" + chunks;
}

inline QByteArray makeWav(const WavSpec &s, const QByteArray &data)
{
    return riff(fmtChunk(s) + chunk("data", data));
}

// 16-bit mono sweep at a steady level from its first sample to its last, so that the length
// of what is heard is the length of the file.
inline QByteArray sweep16(int rate, double seconds, double level = 0.5)
{
    const int frames = static_cast<int>(rate * seconds);
    QByteArray data;
    data.reserve(frames * 2);
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double f = 400.0 + 1600.0 * i / frames;
        phase += 2.0 * M_PI * f / rate;
        // Square-ish so that no sample near a zero crossing reads as silence.
        const double v = std::sin(phase) >= 0 ? level : -level;
        putLe16(data, static_cast<quint16>(static_cast<qint16>(v * 32767)));
    }
    return data;
}
