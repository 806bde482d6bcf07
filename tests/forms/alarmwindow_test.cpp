#include "forms/alarmwindow.h"
#include "forms/settimedialog.h"
#include "forms/timeupwindow.h"
#include "formtest.h"
#include "platform/wallclocktimer.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kSoundFile = QStringLiteral("/opt/アラーム/MSREMIND.WAV");

struct MessageSeen
{
    bool shown = false;
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::Information;
};

class AlarmWindowTest : public FormTest
{
protected:
    void SetUp() override
    {
        // Closing the windows must not end the event loop the tests run in.
        QApplication::setQuitOnLastWindowClosed(false);
        clock.set(10, 2, 0);
        form = std::make_unique<AlarmWindow>(clock, windows, sound, kSoundFile);
        form->show();
    }
    QString label(const char *name) const { return child<QLabel>(form.get(), name)->text(); }
    bool goTaskBarEnabled() const
    {
        return child<QPushButton>(form.get(), "cmdGoTaskBar")->isEnabled();
    }
    bool timerRunning() const { return child<WallClockTimer>(form.get(), "Timer1")->isEnabled(); }

    // The set flow with the dialog answered by OK (with the given texts) or by cancel; a
    // message box that follows is answered and recorded.
    MessageSeen setAlarm(const QString &time, const QString &note, bool ok = true)
    {
        MessageSeen seen;
        // A message box may follow the dialog; it is looked for only until the flow returns.
        const auto messageWatch = std::make_shared<bool>(true);
        whenModal<SetTimeDialog>([&](SetTimeDialog *dialog) {
            if (ok) {
                child<QComboBox>(dialog, "cmbTimeSet")->setEditText(time);
                child<QLineEdit>(dialog, "txtYouken")->setText(note);
                whenModal<QMessageBox>(
                    [&](QMessageBox *box) {
                        seen = {true, box->windowTitle(), box->text(), box->standardButtons(),
                                box->icon()};
                        box->button(QMessageBox::Ok)->click();
                    },
                    messageWatch);
                child<QPushButton>(dialog, "cmdOK")->click();
            } else {
                child<QComboBox>(dialog, "cmbTimeSet")->setEditText(time);
                child<QLineEdit>(dialog, "txtYouken")->setText(note);
                child<QPushButton>(dialog, "cmdCancel")->click();
            }
        });
        child<QPushButton>(form.get(), "cmdSetAlarm")->click();
        *messageWatch = false;
        return seen;
    }

    // What the dialog proposes when it opens; closed with cancel.
    QString proposedTime()
    {
        QString proposed;
        whenModal<SetTimeDialog>([&](SetTimeDialog *dialog) {
            proposed = child<QComboBox>(dialog, "cmbTimeSet")->currentText();
            child<QPushButton>(dialog, "cmdCancel")->click();
        });
        child<QPushButton>(form.get(), "cmdSetAlarm")->click();
        return proposed;
    }

    // Every time-up window there is, shown or hidden.
    QList<TimeUpWindow *> timeUpWindows() const
    {
        QList<TimeUpWindow *> found;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *timeUp = qobject_cast<TimeUpWindow *>(window))
                found.append(timeUp);
        return found;
    }

    TimeUpWindow *timeUpWindow() const
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *timeUp = qobject_cast<TimeUpWindow *>(window); timeUp && timeUp->isVisible())
                return timeUp;
        }
        return nullptr;
    }

    void tickAt(int h, int m, int s, int ms = 0)
    {
        clock.set(h, m, s, ms);
        // The tick the timer would deliver, at once.
        emit child<WallClockTimer>(form.get(), "Timer1")->timeout();
    }

    std::unique_ptr<AlarmWindow> form;
};

TEST_F(AlarmWindowTest, StartsWithNoAlarmAndTheClockRunning)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_EQ(label("lblTime"), QString());
    EXPECT_EQ(label("lblAlarm"), QString());
    EXPECT_EQ(label("lblYouken"), QString());
    EXPECT_FALSE(goTaskBarEnabled());
    EXPECT_TRUE(timerRunning());
    EXPECT_TRUE(timeUpWindows().isEmpty()) << "no time-up window without an alarm";
}

// The fixed colours, fonts and captions: Look.EachWindowAsTheUserSeesIt.

