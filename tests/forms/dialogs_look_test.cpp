// How the windows come out on screen: controls laid out apart with captions that fit, Japanese
// glyphs, and screenshots (under a real X server only).
#include "core/alarmstate.h"
#include "fakeclock.h"
#include "fakedesktop.h"
#include "forms/alarmform.h"
#include "forms/frmsettime.h"
#include "forms/frmtimeup.h"
#include "platform/wallclocktimer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QtMath>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

// Runs see on a freshly loaded set-time dialog over a plain owner window, then cancels it.
void withSetTime(const std::function<void(frmSetTime &)> &see)
{
    FakeClock clock;
    clock.set(10, 10, 0);
    QWidget owner;
    owner.setGeometry(200, 200, 420, 170);
    owner.show();
    FakeWindows windows;
    FakeSound sound;
    frmSetTime dialog(&owner, clock, windows);
    QTimer::singleShot(0, &dialog, [&] {
        see(dialog);
        dialog.reject();
    });
    dialog.exec();
}

// Runs see on a loaded time-up window showing the standard message.
void withTimeUp(const std::function<void(frmTimeUp &)> &see)
{
    gYouken.clear();
    FakeWindows windows;
    FakeSound sound;
    QPointer<frmTimeUp> window = new frmTimeUp(windows, sound);
    window->Show();
    see(*window);
    delete window;
}

// Runs see on the main window once its clock shows the time.
void withMain(const std::function<void(AlarmForm &)> &see)
{
    FakeClock clock;
    clock.set(23, 58, 58);
    FakeWindows windows;
    FakeSound sound;
    AlarmForm form(clock, windows, sound);
    form.show();
    emit form.findChild<WallClockTimer *>(QStringLiteral("Timer1"))->timeout();
    see(form);
}

QString textOf(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (const auto *button = qobject_cast<const QPushButton *>(w))
        return button->text();
    if (const auto *edit = qobject_cast<const QLineEdit *>(w))
        return edit->text();
    return {};
}

// Every character of text has a glyph in the face the widget's font resolves to, and that
// face is a Japanese one (a Chinese face would draw the kanji with Chinese shapes).
void expectJapaneseGlyphs(const QWidget *w, const QString &text)
{
    const QRawFont raw = QRawFont::fromFont(w->font(), QFontDatabase::Japanese);
    ASSERT_TRUE(raw.isValid()) << w->objectName().toStdString();
    EXPECT_TRUE(raw.familyName() == "IPAPGothic" || raw.familyName() == "Noto Sans CJK JP")
        << w->objectName().toStdString() << " resolves to " << raw.familyName().toStdString();
    for (char32_t c : text.toUcs4())
        EXPECT_TRUE(raw.supportsCharacter(c))
            << w->objectName().toStdString() << " has no glyph for U+" << std::hex
            << static_cast<unsigned>(c) << " in " << raw.familyName().toStdString();
}

TEST(DialogGlyphs, JapaneseTextHasRealGlyphs)
{
    withSetTime([](frmSetTime &dialog) {
        for (const char *name : {"Label1", "Label2", "cmdCancel"}) {
            const auto *w = dialog.findChild<QWidget *>(QLatin1String(name));
            ASSERT_NE(w, nullptr) << name;
            expectJapaneseGlyphs(w, textOf(w));
        }
        // What the user types into the note: kana, kanji and half-width kana.
        expectJapaneseGlyphs(dialog.findChild<QLineEdit *>("txtYouken"),
                             QStringLiteral("会議の準備をする。ｱﾗｰﾑ、カタカナ"));
        // The caption as the program passes it on; the window manager draws it.
        expectJapaneseGlyphs(&dialog, dialog.windowTitle());
    });
    withTimeUp([](frmTimeUp &window) {
        const auto *message = window.findChild<QLabel *>("lblYouken");
        ASSERT_NE(message, nullptr);
        ASSERT_EQ(message->text(), "予定時間です。");
        expectJapaneseGlyphs(message, message->text());
    });
}

// The width and height a text needs at the screen's scale, in device-independent pixels.
// Measured with the font at the device's pixel size, since hinting makes glyphs at 150 %
// more than 1.5 times as wide as at 100 %.
QSizeF needed(const QWidget *w, const QString &text)
{
    const qreal scale = w->devicePixelRatioF();
    QFont font = w->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    const QFontMetricsF metrics(font);
    return QSizeF(metrics.horizontalAdvance(text) / scale, metrics.height() / scale);
}

