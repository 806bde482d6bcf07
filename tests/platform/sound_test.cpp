// The alarm sound through a private PulseAudio daemon (which scripts/xsession.sh starts for each
// case, with the null sink "alarmtest") into that sink, whose monitor is recorded with parec, so
// that what reaches the sink can be measured. The sound theme is one made here, whose alarm sound
// has a length of its own; test files are made by sox.
#include "platform/alarmsound.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

constexpr int kRate = 44100;
constexpr int kThreshold = 1000;
// A pause longer than this splits what was heard into separate sounds.
constexpr int kGapFrames = kRate / 20;
// The sounds are told apart by their lengths, each 0.1 s or more from the others: a file that
// is to be heard once and whole...
constexpr double kSweepSeconds = 0.3;
// ...the test theme's alarm sound, which plays in its place when it cannot be played...
constexpr double kThemeSeconds = 0.2;
// ...the unplayable files' own sweeps, heard only if played by mistake...
constexpr double kUnplayableSeconds = 0.1;
// ...and the program's chime (1.2 s), when the theme has no alarm sound. A sound that is
// replaced, stopped or left playing lasts well longer than the time that takes.
constexpr double kLongSeconds = 2.0;

QTemporaryDir *gRuntimeDir = nullptr;
std::unique_ptr<CanberraSound> gSound;

struct Heard
{
    int sounds = 0;     // stretches of sound separated by silence
    double seconds = 0; // from the first loud sample to the last
    bool ended = false; // some sound, then silence for longer than a pause
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
    if (first >= 0) {
        heard.seconds = double(last - first + 1) / kRate;
        heard.ended = n - 1 - last > kGapFrames;
    }
    return heard;
}

