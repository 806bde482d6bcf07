#include "forms/formkit.h"

#include <QApplication>
#include <QIcon>

#include <algorithm>
#include <cmath>

void layOut(QWidget *form, std::span<const Control> table)
{
    for (const auto &[name, twips] : table) {
        const QRect px = twips.toPx();
        if (form->objectName() == QLatin1String(name)) {
            form->setFixedSize(px.size());
            continue;
        }
        auto *control = form->findChild<QWidget *>(QLatin1String(name));
        if (twips.width > 0) {
            control->setGeometry(px);
        } else {
            control->move(px.topLeft());
            control->adjustSize();
        }
    }
}

// IPA P Gothic comes first: its lines are low enough for the captions to fit the controls' heights
// in the layouts' twips, which Noto Sans CJK JP's taller lines only just do where it stands in.
static const QStringList kJapaneseGothic = {QStringLiteral("IPAPGothic"),
                                            QStringLiteral("Noto Sans CJK JP")};

QFont gothicFont(qreal points)
{
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")} +
                     kJapaneseGothic);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QFont dialogFont()
{
    QFont font = QApplication::font();
    font.setFamilies(kJapaneseGothic + QStringList{font.family()});
    return font;
}

void setColours(QWidget *control, const QColor &text, const QColor &background)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

namespace {

// WCAG's relative luminance of an sRGB colour, 0 for black to 1 for white.
double luminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

} // namespace

QColor readableWith(const QColor &fixed, const QColor &colour, const QColor &instead)
{
    const double a = luminance(fixed);
    const double b = luminance(colour);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05) >= 4.5 ? colour : instead;
}

const QIcon &programIcon()
{
    // One icon for the whole run: Qt caches an icon's pictures by the icon, and a new one would
    // leave another set behind each time.
    static const QIcon icon(QStringLiteral(":/icons/alarm-clock-32.png"));
    return icon;
}
