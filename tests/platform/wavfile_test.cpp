#include "wavbuilder.h"
#include "wavfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct WavRow
{
    const char *name;
    QByteArray file;
    bool playable;
    PcmSound::Format format = PcmSound::Format::Int16;
    int channels = 0;
    qsizetype dataBytes = 0;
};

void PrintTo(const WavRow &row, std::ostream *os)
{
    *os << row.name;
}

const QByteArray kFour = QByteArray::fromHex("0102030405060708");

std::vector<WavRow> wavRows()
{
    const WavSpec pcm16{};
    const WavSpec u8{1, 2, 22050, 8, false};
    const WavSpec pcm24{1, 1, 48000, 24, false};
    const WavSpec float32{3, 1, 44100, 32, false};
    const WavSpec extPcm{1, 2, 44100, 16, true};
    const WavSpec extFloat{3, 1, 44100, 32, true};
    const QByteArray list = chunk("LIST", QByteArray("odd", 3));
    return {
        {"Pcm16Mono", makeWav(pcm16, kFour), true, PcmSound::Format::Int16, 1, 8},
        {"Unsigned8Stereo", makeWav(u8, kFour), true, PcmSound::Format::UInt8, 2, 8},
        {"Pcm24WidenedTo32", makeWav(pcm24, kFour.left(6)), true, PcmSound::Format::Int32, 1, 8},
        {"Float32", makeWav(float32, kFour), true, PcmSound::Format::Float, 1, 8},
        {"ExtensiblePcm", makeWav(extPcm, kFour), true, PcmSound::Format::Int16, 2, 8},
        {"ExtensibleFloat", makeWav(extFloat, kFour), true, PcmSound::Format::Float, 1, 8},
        {"OddChunkBeforeFormat", riff(list + fmtChunk(pcm16) + chunk("data", kFour)), true,
         PcmSound::Format::Int16, 1, 8},
        {"PartialFrameDropped", makeWav(pcm16, kFour.left(7)), true, PcmSound::Format::Int16, 1, 6},
        {"Empty", QByteArray(), false},
        {"Text", QByteArray("This is not a sound.\n"), false},
        {"HeaderOnly", riff({}), false},
        {"NoData", riff(fmtChunk(pcm16)), false},
        {"DataBeforeFormat", riff(chunk("data", kFour) + fmtChunk(pcm16)), false},
        {"EmptyData", makeWav(pcm16, {}), false},
        {"Truncated", riff(fmtChunk(pcm16) + chunk("data", kFour, 4000)), false},
        {"FormatCutShort", riff(chunk("fmt ", QByteArray(10, '\1'))), false},
        {"Adpcm", makeWav(WavSpec{2, 1, 44100, 4, false}, kFour), false},
        {"Pcm12", makeWav(WavSpec{1, 1, 44100, 12, false}, kFour), false},
        {"Float64", makeWav(WavSpec{3, 1, 44100, 64, false}, kFour), false},
        {"NoChannels", makeWav(WavSpec{1, 0, 44100, 16, false}, kFour), false},
        {"ZeroRate", makeWav(WavSpec{1, 1, 0, 16, false}, kFour), false},
    };
}

class ParseWav : public ::testing::TestWithParam<WavRow>
{};

TEST_P(ParseWav, AcceptsOnlyWhatCanBePlayed)
{
    const WavRow &row = GetParam();
    const std::optional<PcmSound> sound = parseWav(row.file);
    ASSERT_EQ(sound.has_value(), row.playable);
    if (!row.playable)
        return;
    EXPECT_EQ(sound->format, row.format);
    EXPECT_EQ(sound->channels, row.channels);
    EXPECT_EQ(sound->data.size(), row.dataBytes);
    EXPECT_EQ(sound->data.size() % sound->bytesPerFrame(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, ParseWav, ::testing::ValuesIn(wavRows()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ParseWav, Widens24BitSamplesKeepingTheirValue)
{
    const QByteArray file = makeWav(WavSpec{1, 1, 48000, 24, false}, QByteArray::fromHex("563412"
                                                                                         "feffff"));
    const std::optional<PcmSound> sound = parseWav(file);
    ASSERT_TRUE(sound);
    ASSERT_EQ(sound->data.size(), 8);
    EXPECT_EQ(qFromLittleEndian<qint32>(sound->data.constData()), 0x12345600);
    EXPECT_EQ(qFromLittleEndian<qint32>(sound->data.constData() + 4), -2 * 256);
}

TEST(ParseWav, DurationFollowsRateAndFrames)
{
    const std::optional<PcmSound> sound = parseWav(makeWav(WavSpec{}, sweep16(44100, 0.5)));
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->durationMs(), 500);
}

TEST(LoadWav, ReadsFilesUnderNonAsciiNamesAndRefusesWhatIsNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("アラーム"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/MSREMIND.WAV");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(makeWav(WavSpec{}, kFour));
    file.close();

    EXPECT_TRUE(loadWav(path));
    EXPECT_FALSE(loadWav(folder));
    EXPECT_FALSE(loadWav(folder + QStringLiteral("/missing.wav")));
    EXPECT_FALSE(loadWav(QString()));
}

TEST(LoadWav, DefaultChimeIsShortPcm16)
{
    const std::optional<PcmSound> chime = loadWav(QStringLiteral(":/alarm/sounds/chime.wav"));
    ASSERT_TRUE(chime);
    EXPECT_EQ(chime->format, PcmSound::Format::Int16);
    EXPECT_GT(chime->durationMs(), 300);
    EXPECT_LT(chime->durationMs(), 1500);
}

} // namespace
