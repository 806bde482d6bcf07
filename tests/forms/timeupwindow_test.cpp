#include "forms/settimedialog.h"
#include "forms/timeupwindow.h"
#include "formtest.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

class TimeUpTest : public FormTest
{
protected:
    void SetUp() override
    {
        window = make();
    }
    void TearDown() override { delete window; }

    TimeUpWindow *make()
    {
        return new TimeUpWindow(clock, windows, sound, QStringLiteral("/opt/アラーム/MSREMIND.WAV"));
    }

    QString message() const { return child<QLabel>(window, "lblYouken")->text(); }

    // Lets the deleteLater of an unloaded window run.
    static void runDeferredDeletes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QPointer<TimeUpWindow> window;
};

// --- Load ---------------------------------------------------------------------------------

struct MessageRow
{
    const char *note;
    const char *shown;
};

class TimeUpMessageTest : public TimeUpTest, public testing::WithParamInterface<MessageRow>
{};

TEST_P(TimeUpMessageTest, ShowsTheNoteOrTheStandardMessage)
{
    EXPECT_EQ(message(), "Label1");
    window->ring(QString::fromUtf8(GetParam().note));
    EXPECT_EQ(message(), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, TimeUpMessageTest,
                         testing::Values(MessageRow{"", "予定時間です。"},
                                         MessageRow{"会議", "会議"}, MessageRow{" ", " "},
                                         MessageRow{"歯医者 3時 🦷", "歯医者 3時 🦷"}));

TEST_F(TimeUpTest, LoadPlaysTheSoundOnceOffTheTaskbar)
{
    window->ring(QString());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(sound.played, QStringList{"/opt/アラーム/MSREMIND.WAV"});
    EXPECT_EQ(windows.ownerlessTools, QList<QWidget *>{window.data()});
}

TEST_F(TimeUpTest, ShowingItAgainWhileOpenDoesNotReload)
{
    window->ring(QStringLiteral("会議"));
    window->ring(QStringLiteral("別の用件"));
    window->ring(QStringLiteral("別の用件"));
    EXPECT_EQ(sound.played.size(), 1);
    EXPECT_EQ(message(), "会議");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TimeUpTest, EveryNewWindowLoadsAndRingsAgain)
{
    window->ring(QString());
    child<QPushButton>(window, "cmdOK")->click();
    runDeferredDeletes();
    ASSERT_TRUE(window.isNull());

    window = make();
    window->ring(QString());
    EXPECT_EQ(sound.played.size(), 2);
}

// --- Unload -------------------------------------------------------------------------------

enum class Close { ClickOk, Enter, Return, TitleBar, Escape };

class TimeUpCloseTest : public TimeUpTest, public testing::WithParamInterface<Close>
{};

TEST_P(TimeUpCloseTest, UnloadsItself)
{
    window->ring(QString());
    switch (GetParam()) {
    case Close::ClickOk:
        QTest::mouseClick(child<QPushButton>(window, "cmdOK"), Qt::LeftButton);
        break;
    case Close::Enter:
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        break;
    case Close::Return:
        QTest::keyClick(child<QPushButton>(window, "cmdOK"), Qt::Key_Return);
        break;
    case Close::TitleBar:
        window->close();
        break;
    case Close::Escape: // the window has no cancel button: Esc must not close it
        QTest::keyClick(window, Qt::Key_Escape);
        break;
    }
    runDeferredDeletes();
    EXPECT_EQ(window.isNull(), GetParam() != Close::Escape);
    EXPECT_TRUE(window.isNull() || window->isVisible());
    EXPECT_EQ(sound.played.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Table, TimeUpCloseTest,
                         testing::Values(Close::ClickOk, Close::Enter, Close::Return,
                                         Close::TitleBar, Close::Escape));

// The set-time dialog is modal to the main window only: the ringing window still takes
// input, the main window does not.
TEST_F(TimeUpTest, TakesInputWhileTheSetTimeDialogIsOpen)
{
    QWidget main;
    auto *field = new QLineEdit(&main);
    main.show();
    field->setFocus();
    SetTimeDialog dialog(&main, clock, windows, std::nullopt, QString());

    whenModal<SetTimeDialog>([&](SetTimeDialog *) {
        window->ring(QString());
        QTest::keyClick(main.windowHandle(), Qt::Key_X);
        EXPECT_EQ(field->text(), "") << "the main window took input past the modal dialog";
        QTest::keyClick(window->windowHandle(), Qt::Key_Return);
        EXPECT_TRUE(window.isNull() || !window->isVisible()) << "the time-up window took no input";
        dialog.reject();
    });
    dialog.exec();
}

// --- Look ---------------------------------------------------------------------------------

// Qt caches a button's pictures by its palette. A palette new with every window would leave
// another set of pictures behind with every ring; one window and the next must draw with the
// same.
TEST_F(TimeUpTest, NextWindowDrawsWithTheSamePalette)
{
    window->prepare();
    window->ring(QString());
    const qint64 palette = child<QPushButton>(window, "cmdOK")->palette().cacheKey();
    window->close();
    runDeferredDeletes();
    ASSERT_TRUE(window.isNull());

    window = make();
    window->prepare();
    window->ring(QString());
    EXPECT_EQ(child<QPushButton>(window, "cmdOK")->palette().cacheKey(), palette);
}

// Centred on the screen by the frame the window manager gives it, asked for when the window is
// readied: a tool window's frame is not the main window's.
TEST_F(TimeUpTest, IsCentredOnTheScreenByItsFrame)
{
    window->prepare();
    EXPECT_EQ(windows.framePrepared, QList<QWidget *>{window.data()});
    windows.frame = QMargins(2, 35, 2, 3);
    window->ring(QString());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_FALSE(windows.centred.isEmpty());
    EXPECT_EQ(windows.centred.last(), std::make_pair(static_cast<QWidget *>(window), screen));
    const QRect outer = window->geometry().marginsAdded(windows.frame);
    EXPECT_LE(std::abs(outer.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(outer.center().y() - screen.center().y()), 1);
}

// --- Keys meant for another window --------------------------------------------------------

// While another program has the keyboard, the ring leaves it there.
TEST_F(TimeUpTest, ComesUpWithoutTheKeyboardWhileAnotherProgramHasIt)
{
    windows.keyboardAt = DesktopWindows::Keyboard::Other;
    window->ring(QString());
    EXPECT_EQ(windows.shownWithoutFocus, QList<QWidget *>{window.data()});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(sound.played.size(), 1);
}

// Over another program's full-screen window it takes the keyboard, to be seen; keys typed at
// less than kKeysAtRestMsecs from the last are typing meant for that window, and the first
// after a longer rest answers it. The mouse always does.
TEST_F(TimeUpTest, OverAFullScreenWindowKeysCountOnceTheTypingHasStopped)
{
    windows.keyboardAt = DesktopWindows::Keyboard::OtherFullScreen;
    window->ring(QString());
    EXPECT_TRUE(windows.shownWithoutFocus.isEmpty());
    auto *ok = child<QPushButton>(window, "cmdOK");
    for (int key = 0; key < 5; ++key) {
        clock.advance(TimeUpWindow::kKeysAtRestMsecs - 1);
        QTest::keyClick(ok, Qt::Key_Space);
        QTest::keyClick(ok, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
    }
    runDeferredDeletes();
    ASSERT_FALSE(window.isNull()) << "typing meant for another window answered it";
    EXPECT_TRUE(window->isVisible());

    clock.advance(TimeUpWindow::kKeysAtRestMsecs);
    QTest::keyClick(ok, Qt::Key_Return);
    runDeferredDeletes();
    EXPECT_TRUE(window.isNull());
}

// A long note is cut, not allowed to grow the label or the window.
TEST_F(TimeUpTest, ALongNoteGrowsNeitherItsLabelNorTheWindow)
{
    const QRect label = child<QWidget>(window, "lblYouken")->geometry();
    window->ring(QString::fromUtf8("とても長い用件").repeated(6));
    EXPECT_EQ(child<QWidget>(window, "lblYouken")->geometry(), label);
    EXPECT_EQ(window->size(), QSize(199, 78));
}

TEST_F(TimeUpTest, PictureIsTheSixteenColourAlarmIconAtThirtyTwoPixels)
{
    const QPixmap shown = child<QLabel>(window, "Image1")->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_EQ(shown.toImage().pixelColor(0, 0).alpha(), 0) << "the corners are transparent";

    for (int size : {16, 32}) {
        const QImage image(QStringLiteral(":/timeup/timeup-%1.png").arg(size));
        ASSERT_FALSE(image.isNull()) << size;
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(image.format(), QImage::Format_Indexed8) << "a palette image";
        EXPECT_LE(image.colorCount(), 16);
    }
}

} // namespace