// Under a dark scheme (light text, light menu text) the clock and the alarm stay readable.
TEST_F(AlarmWindowTest, ADarkSchemeLeavesTheClockAndTheAlarmReadable)
{
    const QPalette standard = QApplication::palette();
    QPalette dark = standard;
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    dark.setColor(QPalette::Text, QColor(250, 250, 250));
    QApplication::setPalette(dark);
    QApplication::setPalette(dark, "QMenu");
    const AlarmWindow darkForm(clock, windows, sound, kSoundFile);
    QApplication::setPalette(standard);
    QApplication::setPalette(standard, "QMenu");
    const QPalette time = child<QLabel>(&darkForm, "lblTime")->palette();
    EXPECT_EQ(time.color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(time.color(QPalette::Window), QColor(Qt::black));
    const QPalette alarm = child<QLabel>(&darkForm, "lblAlarm")->palette();
    EXPECT_EQ(alarm.color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(alarm.color(QPalette::Window), QColor(192, 192, 192));
}

// The focus moves through the buttons in tab order, past the disabled one.
TEST_F(AlarmWindowTest, TabOrderRunsThroughTheButtons)
{
    EXPECT_EQ(child<QPushButton>(form.get(), "cmdSetAlarm")->nextInFocusChain(),
              child<QPushButton>(form.get(), "cmdGoTaskBar"));
    EXPECT_EQ(child<QPushButton>(form.get(), "cmdGoTaskBar")->nextInFocusChain(),
              child<QPushButton>(form.get(), "cmdClose"));
}

struct Accepted
{
    const char *typed;
    QTime alarm;
    const char *shown;
};

class AcceptedEntry : public AlarmWindowTest, public testing::WithParamInterface<Accepted>
{};

TEST_P(AcceptedEntry, ShowsTheAlarmAndRingsAtIt)
{
    const MessageSeen seen = setAlarm(QString::fromUtf8(GetParam().typed), QStringLiteral("会議"));
    EXPECT_FALSE(seen.shown);
    EXPECT_EQ(label("lblAlarm"), QString::fromUtf8(GetParam().shown));
    EXPECT_EQ(label("lblYouken"), QStringLiteral("会議"));
    EXPECT_TRUE(goTaskBarEnabled());
    EXPECT_EQ(sound.prepared, 1);
    // The window of the ring is made ahead, with its native window, and stays hidden.
    ASSERT_EQ(timeUpWindows().size(), 1);
    EXPECT_TRUE(timeUpWindows()[0]->testAttribute(Qt::WA_WState_Created));
    EXPECT_EQ(timeUpWindow(), nullptr);

    tickAt(GetParam().alarm.hour(), GetParam().alarm.minute(), GetParam().alarm.second());
    EXPECT_NE(timeUpWindow(), nullptr);
    EXPECT_EQ(sound.played, QStringList{kSoundFile});
}

INSTANTIATE_TEST_SUITE_P(SetFlow, AcceptedEntry,
                         testing::Values(Accepted{"10:30", QTime(10, 30), "10:30"},
                                         Accepted{"7:05", QTime(7, 5), "07:05"},
                                         Accepted{"00:00", QTime(0, 0), "00:00"},
                                         // Seconds are kept, in the alarm and on the label alike.
                                         Accepted{"10:29:55", QTime(10, 29, 55), "10:29:55"}));

TEST_F(AlarmWindowTest, EmptyTimeRemovesTheAlarmButKeepsTheOldNote)
{
    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    const MessageSeen seen = setAlarm(QString(), QStringLiteral("別件"));
    EXPECT_FALSE(seen.shown);
    EXPECT_EQ(sound.prepared, 1) << "only the accepted alarm";
    EXPECT_EQ(label("lblAlarm"), QString());
    EXPECT_FALSE(goTaskBarEnabled());
    EXPECT_EQ(label("lblYouken"), QStringLiteral("会議"));
}

TEST_F(AlarmWindowTest, TextThatIsNoTimeIsRejectedWithAMessage)
{
    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    const MessageSeen seen = setAlarm(QStringLiteral("abc"), QStringLiteral("別件"));

    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, QStringLiteral("時刻の指定が正しくありません。"));
    EXPECT_EQ(seen.title, QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);

    EXPECT_EQ(label("lblAlarm"), QString());
    EXPECT_FALSE(goTaskBarEnabled());
    EXPECT_EQ(label("lblYouken"), QStringLiteral("別件"));

    for (int s = 0; s < 5; ++s)
        tickAt(10, 30, s);
    EXPECT_EQ(timeUpWindow(), nullptr);
    EXPECT_EQ(sound.played.size(), 0);
    EXPECT_EQ(sound.prepared, 1) << "only the accepted alarm";

    // The next opening starts as if no alarm had been set: it proposes the next half hour.
    EXPECT_EQ(proposedTime(), QStringLiteral("11:00"));
}

TEST_F(AlarmWindowTest, CancelRestoresTheAlarmAndTheNote)
{
    setAlarm(QStringLiteral("7:30"), QStringLiteral("会議"));
    const MessageSeen seen = setAlarm(QStringLiteral("08:00"), QStringLiteral("別件"), false);
    EXPECT_FALSE(seen.shown);
    EXPECT_EQ(label("lblAlarm"), QStringLiteral("07:30"));
    EXPECT_EQ(label("lblYouken"), QStringLiteral("会議"));
    EXPECT_TRUE(goTaskBarEnabled());
    EXPECT_EQ(proposedTime(), QStringLiteral("07:30")) << "the next opening shows the alarm";
}

TEST_F(AlarmWindowTest, MinimisingWithoutAnAlarmStopsTheTimerAndKeepsTheCaption)
{
    form->showMinimized(); // as the title bar does: ﾀｽｸﾊﾞｰへ waits for an alarm
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_FALSE(timerRunning());

    form->showNormal();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_TRUE(timerRunning());
    tickAt(10, 7, 3);
    EXPECT_EQ(label("lblTime"), QStringLiteral("10:07:03"));
}

TEST_F(AlarmWindowTest, MinimisingWithAnAlarmShowsTheCountdownAtOnce)
{
    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    clock.set(10, 5, 0);
    child<QPushButton>(form.get(), "cmdGoTaskBar")->click();
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("00:25 前 【会議】"));
    EXPECT_TRUE(timerRunning());

    form->showNormal();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_TRUE(timerRunning());
}