// Runs sox and returns what it wrote to stdout, empty on failure.
QByteArray sox(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("sox"), args);
    if (!process.waitForFinished(60'000) || process.exitCode() != 0)
        return {};
    const QByteArray out = process.readAllStandardOutput();
    return out.isEmpty() ? QByteArray("ok") : out;
}

// A square sweep at half scale, loud from its first sample to its last, so that the length of
// what is heard is the length of the file.
QStringList sweep(double seconds)
{
    return {"synth", QString::number(seconds), "square", "400-2000", "vol", "0.5"};
}

QString makeSweep(const QString &relative, double seconds, const QStringList &format = {})
{
    const QString path = gRuntimeDir->filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    sox(QStringList{"-n", "-c", "1", "-r", QString::number(kRate), "-b", "16"} + format +
        QStringList{path} + sweep(seconds));
    return path;
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

// A 16-bit PCM WAV of a sweep followed by `silence` seconds of nothing, put together here (sox
// takes a second to write ten minutes of silence): the silence is the file grown with zeros.
QString makeSweepThenSilence(const QString &relative, double seconds, double silence)
{
    const QByteArray pcm = sox(QStringList{"-n", "-t", "raw", "-e", "signed", "-b", "16", "-c", "1",
                                           "-r", QString::number(kRate), "-"} +
                               sweep(seconds));
    const quint32 size = pcm.size() + quint32(silence * kRate) * 2;
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + size);
    out.writeRawData("WAVEfmt ", 8);
    // The format: its size, PCM, mono, frames and bytes a second, bytes a frame, bits a sample.
    out << quint32(16) << quint16(1) << quint16(1) << quint32(kRate) << quint32(kRate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << size;
    const QString path = writeFile(relative, header + pcm);
    QFile(path).resize(header.size() + size);
    return path;
}

// What a sound file sounds like, measured as the sink's recording is.
Heard measureFile(const QString &path)
{
    return measure(sox({path, "-t", "raw", "-r", QString::number(kRate), "-e", "signed", "-b", "16",
                        "-c", "1", "-"}));
}

QString pactl(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), args);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Until the sound server lists something of the kind: "sink-inputs" once a sound of ours is
// under way, "source-outputs" once the recorder is.
bool waitForListed(const QString &kind)
{
    return QTest::qWaitFor(
        [&] {
            return !pactl({"list", "short", kind}).trimmed().isEmpty();
        },
        5000);
}

// Records the null sink's monitor until stopped.
class Recorder
{
public:
    bool start()
    {
        m_file = gRuntimeDir->filePath(QStringLiteral("recording.raw"));
        m_parec.setStandardOutputFile(m_file);
        m_parec.setStandardErrorFile(QProcess::nullDevice());
        m_parec.start(QStringLiteral("parec"),
                      {QStringLiteral("--device=alarmtest.monitor"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                       QStringLiteral("--rate=%1").arg(kRate),
                       // parec's default fragment is seconds long; ending it loses that.
                       QStringLiteral("--latency-msec=10"), QStringLiteral("--raw")});
        if (!m_parec.waitForStarted())
            return false;
        if (!waitForListed(QStringLiteral("source-outputs")))
            return false;
        // A null sink renders ahead as far as its latency allows, 2 s while no stream asks for
        // less, and a new sound starts after that. Suspended and resumed now that the recorder
        // asks for 10 ms, it starts again from the present and stays that close.
        pactl({"suspend-sink", "alarmtest", "1"});
        pactl({"suspend-sink", "alarmtest", "0"});
        return true;
    }

    // Until nothing of ours plays any more and the recording has gone on quietly past the
    // last sound: the server has then let go of all of it, and all of it has been recorded.
    bool waitForTheEnd() const
    {
        return QTest::qWaitFor([this] { return !gSound->isPlaying() && measure(peek()).ended; },
                               15'000);
    }

    // What has been recorded so far, while recording goes on.
    QByteArray peek() const
    {
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Ends parec as Ctrl+C does, so that it writes out what it holds.
    QByteArray stop()
    {
        ::kill(static_cast<pid_t>(m_parec.processId()), SIGINT);
        m_parec.waitForFinished(3000);
        return peek();
    }

private:
    QProcess m_parec;
    QString m_file;
};

// Plays the path and returns what reached the sink; the call's own duration in callMs.
Heard playAndRecord(const QString &path, qint64 *callMs = nullptr)
{
    Recorder recorder;
    EXPECT_TRUE(recorder.start()) << "parec did not connect";
    QElapsedTimer timer;
    timer.start();
    gSound->play(path);
    if (callMs)
        *callMs = timer.elapsed();
    EXPECT_TRUE(recorder.waitForTheEnd());
    return measure(recorder.stop());
}

// The call only hands the request over: connecting to the server and opening the file happen
// elsewhere, even on the first call.
TEST(SoundOnSink, FirstCallReturnsAtOnceEvenForALargeFile)
{
    // About 50 MB: a sweep, then ten minutes of silence.
    const QString path = makeSweepThenSilence(QStringLiteral("large.wav"), kSweepSeconds, 600);
    Recorder recorder;
    ASSERT_TRUE(recorder.start());

    QElapsedTimer timer;
    timer.start();
    gSound->play(path);
    const qint64 callNs = timer.nsecsElapsed();

    EXPECT_LT(callNs, 5'000'000) << callNs / 1000 << " us";
    EXPECT_TRUE(gSound->isPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return measure(recorder.peek()).ended; }, 10'000))
        << "the sweep did not reach the sink";
    const Heard heard = measure(recorder.stop());
    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, kSweepSeconds, 0.03);
    EXPECT_TRUE(gSound->isPlaying()) << "the silent rest is still playing";
    fprintf(stderr, "play() returned after %lld us\n", callNs / 1000);
}

// Setting an alarm gets the output ready; the ring's sound must still be heard once and whole,
// also from a folder whose name is not ASCII.
TEST(SoundOnSink, PreparedOutputPlaysAFileUnderANonAsciiFolderOnceAndWhole)
{
    gSound->prepare();
    gSound->prepare();
    const QString path = makeSweep(QStringLiteral("アラーム/MSREMIND.WAV"), kSweepSeconds);

    qint64 callMs = 0;
    const Heard heard = playAndRecord(path, &callMs);

    EXPECT_LT(callMs, 500);
    EXPECT_EQ(heard.sounds, 1);
    // The recorder may miss its first fragment (10 ms); the player must lose nothing.
    EXPECT_NEAR(heard.seconds, kSweepSeconds, 0.03);
}

// The sound server's mixer shows the program by these, and keeps the alarm's volume apart
// from the desktop's event sounds by its role. Run alone (as ctest does), the program then ends
// with the sound still playing, which must go cleanly.
TEST(SoundOnSink, SoundCarriesTheProgramsNameIdIconAndRoleAndEndsCleanlyWhilePlaying)
{
    const QString path = makeSweep(QStringLiteral("named.wav"), kLongSeconds);
    gSound->play(path);
    QString inputs;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return (inputs = pactl({"list", "sink-inputs"})).contains("media.role");
        },
        5000));

    const QString id = QGuiApplication::desktopFileName();
    EXPECT_TRUE(inputs.contains(QStringLiteral("application.name = \"ｱﾗｰﾑ時計\"")))
        << qPrintable(inputs);
    EXPECT_TRUE(inputs.contains(QStringLiteral("application.id = \"%1\"").arg(id)))
        << qPrintable(inputs);
    EXPECT_TRUE(inputs.contains(QStringLiteral("application.icon_name = \"%1\"").arg(id)))
        << qPrintable(inputs);
    EXPECT_TRUE(inputs.contains(QStringLiteral("media.role = \"alarm\""))) << qPrintable(inputs);
    EXPECT_TRUE(gSound->isPlaying());
}

