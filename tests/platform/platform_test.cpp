// The platform services where they need no X server or audio device: the platform choice, the
// display check, and the sound without a sound server.
#include "platform/alarmsound.h"
#include "platform/startup.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

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

class ChoosePlatform : public SessionEnvironment
{};

TEST_F(ChoosePlatform, UsesXWaylandOnlyWhenUsefulAndNotChosen)
{
    const PlatformRow rows[] = {
        {"WaylandSessionWithX", "wayland", nullptr, ":0", nullptr, "xcb"},
        {"WaylandDisplayWithX", nullptr, "wayland-0", ":0", nullptr, "xcb"},
        {"WaylandWithoutX", "wayland", "wayland-0", nullptr, nullptr, nullptr},
        {"UserChoiceKept", "wayland", "wayland-0", ":0", "wayland", "wayland"},
        {"X11Session", "x11", nullptr, ":0", nullptr, nullptr},
        {"UserShmChoiceKept", "x11", nullptr, ":0", nullptr, nullptr, "0"},
        {"NoSessionAtAll", nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    for (const PlatformRow &row : rows) {
        SCOPED_TRACE(row.name);
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
}

// The display is never one that exists.
class DisplayProblem : public SessionEnvironment
{};

// Names the missing display in one line, and leaves every other platform to Qt.
TEST_F(DisplayProblem, NamesTheMissingX11DisplayInOneLine)
{
    const struct
    {
        const char *name;
        const char *qpa;
        const char *waylandDisplay;
        const char *display;
        const char *mentions; // nullptr: no problem
    } rows[] = {
        {"NoDisplayAtAll", nullptr, nullptr, nullptr, "DISPLAY"},
        {"EmptyDisplay", nullptr, nullptr, "", "DISPLAY"},
        {"UnreachableDisplay", nullptr, nullptr, ":59999", "\":59999\""},
        {"X11ChosenButUnreachable", "xcb", "wayland-0", ":59999", "\":59999\""},
        {"Offscreen", "offscreen", nullptr, nullptr, nullptr},
        {"UserChoseWayland", "wayland", "wayland-0", nullptr, nullptr},
        {"QtPicksWayland", nullptr, "wayland-0", nullptr, nullptr},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        set("QT_QPA_PLATFORM", row.qpa);
        set("WAYLAND_DISPLAY", row.waylandDisplay);
        set("DISPLAY", row.display);

        const QString problem = DisplayProbe().problem();

        if (!row.mentions) {
            EXPECT_EQ(problem, QString());
            continue;
        }
        EXPECT_TRUE(problem.contains(QLatin1String(row.mentions))) << problem.toStdString();
        EXPECT_FALSE(problem.contains(QLatin1Char('\n')));
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
