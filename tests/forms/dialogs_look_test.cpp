// How the windows come out on screen: controls laid out apart with captions that fit, Japanese
// glyphs, and screenshots (under a real X server only).
#include "forms/alarmwindow.h"
#include "forms/formkit.h"
#include "forms/settimedialog.h"
#include "forms/timeupwindow.h"
#include "formtest.h"
#include "platform/wallclocktimer.h"

#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>
#include <QtMath>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

class Look : public FormTest
{
protected:
    // Runs see on a freshly loaded set-time dialog over a plain owner window, then cancels it.
    void withSetTime(const std::function<void(SetTimeDialog &)> &see)
    {
        clock.set(10, 10, 0);
        QWidget owner;
        owner.setGeometry(200, 200, 420, 170);
        owner.show();
        SetTimeDialog dialog(&owner, clock, windows, std::nullopt, QString());
        whenModal<SetTimeDialog>([&](SetTimeDialog *shown) {
            see(*shown);
            shown->reject();
        });
        dialog.exec();
    }

    // Runs see on a loaded time-up window showing the standard message.
    void withTimeUp(const std::function<void(TimeUpWindow &)> &see)
    {
        QPointer<TimeUpWindow> window = new TimeUpWindow(clock, windows, sound, QString());
        window->ring(QString());
        see(*window);
        delete window;
    }

    // Runs see on the main window once its clock shows the time.
    void withMain(const std::function<void(AlarmWindow &)> &see)
    {
        clock.set(23, 58, 58);
        AlarmWindow form(clock, windows, sound, QString());
        form.show();
        emit child<WallClockTimer>(&form, "Timer1")->timeout();
        see(form);
    }
};

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

