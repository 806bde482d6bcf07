#include "core/caption.h"

#include "core/timetext.h"

std::optional<QString> countdownCaption(TimeValue now, const AlarmValue &alarm,
                                        const QString &youken)
{
    if (alarm.isEmpty())
        return std::nullopt;

    // Text in the alarm is either an entry that was rejected, which has no distance to show,
    // or the alarm label's text while the set-time dialog is open, which stands for the same
    // time as before and is counted down like it.
    std::optional<TimeValue> alarmTime = alarm.time();
    if (!alarmTime)
        alarmTime = convert(alarm.text());
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
