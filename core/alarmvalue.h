#pragma once

#include "core/timevalue.h"

#include <QString>

#include <optional>
#include <variant>

// The alarm as the program holds it: empty text (no alarm), non-empty text (typed but not
// converted, or rejected), or a time of day.
//
// A time of day compares less than any text. That rule is asymmetric and easy to get wrong,
// so there are no comparison operators: the four comparisons the program needs are named
// below, always with the current time on the left.
class AlarmValue
{
public:
    AlarmValue() = default;
    AlarmValue(TimeValue time) : m_value(time) {}
    explicit AlarmValue(QString text) : m_value(std::move(text)) {}

    // Only empty text is empty; 00:00:00 is a set alarm.
    bool isEmpty() const;
    bool isTime() const { return std::holds_alternative<TimeValue>(m_value); }
    std::optional<TimeValue> time() const;
    // The text held, or an empty string when the value is a time.
    QString text() const;

    friend bool operator==(const AlarmValue &, const AlarmValue &) = default;

private:
    std::variant<QString, TimeValue> m_value;
};

// now >= alarm
bool nowAtOrAfter(TimeValue now, const AlarmValue &alarm);
// now < alarm
bool nowBefore(TimeValue now, const AlarmValue &alarm);
// alarm < now
bool nowAfter(TimeValue now, const AlarmValue &alarm);
// now <= alarm
bool nowAtOrBefore(TimeValue now, const AlarmValue &alarm);
