#include "core/alarmvalue.h"

bool AlarmValue::isEmpty() const
{
    const QString *text = std::get_if<QString>(&m_value);
    return text && text->isEmpty();
}

std::optional<TimeValue> AlarmValue::time() const
{
    if (const TimeValue *time = std::get_if<TimeValue>(&m_value))
        return *time;
    return std::nullopt;
}

QString AlarmValue::text() const
{
    if (const QString *text = std::get_if<QString>(&m_value))
        return *text;
    return QString();
}

// Any text, empty or not, sorts after every time of day: an alarm that is not (yet) a time
// can never be reached, and "now is before it" always holds, which is what re-arms the tick.

bool nowAtOrAfter(TimeValue now, const AlarmValue &alarm)
{
    const std::optional<TimeValue> time = alarm.time();
    return time && now >= *time;
}

bool nowBefore(TimeValue now, const AlarmValue &alarm)
{
    return !nowAtOrAfter(now, alarm);
}

bool nowAfter(TimeValue now, const AlarmValue &alarm)
{
    const std::optional<TimeValue> time = alarm.time();
    return time && now > *time;
}

bool nowAtOrBefore(TimeValue now, const AlarmValue &alarm)
{
    return !nowAfter(now, alarm);
}
