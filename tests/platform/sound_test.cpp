// sndPlaySoundA through a private PulseAudio daemon (started here) into a null sink whose
// monitor is recorded with parec, so that what reaches the sink can be measured.
#include "audio.h"
#include "module1api.h"
#include "session.h"
#include "wavbuilder.h"
#include "wavfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <csignal>
#include <functional>

namespace {

constexpr int kRate = 44100;
constexpr int kThreshold = 1000;
// A pause longer than this splits what was heard into separate sounds.
constexpr int kGapFrames = kRate / 20;

QTemporaryDir *gRuntimeDir = nullptr;

struct Heard
{
    int sounds = 0;     // stretches of sound separated by silence
    double seconds = 0; // from the first loud sample to the last
};

Heard measure(const QByteArray &pcm16)
{
    Heard heard;
    const auto *s = reinterpret_cast<const qint16 *>(pcm16.constData());
    const qsizetype n = pcm16.size() / 2;
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < n; ++i) {
        if (std::abs(int(s[i])) < kThreshold)
            continue;
        if (first < 0)
            first = i;
        if (last < 0 || i - last > kGapFrames)
            ++heard.sounds;
        last = i;
    }
    if (first >= 0)
        heard.seconds = double(last - first + 1) / kRate;
    return heard;
}

// Records the null sink's monitor until stopped.
class Recorder
{
public:
    bool start()
    {
        m_file = gRuntimeDir->filePath(QStringLiteral("recording.raw"));
        if (!m_parec.start(QStringLiteral("parec"),
                           {QStringLiteral("--device=alarmtest.monitor"),
                            QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                            QStringLiteral("--rate=%1").arg(kRate),
                            // parec's default fragment is seconds long; ending it loses that.
                            QStringLiteral("--latency-msec=10"), QStringLiteral("--raw")},
                           {}, m_file))
            return false;
        return QTest::qWaitFor(
            [] {
                QProcess pactl;
                pactl.start(QStringLiteral("pactl"),
                            {QStringLiteral("list"), QStringLiteral("short"),
                             QStringLiteral("source-outputs")});
                pactl.waitForFinished(2000);
                return !pactl.readAllStandardOutput().trimmed().isEmpty();
            },
            5000);
    }