TEST(SoundOnSink, NewSoundReplacesThePlayingOne)
{
    const QString longer = makeSweep(QStringLiteral("long.wav"), kLongSeconds);
    const QString shorter = makeSweep(QStringLiteral("short.wav"), kSweepSeconds);
    Recorder recorder;
    ASSERT_TRUE(recorder.start());

    gSound->play(longer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return measure(recorder.peek()).sounds > 0; }, 5000))
        << "the longer sound was not heard";
    gSound->play(shorter);
    ASSERT_TRUE(recorder.waitForTheEnd());

    const Heard heard = measure(recorder.stop());
    // Replaced, the longer sound is heard only until the shorter one starts.
    EXPECT_LT(heard.seconds, kLongSeconds - 0.8) << "the longer sound went on";
}

// What the quit does: the sound stops, the thread ends within its bound, and another sound
// output made after that plays.
TEST(SoundOnSink, StoppingTheSoundThreadWhilePlayingAndPlayingAgain)
{
    const QString longer = makeSweep(QStringLiteral("long.wav"), kLongSeconds);
    gSound->play(longer);
    ASSERT_TRUE(waitForListed(QStringLiteral("sink-inputs")));
    ASSERT_TRUE(gSound->isPlaying());

    QElapsedTimer timer;
    timer.start();
    gSound.reset();
    EXPECT_LT(timer.elapsed(), 3000);

    gSound = std::make_unique<CanberraSound>();
    const QString shorter = makeSweep(QStringLiteral("short.wav"), kSweepSeconds);
    const Heard heard = playAndRecord(shorter);
    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, kSweepSeconds, 0.03);
}

struct FallbackRow
{
    const char *name;
    std::function<QString()> path;
};

