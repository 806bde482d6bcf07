#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>

#include <initializer_list>
#include <span>
#include <utility>

// What the three windows share: layouts in twips, centring, the Japanese font, label colours
// and the program's icon.

// Layouts are measured in twips; 15 twips make one device-independent pixel at 96 dpi.
// One rounding rule for every conversion: to the nearest pixel.
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

// One row of a form's table: the form itself with its fixed client area, or one of its controls
// by its object name with its place. A control with no width sizes itself to its text; only its
// position is fixed.
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

// A Japanese Gothic: left to fontconfig, kana and kanji may come out in a Chinese face or as
// empty boxes. The main window's is ＭＳ Ｐゴシック where it is installed, in bold; the dialogs'
// is the platform's dialog font (its size and style), in the platform's family only where no
// Japanese Gothic is installed.
QFont gothicFont(qreal points);
QFont dialogFont();

// Text and background colours of a control that fills its background (a label).
void setColours(QWidget *control, const QColor &text, const QColor &background);

// colour when it stands far enough from fixed for a text in the one to read on the other (WCAG
// AA: a contrast of at least 4.5:1), instead otherwise. For a colour of the user's scheme that
// meets one of the program's own.
QColor readableWith(const QColor &fixed, const QColor &colour, const QColor &instead);

// The program's icon in the given sizes, from its resources.
QIcon programIcon(std::initializer_list<int> sizes);
