#include "core/caption.h"

#include <cstdlib>

QString countdownCaption(QTime now, QTime alarm, const QString &note)
{
    // Both are times of day, so the distance between them is one too, under a day.
    const int ahead = now.secsTo(alarm);
    const int distance = std::abs(ahead);
    QString caption = distance < 60 ? QStringLiteral("%1秒").arg(distance, 2, 10, QLatin1Char('0'))
                                    : QTime(0, 0).addSecs(distance).toString(u"HH:mm");
    caption += ahead >= 0 ? QStringLiteral(" 前") : QStringLiteral(" ｵｰﾊﾞｰ");
    if (!note.isEmpty())
        caption += QStringLiteral(" 【") + note + QStringLiteral("】");
    return caption;
}