    // What has been recorded so far, while recording goes on.
    QByteArray peek() const
    {
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray stop()
    {
        m_parec.stop(SIGINT);
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    ChildProcess m_parec;
    QString m_file;
};

// Plays the path and returns what reached the sink; the call's own duration in callMs.
Heard playAndRecord(const QString &path, qint64 *callMs = nullptr)
{
    Recorder recorder;
    EXPECT_TRUE(recorder.start()) << "parec did not connect";
    QElapsedTimer timer;
    timer.start();
    sndPlaySoundA(path, SND_ASYNC);
    if (callMs)
        *callMs = timer.elapsed();
    EXPECT_TRUE(QTest::qWaitFor([] { return !isSoundPlaying(); }, 10'000));
    // What the player let go of last still has to pass the server and the recorder.
    QTest::qWait(400);
    return measure(recorder.stop());
}

double chimeSeconds()
{
    const std::optional<PcmSound> chime = loadWav(QStringLiteral(":/alarm/sounds/chime.wav"));
    return chime ? measure(chime->data).seconds : 0;
}

QString writeFile(const QString &relative, const QByteArray &bytes)
{
    const QString path = gRuntimeDir->filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

// The call only hands the request over: reading a large file, loading the audio module and
// opening the output all happen elsewhere, even on the first call.
TEST(SoundOnSink, FirstCallReturnsAtOnceEvenForALargeFile)
{
    // About 50 MB: a second of sweep, then ten minutes of silence.
    QByteArray data = sweep16(kRate, 1.0);
    data.append(50 * 1024 * 1024 - data.size(), '\0');
    const QString path = writeFile(QStringLiteral("large.wav"), makeWav(WavSpec{}, data));
    data.clear();
    Recorder recorder;
    ASSERT_TRUE(recorder.start());

    QElapsedTimer timer;
    timer.start();
    const long result = sndPlaySoundA(path, SND_ASYNC);
    const qint64 callNs = timer.nsecsElapsed();

    EXPECT_EQ(result, 1);
    EXPECT_LT(callNs, 5'000'000) << callNs / 1000 << " us";
    EXPECT_TRUE(isSoundPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return measure(recorder.peek()).seconds > 0.95; }, 10'000))
        << "the sweep did not reach the sink";
    const Heard heard = measure(recorder.stop());
    EXPECT_EQ(heard.sounds, 1);
    EXPECT_TRUE(isSoundPlaying()) << "the silent rest is still playing";
    fprintf(stderr, "sndPlaySoundA returned after %lld us\n", callNs / 1000);
}

TEST(SoundOnSink, FileUnderNonAsciiFolderIsHeardOnceAndWhole)
{
    const QByteArray data = sweep16(kRate, 0.8);
    const QString path =
        writeFile(QStringLiteral("アラーム/MSREMIND.WAV"), makeWav(WavSpec{}, data));

    qint64 callMs = 0;
    const Heard heard = playAndRecord(path, &callMs);

    EXPECT_LT(callMs, 500);
    EXPECT_EQ(heard.sounds, 1);
    // The recorder may miss its first fragment (10 ms); the player must lose nothing.
    EXPECT_NEAR(heard.seconds, 0.8, 0.03);
}

// Setting an alarm gets the output ready; the ring's sound must still be heard once and whole.
TEST(SoundOnSink, PreparedOutputPlaysTheWholeSound)
{
    PrepareSound();
    PrepareSound();
    const QString path =
        writeFile(QStringLiteral("prepared.wav"), makeWav(WavSpec{}, sweep16(kRate, 0.6)));

    const Heard heard = playAndRecord(path);

    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, 0.6, 0.03);
}

TEST(SoundOnSink, WindowsStylePathFindsTheFile)
{
    const QString dir = gRuntimeDir->filePath(QStringLiteral("prog"));
    writeFile(QStringLiteral("prog/MSREMIND.WAV"), makeWav(WavSpec{}, sweep16(kRate, 0.5)));

    const Heard heard = playAndRecord(dir + QStringLiteral("\\MSREMIND.WAV"));

    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, 0.5, 0.03);
}

TEST(SoundOnSink, NewSoundReplacesThePlayingOne)
{
    const QString longer =
        writeFile(QStringLiteral("long.wav"), makeWav(WavSpec{}, sweep16(kRate, 3.0)));
    const QString shorter =
        writeFile(QStringLiteral("short.wav"), makeWav(WavSpec{}, sweep16(kRate, 0.4)));
    Recorder recorder;
    ASSERT_TRUE(recorder.start());

    sndPlaySoundA(longer, SND_ASYNC);
    QTest::qWait(300);
    sndPlaySoundA(shorter, SND_ASYNC);
    ASSERT_TRUE(QTest::qWaitFor([] { return !isSoundPlaying(); }, 10'000));
    QTest::qWait(400);

    const Heard heard = measure(recorder.stop());
    EXPECT_LT(heard.seconds, 1.2);
}

// Run alone (as ctest does), the program ends here with the sound still playing.
TEST(SoundOnSink, EndingWhilePlayingIsClean)
{
    const QString path =
        writeFile(QStringLiteral("long.wav"), makeWav(WavSpec{}, sweep16(kRate, 3.0)));
    sndPlaySoundA(path, SND_ASYNC);
    QTest::qWait(200);
    EXPECT_TRUE(isSoundPlaying());
}

// What the quit does: the sound stops, the thread ends within its bound, and a sound played
// after that (another application object) starts a new one.
TEST(SoundOnSink, StoppingTheSoundThreadWhilePlayingAndPlayingAgain)
{
    const QString longer =
        writeFile(QStringLiteral("long.wav"), makeWav(WavSpec{}, sweep16(kRate, 3.0)));
    sndPlaySoundA(longer, SND_ASYNC);
    ASSERT_TRUE(QTest::qWaitFor([] { return isSoundPlaying(); }, 5000));
    QTest::qWait(300);

    QElapsedTimer timer;
    timer.start();
    stopSoundThread();
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_FALSE(isSoundPlaying());

    const QString shorter =
        writeFile(QStringLiteral("short.wav"), makeWav(WavSpec{}, sweep16(kRate, 0.4)));
    const Heard heard = playAndRecord(shorter);
    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, 0.4, 0.03);
}

struct FallbackRow
{
    const char *name;
    std::function<QString()> path;
};

void PrintTo(const FallbackRow &row, std::ostream *os)
{
    *os << row.name;
}

class DefaultSound : public ::testing::TestWithParam<FallbackRow>
{};

TEST_P(DefaultSound, PlaysTheChimeInstead)
{
    const double chime = chimeSeconds();
    ASSERT_GT(chime, 0.3);

    const Heard heard = playAndRecord(GetParam().path());

    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, chime, 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Unplayable, DefaultSound,
    ::testing::Values(FallbackRow{"MissingFile",
                                  [] {
                                      return gRuntimeDir->filePath(QStringLiteral("MSREMIND.WAV"));
                                  }},
                      FallbackRow{"TextNamedWav",
                                  [] {
                                      return writeFile(QStringLiteral("text.WAV"), "not a sound\n");
                                  }},
                      FallbackRow{"EmptyFile",
                                  [] {
                                      return writeFile(QStringLiteral("empty.WAV"), {});
                                  }},
                      FallbackRow{"TruncatedFile",
                                  [] {
                                      const QByteArray whole =
                                          makeWav(WavSpec{}, sweep16(kRate, 0.5));
                                      return writeFile(QStringLiteral("cut.WAV"),
                                                       whole.left(whole.size() / 2));
                                  }},
                      FallbackRow{"Float64File",
                                  [] {
                                      return writeFile(QStringLiteral("f64.WAV"),
                                                       makeWav(WavSpec{3, 1, kRate, 64, false},
                                                               QByteArray(800, '\0')));
                                  }},
                      // A well-formed file the sound server refuses: 1 MHz is above its rates.
                      FallbackRow{"RateTheOutputRefuses",
                                  [] {
                                      constexpr int kRefusedRate = 1'000'000;
                                      return writeFile(
                                          QStringLiteral("fast.WAV"),
                                          makeWav(WavSpec{1, 1, kRefusedRate, 16, false},
                                                  sweep16(kRefusedRate, 0.3)));
                                  }}),
    [](const auto &info) { return std::string(info.param.name); });

// Qt Multimedia 6.4 ends its sound server connection without the lock its libpulse main loop
// requires, which now and then aborts the process at its end; the sound module defines the
// libpulse functions involved to take that lock. Qt reaches them only while libpulse stays out
// of the program's global symbol scope and the module exports them.
TEST(SoundModule, QtMultimediaCallsTheLockingPulseFunctions)
{
    PrepareSound();
    const QByteArray modulePath =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/libalarm_audio.so");
    void *module = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (module = dlopen(modulePath.constData(), RTLD_NOW | RTLD_NOLOAD)); }, 5000))
        << "the sound module was not loaded";
    void *multimedia = dlopen("libQt6Multimedia.so.6", RTLD_NOW | RTLD_NOLOAD);
    EXPECT_TRUE(multimedia) << "Qt Multimedia came without the module";

    const auto definedBy = [](void *symbol) {
        Dl_info found{};
        return symbol && dladdr(symbol, &found) ? QByteArray(found.dli_fname) : QByteArray();
    };
    for (const char *name : {"pa_context_new", "pa_context_disconnect", "pa_context_unref",
                             "pa_threaded_mainloop_new", "pa_threaded_mainloop_free"}) {
        EXPECT_TRUE(definedBy(dlsym(module, name)).endsWith("/libalarm_audio.so")) << name;
        // Qt looks in the global scope first: libpulse must not be found there.
        const QByteArray global = definedBy(dlsym(RTLD_DEFAULT, name));
        EXPECT_TRUE(global.isEmpty() || global.endsWith("/libalarm_audio.so"))
            << name << " is found in " << global.constData() << " first";
    }
    if (multimedia)
        dlclose(multimedia);
    dlclose(module);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QTemporaryDir runtimeDir;
    gRuntimeDir = &runtimeDir;
    AudioSession audio;
    if (!GTEST_FLAG_GET(list_tests)) {
        const QString server = audio.start(runtimeDir.path());
        if (server.isEmpty()) {
            fprintf(stderr, "%s\n", qPrintable(audio.error()));
            return 1;
        }
        qputenv("PULSE_SERVER", server.toLocal8Bit());
    }
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