// Every file that cannot be played gives way to the theme's alarm sound, heard once and whole.
// Each row has a sound output of its own, so that one that leaves its sound thread stuck fails
// alone.
TEST(DefaultSound, PlaysTheThemesAlarmSoundForEachUnplayableFile)
{
    const FallbackRow rows[] = {
        {"MissingFile",
         [] {
             return gRuntimeDir->filePath(QStringLiteral("MSREMIND.WAV"));
         }},
        {"TextNamedWav",
         [] {
             return writeFile(QStringLiteral("text.WAV"), "not a sound\n");
         }},
        {"EmptyFile",
         [] {
             return writeFile(QStringLiteral("empty.WAV"), {});
         }},
        {"Directory",
         [] {
             const QString path = gRuntimeDir->filePath(QStringLiteral("dir.WAV"));
             QDir().mkpath(path);
             return path;
         }},
        // Opening a FIFO waits for a writer; no one ever writes to this one.
        {"Fifo",
         [] {
             const QString path = gRuntimeDir->filePath(QStringLiteral("fifo.WAV"));
             mkfifo(QFile::encodeName(path).constData(), 0600);
             return path;
         }},
        {"Float32File",
         [] {
             return makeSweep(QStringLiteral("f32.WAV"), kUnplayableSeconds,
                              {"-e", "floating-point", "-b", "32"});
         }},
        {"Pcm24File",
         [] {
             return makeSweep(QStringLiteral("s24.WAV"), kUnplayableSeconds, {"-b", "24"});
         }},
        // A well-formed file the sound server refuses: 1 MHz is above its rates.
        {"RateTheOutputRefuses",
         [] {
             return makeSweep(QStringLiteral("fast.WAV"), kUnplayableSeconds, {"-r", "1000000"});
         }},
    };
    for (const FallbackRow &row : rows) {
        SCOPED_TRACE(row.name);
        gSound = std::make_unique<CanberraSound>();
        qint64 callMs = 0;
        const Heard heard = playAndRecord(row.path(), &callMs);

        EXPECT_LT(callMs, 100);
        EXPECT_EQ(heard.sounds, 1);
        EXPECT_NEAR(heard.seconds, kThemeSeconds, 0.05);
    }
}

// libcanberra remembers, also across processes, where it found a theme's sound or that it found
// none: this case needs a process of its own, as ctest gives every case.
TEST(DefaultSoundWithoutTheme, PlaysTheProgramsChime)
{
    qputenv("XDG_DATA_DIRS", QFile::encodeName(gRuntimeDir->filePath(QStringLiteral("none"))));
    const std::unique_ptr<QTemporaryFile> chime(
        QTemporaryFile::createNativeFile(QStringLiteral(":/alarm/sounds/chime.wav")));
    ASSERT_TRUE(chime);
    const double chimeSeconds = measureFile(chime->fileName()).seconds;
    ASSERT_GT(chimeSeconds, kSweepSeconds + 0.5) << "the chime is told from the other sounds";

    const Heard heard = playAndRecord(gRuntimeDir->filePath(QStringLiteral("MSREMIND.WAV")));

    EXPECT_EQ(heard.sounds, 1);
    EXPECT_NEAR(heard.seconds, chimeSeconds, 0.05);
}

// A sound theme of the test's own, in place of the desktop's, whose alarm sound lasts
// kThemeSeconds; the cache of where sounds were found is the test's own too.
bool makeSoundTheme(const QString &dir)
{
    const QString theme = dir + QStringLiteral("/share/sounds/freedesktop");
    QDir().mkpath(theme + QStringLiteral("/stereo"));
    QFile index(theme + QStringLiteral("/index.theme"));
    if (!index.open(QIODevice::WriteOnly) ||
        index.write("[Sound Theme]\nName=Test\nDirectories=stereo\n\n"
                    "[stereo]\nOutputProfile=stereo\n") < 0)
        return false;
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dir + QStringLiteral("/share")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir + QStringLiteral("/home")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir + QStringLiteral("/cache")));
    const QString sound = theme + QStringLiteral("/stereo/alarm-clock-elapsed.wav");
    return !sox({"-n", "-c", "1", "-r", QString::number(kRate), "-b", "16", sound, "synth",
                 QString::number(kThemeSeconds), "square", "300-600", "vol", "0.5"})
                .isEmpty();
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QTemporaryDir runtimeDir;
    gRuntimeDir = &runtimeDir;
    if (!GTEST_FLAG_GET(list_tests)) {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
            fprintf(stderr, "no PULSE_SERVER: run under scripts/xsession.sh run --no-x --pulse "
                            "alarmtest:44100 --\n");
            return 1;
        }
        if (!makeSoundTheme(runtimeDir.path())) {
            fprintf(stderr, "the test's sound theme could not be made (is sox installed?)\n");
            return 1;
        }
    }
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.alarmclock.AlarmClock"));
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        gSound = std::make_unique<CanberraSound>();
        result = RUN_ALL_TESTS();
        gSound.reset();
    }
    return result;
}