// The area a control draws its caption in.
QRect captionArea(const QWidget *w)
{
    if (const auto *button = qobject_cast<const QPushButton *>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    return w->contentsRect();
}

void expectCaptionFits(const QWidget *w, const QString &text)
{
    const QSizeF need = needed(w, text);
    const QRect area = captionArea(w);
    EXPECT_LE(need.width(), area.width())
        << w->objectName().toStdString() << ": " << text.toStdString();
    EXPECT_LE(need.height(), area.height())
        << w->objectName().toStdString() << ": " << text.toStdString();
}

// What a control shows: a bare label its text, where its alignment puts it; anything else the
// whole of it. A bare label may reach under its neighbour below its text.
QRect shownArea(const QWidget *w)
{
    const auto *label = qobject_cast<const QLabel *>(w);
    if (!label || label->autoFillBackground() || label->frameShape() != QFrame::NoFrame)
        return w->geometry();
    const QSizeF need = needed(w, label->text());
    const QSize text(qCeil(need.width()), qCeil(need.height()));
    return QStyle::alignedRect(Qt::LeftToRight, label->alignment(), text, label->contentsRect())
        .translated(w->pos());
}

using Captions = std::vector<std::pair<const char *, const char *>>;

// Every control of the window lies inside its client area and clear of every other control, and
// what it shows fits the room it draws it in; the fixed captions read as given.
void expectLaidOut(const QWidget &form, const Captions &captions)
{
    const QWidgetList controls = form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    EXPECT_GE(controls.size(), 3);
    for (const QWidget *w : controls) {
        const std::string name = w->objectName().toStdString();
        EXPECT_TRUE(form.rect().contains(w->geometry())) << name;
        for (const QWidget *other : controls) {
            EXPECT_TRUE(w == other || !shownArea(w).intersects(shownArea(other)))
                << name << " overlaps " << other->objectName().toStdString();
        }
        if (!textOf(w).isEmpty())
            expectCaptionFits(w, textOf(w));
    }
    for (const auto &[name, caption] : captions) {
        const auto *w = form.findChild<QWidget *>(QLatin1String(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(textOf(w), QString::fromUtf8(caption)) << name;
    }
}

TEST(FormLayout, ControlsInsideApartWithCaptionsThatFit)
{
    withMain([](AlarmForm &form) {
        expectLaidOut(form, {{"Label2", "ｱﾗｰﾑ 時刻"},
                             {"cmdSetAlarm", "ｱﾗｰﾑｾｯﾄ"},
                             {"cmdGoTaskBar", "ﾀｽｸﾊﾞｰへ"},
                             {"cmdClose", "閉じる"},
                             {"lblTime", "23:58:58"}});
    });
    withSetTime([](frmSetTime &dialog) {
        expectLaidOut(
            dialog,
            {{"Label1", "時刻"}, {"cmdOK", "OK"}, {"cmdCancel", "ｷｬﾝｾﾙ"}, {"Label2", "用件"}});
        const auto *combo = dialog.findChild<QComboBox *>("cmbTimeSet");
        ASSERT_NE(combo, nullptr);
        ASSERT_EQ(combo->count(), 48);
        for (int i = 0; i < combo->count(); ++i)
            expectCaptionFits(combo->lineEdit(), combo->itemText(i));
    });
    withTimeUp([](frmTimeUp &window) {
        expectLaidOut(window, {{"lblYouken", "予定時間です。"}, {"cmdOK", "OK"}});
    });
}

// --- Screenshots --------------------------------------------------------------------------

// The window as the window manager framed it, title bar included, taken from the screen.
bool saveFramed(QWidget &window, const QString &path)
{
    if (!QTest::qWaitForWindowExposed(&window, 5000))
        return false;
    // Bounded wait for the window manager to put its frame around the window.
    if (!QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }, 3000))
        ADD_FAILURE() << "the window manager framed no " << window.objectName().toStdString();
    QTest::qWait(300); // let the frame and the contents finish painting
    const QRect frame = window.frameGeometry();
    const QPixmap shot =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return !shot.isNull() && shot.save(path);
}

// Runs under Xvfb and a window manager only (tests/forms/screenshots.sh), which sets the
// folder to save into.
TEST(DialogScreenshots, SavesEachWindow)
{
    const QString folder = qEnvironmentVariable("ALARM_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "ALARM_SCREENSHOT_DIR not set";
    ASSERT_TRUE(QDir().mkpath(folder));

    gAlarmTime = AlarmValue();
    gYouken = QStringLiteral("会議の資料を印刷する");
    FakeClock clock;
    clock.set(10, 10, 0);
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("ｱﾗｰﾑ時計"));
    owner.setGeometry(300, 200, 280, 160);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner, 5000));
    FakeWindows windows;
    FakeSound sound;
    frmSetTime dialog(&owner, clock, windows);
    bool saved = false;
    QTimer::singleShot(0, &dialog, [&] {
        saved = saveFramed(dialog, folder + "/frmSetTime.png");
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(saved) << "frmSetTime.png";

    gYouken.clear();
    QPointer<frmTimeUp> window = new frmTimeUp(windows, sound);
    window->Show();
    EXPECT_TRUE(saveFramed(*window, folder + "/frmTimeUp.png")) << "frmTimeUp.png";
    delete window;
    gYouken.clear();
}

} // namespace
