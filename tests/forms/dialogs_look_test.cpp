// How the two dialogs' texts come out on screen: Japanese glyphs, captions that fit, and
// screenshots (under a real X server only).
#include "fakeclock.h"
#include "fakeservices.h"
#include "frmsettime.h"
#include "frmtimeup.h"
#include "module1.h"

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

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs see on a freshly loaded set-time dialog over a plain owner window, then cancels it.
void withSetTime(const std::function<void(frmSetTime &)> &see)
{
    FakeClock clock;
    clock.set(10, 10, 0);
    QWidget owner;
    owner.setGeometry(200, 200, 420, 170);
    owner.show();
    frmSetTime dialog(&owner, clock);
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
    FakeServices services;
    QPointer<frmTimeUp> window = new frmTimeUp(services);
    window->Show();
    see(*window);
    delete window;
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

TEST(DialogCaptions, EveryCaptionFitsItsControl)
{
    withSetTime([](frmSetTime &dialog) {
        for (const char *name : {"Label1", "Label2", "cmdOK", "cmdCancel"}) {
            const auto *w = dialog.findChild<QWidget *>(QLatin1String(name));
            ASSERT_NE(w, nullptr) << name;
            expectCaptionFits(w, textOf(w));
        }
        const auto *combo = dialog.findChild<QComboBox *>("cmbTimeSet");
        ASSERT_NE(combo, nullptr);
        ASSERT_EQ(combo->count(), 48);
        for (int i = 0; i < combo->count(); ++i)
            expectCaptionFits(combo->lineEdit(), combo->itemText(i));
    });
    withTimeUp([](frmTimeUp &window) {
        for (const char *name : {"lblYouken", "cmdOK"}) {
            const auto *w = window.findChild<QWidget *>(QLatin1String(name));
            ASSERT_NE(w, nullptr) << name;
            expectCaptionFits(w, textOf(w));
        }
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
    frmSetTime dialog(&owner, clock);
    bool saved = false;
    QTimer::singleShot(0, &dialog, [&] {
        saved = saveFramed(dialog, folder + "/frmSetTime.png");
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(saved) << "frmSetTime.png";

    FakeServices services;
    gYouken.clear();
    QPointer<frmTimeUp> window = new frmTimeUp(services);
    window->Show();
    EXPECT_TRUE(saveFramed(*window, folder + "/frmTimeUp.png")) << "frmTimeUp.png";
    delete window;
    gYouken.clear();
}

} // namespace
