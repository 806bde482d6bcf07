// The platform services where they need no X server or audio device: the clock, the platform
// choice, and the sound without a sound server.
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/startup.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTime>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

TEST(SystemClock, ReadsLocalTimeOfDay)
{
    const SystemClock clock;
    const int before = QTime::currentTime().msecsSinceStartOfDay();
    const qint64 now = clock.msecsSinceMidnight();
    const int after = QTime::currentTime().msecsSinceStartOfDay();
    if (after < before)
        GTEST_SKIP() << "ran across midnight";
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    EXPECT_EQ(clock.secondsOfDay(), now / 1000);
}

struct PlatformRow
{
    const char *name;
    const char *sessionType;
    const char *waylandDisplay;
    const char *display;
    const char *qpa;
    const char *expected;        // QT_QPA_PLATFORM afterwards, nullptr for unset
    const char *noShm = nullptr; // QT_XCB_NO_MITSHM of the user's, kept; "1" afterwards when unset
};

void PrintTo(const PlatformRow &row, std::ostream *os)
{
    *os << row.name;
}

// Saves and restores the variables that describe the desktop session.
class SessionEnvironment : public ::testing::Test
{
protected:
    static constexpr const char *kNames[] = {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY",
                                             "QT_QPA_PLATFORM", "QT_XCB_NO_MITSHM"};
    void SetUp() override
    {
        for (const char *name : kNames)
            saved.push_back(qEnvironmentVariableIsSet(name)
                                ? std::optional<QByteArray>(qgetenv(name))
                                : std::nullopt);
    }
    void TearDown() override
    {
        for (size_t i = 0; i < saved.size(); ++i)
            set(kNames[i], saved[i] ? saved[i]->constData() : nullptr);
    }
    static void set(const char *name, const char *value)
    {
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    std::vector<std::optional<QByteArray>> saved;
};

class ChoosePlatform : public SessionEnvironment, public ::testing::WithParamInterface<PlatformRow>
{};

TEST_P(ChoosePlatform, UsesXWaylandOnlyWhenUsefulAndNotChosen)
{
    const PlatformRow &row = GetParam();
    set("XDG_SESSION_TYPE", row.sessionType);
    set("WAYLAND_DISPLAY", row.waylandDisplay);
    set("DISPLAY", row.display);
    set("QT_QPA_PLATFORM", row.qpa);
    set("QT_XCB_NO_MITSHM", row.noShm);

    choosePlatform();

    if (row.expected)
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(row.expected));
    else
        EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
    EXPECT_EQ(qgetenv("QT_XCB_NO_MITSHM"), QByteArray(row.noShm ? row.noShm : "1"));
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, ChoosePlatform,
    ::testing::Values(
        PlatformRow{"WaylandSessionWithX", "wayland", nullptr, ":0", nullptr, "xcb"},
        PlatformRow{"WaylandDisplayWithX", nullptr, "wayland-0", ":0", nullptr, "xcb"},
        PlatformRow{"WaylandWithoutX", "wayland", "wayland-0", nullptr, nullptr, nullptr},
        PlatformRow{"UserChoiceKept", "wayland", "wayland-0", ":0", "wayland", "wayland"},
        PlatformRow{"X11Session", "x11", nullptr, ":0", nullptr, nullptr},
        PlatformRow{"UserShmChoiceKept", "x11", nullptr, ":0", nullptr, nullptr, "0"},
        PlatformRow{"NoSessionAtAll", nullptr, nullptr, nullptr, nullptr, nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

// The display is never one that exists.
class DisplayProblem : public SessionEnvironment
{};

TEST_F(DisplayProblem, NamesTheMissingDisplayInOneLine)
{
    const struct
    {
        const char *name;
        const char *qpa;
        const char *waylandDisplay;
        const char *display;
        const char *mentions;
    } rows[] = {
        {"NoDisplayAtAll", nullptr, nullptr, nullptr, "DISPLAY"},
        {"EmptyDisplay", nullptr, nullptr, "", "DISPLAY"},
        {"UnreachableDisplay", nullptr, nullptr, ":59999", "\":59999\""},
        {"X11ChosenButUnreachable", "xcb", "wayland-0", ":59999", "\":59999\""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        set("QT_QPA_PLATFORM", row.qpa);
        set("WAYLAND_DISPLAY", row.waylandDisplay);
        set("DISPLAY", row.display);

        const QString problem = DisplayProbe().problem();

        EXPECT_TRUE(problem.contains(QLatin1String(row.mentions))) << problem.toStdString();
        EXPECT_FALSE(problem.contains(QLatin1Char('\n')));
    }
}

TEST_F(DisplayProblem, LeavesOtherPlatformsToQt)
{
    const struct
    {
        const char *name;
        const char *qpa;
        const char *waylandDisplay;
    } rows[] = {
        {"Offscreen", "offscreen", nullptr},
        {"UserChoseWayland", "wayland", "wayland-0"},
        {"QtPicksWayland", nullptr, "wayland-0"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        set("QT_QPA_PLATFORM", row.qpa);
        set("WAYLAND_DISPLAY", row.waylandDisplay);
        set("DISPLAY", nullptr);

        EXPECT_EQ(DisplayProbe().problem(), QString());
    }
}

TEST(SoundWithoutServer, ReturnsPromptlyForEveryKindOfFile)
{
    // A server address where none listens: no daemon is reached or spawned.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("PULSE_SERVER",
            QFile::encodeName(dir.filePath(QStringLiteral("none"))).prepend("unix:"));
    const std::unique_ptr<QTemporaryFile> chime(
        QTemporaryFile::createNativeFile(QStringLiteral(":/alarm/sounds/chime.wav")));
    ASSERT_TRUE(chime);
    const QString good = chime->fileName();

    CanberraSound sound;
    QElapsedTimer prepared;
    prepared.start();
    sound.prepare();
    EXPECT_LT(prepared.elapsed(), 100);

    for (const QString &path : {good, dir.filePath(QStringLiteral("missing.wav")), QString()}) {
        QElapsedTimer timer;
        timer.start();
        sound.play(path);
        EXPECT_LT(timer.elapsed(), 100) << qPrintable(path);
        // With nowhere to play it, the sound is given up without hanging the sound thread.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !sound.isPlaying(); }, 5000)) << qPrintable(path);
    }
}

} // namespace