TEST_F(AlarmWindowTest, TheTickDrivesTheClockTheTimeUpWindowAndTheAttention)
{
    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    tickAt(10, 29, 58);
    EXPECT_EQ(label("lblTime"), QStringLiteral("10:29:58"));
    form->showMinimized();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("02秒 前 【会議】"));

    tickAt(10, 29, 59);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("01秒 前 【会議】"));
    EXPECT_EQ(label("lblTime"), QStringLiteral("10:29:58")) << "not updated while minimised";
    EXPECT_EQ(timeUpWindow(), nullptr);
    const QList<TimeUpWindow *> readied = timeUpWindows();

    // A reading far from the last is not acted on until another confirms it, at once.
    auto *timer = child<WallClockTimer>(form.get(), "Timer1");
    clock.advance(500);
    timer->setEnabled(true); // armed for 10:30:00.002, half a second away
    clock.jump(14, 0, 0);
    emit timer->timeout();
    EXPECT_EQ(timeUpWindow(), nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("01秒 前 【会議】"));
    EXPECT_LE(timer->remainingTime(), WallClockTimer::kSoonMsecs);
    clock.jump(10, 29, 59, 500);

    tickAt(10, 30, 0);
    TimeUpWindow *timeUp = timeUpWindow();
    ASSERT_NE(timeUp, nullptr);
    EXPECT_EQ(QList<TimeUpWindow *>{timeUp}, readied) << "the ring shows the window made ahead";
    EXPECT_EQ(timeUp->windowTitle(), QStringLiteral("Time UP"));
    EXPECT_EQ(timeUp->parentWidget(), nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("00秒 前 【会議】"));
    EXPECT_EQ(sound.played.size(), 1);
    EXPECT_EQ(windows.attention.size(), 0) << "not during the alarm's own second";

    tickAt(10, 30, 1);
    tickAt(10, 30, 2);
    tickAt(10, 30, 3);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("03秒 ｵｰﾊﾞｰ 【会議】"));
    EXPECT_EQ(windows.attention.size(), 3);
    EXPECT_EQ(sound.played.size(), 1) << "rings once";
    EXPECT_EQ(timeUpWindow(), timeUp);

    // After midnight the alarm is armed again, and the attention it asked for ends.
    tickAt(0, 0, 1);
    EXPECT_EQ(windows.attention.size(), 4);
    for (int i = 0; const auto &[window, on] : windows.attention) {
        EXPECT_EQ(window, form.get());
        EXPECT_EQ(on, ++i < 4) << "request " << i;
    }

    form->showNormal();
    tickAt(0, 0, 2);
    EXPECT_EQ(label("lblTime"), QStringLiteral("00:00:02"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));

    // OK: the window goes, and the next ring's window is made ready.
    const QPointer<TimeUpWindow> closed = timeUp;
    child<QPushButton>(timeUp, "cmdOK")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
    ASSERT_EQ(timeUpWindows().size(), 1);
    EXPECT_EQ(timeUpWindow(), nullptr);
}

// Left open over midnight, the time-up window is the one the next day's ring shows again: no
// second window and no second sound.
TEST_F(AlarmWindowTest, ARingWhileTheWindowIsStillOpenReusesItSilently)
{
    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    tickAt(10, 30, 0);
    TimeUpWindow *first = timeUpWindow();
    ASSERT_NE(first, nullptr);
    tickAt(0, 0, 1);
    tickAt(10, 30, 0);
    EXPECT_EQ(timeUpWindow(), first);
    EXPECT_EQ(sound.played.size(), 1);
    int shown = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        shown += qobject_cast<TimeUpWindow *>(window) && window->isVisible();
    EXPECT_EQ(shown, 1);
}

