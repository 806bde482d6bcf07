#include "forms/formkit.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

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

void centreIn(QWidget *window, const QRect &area, const QWidget *standIn)
{
    const auto frameOf = [](const QWidget *w) {
        return w->frameGeometry().size() - w->size();
    };
    QSize frame = frameOf(window);
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (!frame.isNull())
            break;
        if (other != window && other->isVisible() && (!standIn || other == standIn))
            frame = frameOf(other);
    }
    const QRect outer =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size() + frame, area);
    // A top-level window's move places its frame, setGeometry its client area.
    if (frame.isNull())
        window->setGeometry(QRect(outer.topLeft(), window->size()));
    else
        window->move(outer.topLeft());
}

// IPA P Gothic comes first because its line height is close to the Windows dialog font the
// layouts were measured with; Noto Sans CJK JP stands in where it is missing.
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

QIcon programIcon(std::initializer_list<int> sizes)
{
    QIcon icon;
    for (int size : sizes)
        icon.addFile(QStringLiteral(":/icons/alarm-clock-%1.png").arg(size));
    return icon;
}
