#include "dialogfont.h"

#include <QApplication>
#include <QStringList>

QFont dialogFont()
{
    QFont font = QApplication::font();
    const QString platformFamily = font.family();
    font.setFamilies(
        {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"), platformFamily});
    return font;
}
