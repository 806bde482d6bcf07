#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>

#include <span>
#include <utility>

// 15 twips make one device-independent pixel at 96 dpi; every conversion rounds to the nearest.
constexpr int twipsToPx(int twips)
{
    return (twips + 7) / 15;
}

struct TwipsRect
{
    int left, top, width, height;
    constexpr QRect toPx() const
    {
        return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
    }
};

// One row of a form's table: the form's fixed client area, or a control's place by its object
// name; a control with no width sizes itself to its text.
struct Control
{
    const char *name;
    TwipsRect twips;
};
void layOut(QWidget *form, std::span<const Control> table);

// A control of form, named as its form's table names it.
template <typename W, typename... Args>
W *makeControl(QWidget *form, const char *name, Args &&...args)
{
    auto *control = new W(std::forward<Args>(args)..., form);
    control->setObjectName(QLatin1String(name));
    return control;
}

// A Japanese Gothic, or fontconfig may pick a Chinese face: the main window's is ＭＳ Ｐゴシック
// where installed, in bold; the dialogs' is the platform's dialog font in a Japanese family.
QFont gothicFont(qreal points);
QFont dialogFont();

// Text and background colours of a control that fills its background (a label).
void setColours(QWidget *control, const QColor &text, const QColor &background);

// colour when a text in the one reads on the other, fixed (WCAG AA: at least 4.5:1), instead
// otherwise: a colour of the user's scheme meeting one of the program's.
QColor readableWith(const QColor &fixed, const QColor &colour, const QColor &instead);

// The program's icon, every window's: a 32-pixel image, which panels scale as they need.
const QIcon &programIcon();
