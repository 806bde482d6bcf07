#include "wavfile.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;
// Larger files are not sounds the program should hold in memory.
constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return static_cast<quint16>(u[0] | u[1] << 8);
}

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return static_cast<quint32>(u[0]) | static_cast<quint32>(u[1]) << 8 |
           static_cast<quint32>(u[2]) << 16 | static_cast<quint32>(u[3]) << 24;
}

QByteArray widen24To32(const QByteArray &in)
{
    const qsizetype samples = in.size() / 3;
    QByteArray out(samples * 4, Qt::Uninitialized);
    const char *src = in.constData();
    char *dst = out.data();
    for (qsizetype i = 0; i < samples; ++i) {
        dst[4 * i] = 0;
        std::memcpy(dst + 4 * i + 1, src + 3 * i, 3);
    }
    return out;
}

} // namespace

std::optional<PcmSound> parseWav(const QByteArray &file)
{
    const char *p = file.constData();
    const qsizetype size = file.size();
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return std::nullopt;

    bool haveFormat = false;
    quint16 tag = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int blockAlign = 0;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char *chunk = p + pos;
        const qint64 length = le32(chunk + 4);
        const qsizetype body = pos + 8;
        const qsizetype available = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || length > available)
                return std::nullopt;
            tag = le16(p + body);
            channels = le16(p + body + 2);
            rate = static_cast<int>(qMin<quint32>(le32(p + body + 4), 1'000'000));
            blockAlign = le16(p + body + 12);
            bits = le16(p + body + 14);
            if (tag == kFormatExtensible) {
                // The sub-format GUID's first two bytes carry the real format tag.
                if (length < 40)
                    return std::nullopt;
                tag = le16(p + body + 24);
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat || length > available)
                return std::nullopt;
            PcmSound sound;
            sound.sampleRate = rate;
            sound.channels = channels;
            if (tag == kFormatPcm && bits == 8)
                sound.format = PcmSound::Format::UInt8;
            else if (tag == kFormatPcm && bits == 16)
                sound.format = PcmSound::Format::Int16;
            else if (tag == kFormatPcm && (bits == 24 || bits == 32))
                sound.format = PcmSound::Format::Int32;
            else if (tag == kFormatFloat && bits == 32)
                sound.format = PcmSound::Format::Float;
            else
                return std::nullopt;
            if (channels < 1 || channels > 8 || rate < 1000 || blockAlign != channels * bits / 8)
                return std::nullopt;
            const qsizetype whole = length - length % blockAlign;
            if (whole == 0)
                return std::nullopt;
            sound.data = file.mid(body, whole);
            if (bits == 24)
                sound.data = widen24To32(sound.data);
            return sound;
        }
        // Chunks are padded to an even length.
        pos = body + length + (length & 1);
    }
    return std::nullopt;
}

std::optional<PcmSound> loadWav(const QString &path)
{
    // Only regular files: opening a FIFO would block the caller.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return std::nullopt;
    return parseWav(file.readAll());
}
