#include "core/caption.h"

#include "core/timetext.h"

std::optional<QString> countdownCaption(TimeValue now, const AlarmValue &alarm,
                                        const QString &youken)
{
    // No alarm, or an entry that was rejected: there is no distance to show.
    const std::optional<TimeValue> alarmTime = alarm.time();
    if (!alarmTime)
        return std::nullopt;

    static const TimeValue oneMinute = *convert(u"00:01");
    const TimeValue remain = distance(now, *alarmTime);
    // The distance left or overdue, then which of the two.
    QString caption = remain < oneMinute ? format(remain, TimeFormat::Ss) + QStringLiteral("秒")
                                         : format(remain, TimeFormat::ShortTime);
    caption += nowAtOrBefore(now, *alarmTime) ? QStringLiteral(" 前") : QStringLiteral(" ｵｰﾊﾞｰ");
    if (!youken.isEmpty())
        caption += QStringLiteral(" 【") + youken + QStringLiteral("】");
    return caption;
}