TEST_F(Look, JapaneseTextHasRealGlyphs)
{
    withMain([](AlarmWindow &form) {
        for (const char *name : {"lblTime", "Label2", "cmdClose"}) {
            const auto *w = child<QWidget>(&form, name);
            expectJapaneseGlyphs(w, textOf(w));
        }
    });
    withSetTime([](SetTimeDialog &dialog) {
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
    withTimeUp([](TimeUpWindow &window) {
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

// One control as the user sees it: its caption, and its colours where the window fixes them.
struct ControlLook
{
    const char *name;
    const char *caption = nullptr;
    std::optional<QColor> text = {};
    std::optional<QColor> background = {};
    bool bordered = false;
};

// One window as the user sees it: its title, the buttons of its title bar, its fixed size, its
// controls.
struct WindowLook
{
    const char *title;
    Qt::WindowType type;
    bool minimiseButton;
    QSize size;
    std::vector<ControlLook> controls;
};

// The colour in area farthest from background: the darkest or brightest of a text's strokes.
QColor strokeColour(const QImage &shot, const QRect &area, const QColor &background)
{
    const auto distance = [](const QColor &a, const QColor &b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue());
    };
    QColor farthest = background;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (distance(c, background) > distance(farthest, background))
                farthest = c;
        }
    }
    return farthest;
}

// The window looks as given; every control lies inside its client area and clear of every
// other one, and what it shows fits the room it draws it in.
void expectLooks(QWidget &form, const WindowLook &look)
{
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8(look.title));
    EXPECT_EQ(form.windowType(), look.type);
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(bool(flags & Qt::WindowMinimizeButtonHint), look.minimiseButton);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(form.size(), look.size);
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed size";

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

    const QImage shot = form.grab().toImage();
    for (const ControlLook &control : look.controls) {
        SCOPED_TRACE(control.name);
        const auto *w = child<QWidget>(&form, control.name);
        ASSERT_NE(w, nullptr);
        if (control.caption) {
            EXPECT_EQ(textOf(w), QString::fromUtf8(control.caption));
        }
        const auto *frame = qobject_cast<const QFrame *>(w);
        EXPECT_EQ(frame && frame->frameShape() != QFrame::NoFrame, control.bordered);
        // The inside of the control in the picture's pixels, which the scale may make more.
        const qreal scale = shot.devicePixelRatio();
        const QRect inside(w->contentsRect().translated(w->pos()).topLeft() * scale,
                           w->contentsRect().size() * scale - QSize(1, 1));
        const QColor background = control.background.value_or(shot.pixelColor(inside.topLeft()));
        if (control.background) {
            EXPECT_EQ(shot.pixelColor(inside.bottomRight()), background);
        }
        if (control.text) {
            EXPECT_EQ(w->palette().color(QPalette::WindowText), *control.text);
            // Drawn in that colour: antialiasing blends the thin strokes with the background,
            // so the stroke farthest from it need only be nearer the text's colour.
            if (!textOf(w).isEmpty()) {
                const QColor stroke = strokeColour(shot, inside, background);
                EXPECT_LT(std::abs(stroke.lightness() - control.text->lightness()),
                          std::abs(stroke.lightness() - background.lightness()))
                    << stroke.name().toStdString();
            }
        }
    }
}

const QColor kSilver(192, 192, 192);

TEST_F(Look, EachWindowAsTheUserSeesIt)
{
    withMain([](AlarmWindow &form) {
        expectLooks(form, {"ｱﾗｰﾑ時計",
                           Qt::Window,
                           true,
                           {236, 119},
                           {{"lblTime", "23:58:58", QColor(255, 255, 0), QColor(Qt::black), true},
                            {"lblYouken", "", QColor(64, 64, 64), kSilver, true},
                            {"lblAlarm", "", std::nullopt, kSilver, true},
                            {"Label2", "ｱﾗｰﾑ 時刻"},
                            {"cmdSetAlarm", "ｱﾗｰﾑｾｯﾄ"},
                            {"cmdGoTaskBar", "ﾀｽｸﾊﾞｰへ"},
                            {"cmdClose", "閉じる"}}});
        // The program's icon, every window's: one 32-pixel image.
        EXPECT_EQ(programIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
        EXPECT_TRUE(form.font().bold());
        EXPECT_DOUBLE_EQ(form.font().pointSizeF(), 9.0);
        const QFont clock = child<QLabel>(&form, "lblTime")->font();
        EXPECT_TRUE(clock.bold());
        EXPECT_DOUBLE_EQ(clock.pointSizeF(), 14.25);
    });
    withSetTime([](SetTimeDialog &dialog) {
        expectLooks(
            dialog,
            {"ｱﾗｰﾑ時刻設定",
             Qt::Tool,
             false,
             {214, 104},
             {{"Label1", "時刻"}, {"cmdOK", "OK"}, {"cmdCancel", "ｷｬﾝｾﾙ"}, {"Label2", "用件"}}});
        const auto *combo = child<QComboBox>(&dialog, "cmbTimeSet");
        ASSERT_EQ(combo->count(), 48);
        for (int i = 0; i < combo->count(); ++i)
            expectCaptionFits(combo->lineEdit(), combo->itemText(i));
    });
    withTimeUp([](TimeUpWindow &window) {
        expectLooks(window,
                    {"Time UP",
                     Qt::Tool,
                     false,
                     {199, 78},
                     {{"lblYouken", "予定時間です。", QColor(64, 0, 0), QColor(255, 255, 192)},
                      {"cmdOK", "OK"}}});
        EXPECT_EQ(window.parentWidget(), nullptr);
        EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
        const QImage shot = window.grab().toImage();
        EXPECT_EQ(shot.pixelColor(2, shot.height() - 3), QColor(255, 255, 192));
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
TEST_F(Look, ScreenshotOfEachDialog)
{
    const QString folder = qEnvironmentVariable("ALARM_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "ALARM_SCREENSHOT_DIR not set";
    ASSERT_TRUE(QDir().mkpath(folder));

    clock.set(10, 10, 0);
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("ｱﾗｰﾑ時計"));
    owner.setGeometry(300, 200, 280, 160);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner, 5000));
    SetTimeDialog dialog(&owner, clock, windows, std::nullopt, QStringLiteral("会議の資料を印刷する"));
    bool saved = false;
    whenModal<SetTimeDialog>([&](SetTimeDialog *shown) {
        saved = saveFramed(*shown, folder + "/set-time-dialog.png");
        shown->reject();
    });
    dialog.exec();
    EXPECT_TRUE(saved) << "set-time-dialog.png";

    QPointer<TimeUpWindow> window = new TimeUpWindow(clock, windows, sound, QString());
    window->ring(QString());
    EXPECT_TRUE(saveFramed(*window, folder + "/time-up-window.png")) << "time-up-window.png";
    delete window;
}

} // namespace