TEST_F(AlarmWindowTest, ARejectedEntryThenMinimisingLeavesTheCaption)
{
    setAlarm(QStringLiteral("abc"), QStringLiteral("会議"));
    form->showMinimized();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_FALSE(timerRunning()) << "there is no alarm to count down to";
    tickAt(10, 30, 0);
    tickAt(23, 59, 59);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ｱﾗｰﾑ時計"));
    EXPECT_EQ(windows.attention.size(), 0);
    EXPECT_EQ(timeUpWindow(), nullptr);
}

// While the dialog is open the clock goes on with the alarm in force: it rings on time. Cancel
// then changes nothing, not even that the alarm has rung today; OK sets the alarm anew, and a
// time that has passed rings at once.
TEST_F(AlarmWindowTest, TheAlarmRingsWhileTheDialogIsOpenAndCancelChangesNothing)
{
    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    QString shownInside;
    bool ringing = false;
    whenModal<SetTimeDialog>([&](SetTimeDialog *dialog) {
        tickAt(10, 30, 0);
        shownInside = label("lblTime");
        ringing = timeUpWindow() != nullptr;
        child<QPushButton>(dialog, "cmdCancel")->click();
    });
    child<QPushButton>(form.get(), "cmdSetAlarm")->click();
    EXPECT_EQ(shownInside, QStringLiteral("10:30:00"));
    EXPECT_TRUE(ringing);
    child<QPushButton>(timeUpWindow(), "cmdOK")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    whenModal<SetTimeDialog>([&](SetTimeDialog *dialog) {
        tickAt(10, 31, 0);
        child<QPushButton>(dialog, "cmdCancel")->click();
    });
    child<QPushButton>(form.get(), "cmdSetAlarm")->click();
    tickAt(10, 31, 1);
    EXPECT_EQ(timeUpWindow(), nullptr) << "Cancel rang the alarm again";
    EXPECT_EQ(sound.played.size(), 1);

    setAlarm(QStringLiteral("10:30"), QStringLiteral("会議"));
    tickAt(10, 31, 2);
    EXPECT_NE(timeUpWindow(), nullptr) << "OK with a time that has passed rings at once";
    EXPECT_EQ(sound.played.size(), 2);
}

TEST_F(AlarmWindowTest, CloseEndsWithEveryWindowGone)
{
    setAlarm(QStringLiteral("10:30"), QString());
    tickAt(10, 30, 0);
    ASSERT_NE(timeUpWindow(), nullptr);
    child<QPushButton>(form.get(), "cmdClose")->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(timeUpWindow(), nullptr);
    EXPECT_FALSE(timerRunning());
}

TEST_F(AlarmWindowTest, TitleBarCloseLeavesARingingWindowOpen)
{
    setAlarm(QStringLiteral("10:30"), QString());
    tickAt(10, 30, 0);
    ASSERT_NE(timeUpWindow(), nullptr);
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(timerRunning());
    EXPECT_NE(timeUpWindow(), nullptr);
}

// Everywhere the note appears, it appears as typed: markup is not interpreted, and Qt's "[*]"
// placeholder for a modified window does not eat a "[*]" in the title.
TEST_F(AlarmWindowTest, ANoteIsShownAsTypedEverywhere)
{
    const QString note = QStringLiteral("<img src=/x.png><b>A&amp;B</b>[*][*]");
    setAlarm(QStringLiteral("10:30"), note);
    EXPECT_EQ(child<QLabel>(form.get(), "lblYouken")->textFormat(), Qt::PlainText);
    EXPECT_EQ(label("lblYouken"), note);

    form->showMinimized();
    ASSERT_NE(form->windowHandle(), nullptr);
    EXPECT_EQ(form->windowHandle()->title(), QStringLiteral("00:28 前 【") + note + u"】"_s);

    tickAt(10, 30, 0);
    TimeUpWindow *timeUp = timeUpWindow();
    ASSERT_NE(timeUp, nullptr);
    const auto *message = child<QLabel>(timeUp, "lblYouken");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    EXPECT_EQ(message->text(), note);
}

// A window manager may minimise the main window while the set-time dialog is open; with no
// alarm before, that stops the clock, and the alarm then set must start it again.
TEST_F(AlarmWindowTest, AnAlarmSetWhileMinimisedRings)
{
    whenModal<SetTimeDialog>([&](SetTimeDialog *dialog) {
        form->showMinimized();
        child<QComboBox>(dialog, "cmbTimeSet")->setEditText(u"10:30"_s);
        child<QPushButton>(dialog, "cmdOK")->click();
    });
    child<QPushButton>(form.get(), "cmdSetAlarm")->click();
    ASSERT_TRUE(form->isMinimized());
    EXPECT_TRUE(timerRunning());
}

} // namespace
