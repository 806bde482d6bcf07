#pragma once

#include "core/timevalue.h"

#include <QString>
#include <QStringView>

#include <optional>

// The time a text stands for (see timetext.cpp for the forms the program accepts); nullopt for
// anything else.
std::optional<TimeValue> convert(QStringView text);

enum class TimeFormat {
    ShortTime, // "Short Time", also "hh:mm": HH:mm, seconds dropped
    Ss,        // "ss": two-digit seconds
    Alarm,     // the alarm as it is shown and proposed: HH:mm, HH:mm:ss when it has seconds
};
QString format(TimeValue time, TimeFormat fmt);

enum class NumberFormat {
    TwoDigitsColon, // "00:": 7 -> "07:"
    TwoDigits,      // "00": 0 -> "00", 30 -> "30"
};
QString format(int number, NumberFormat fmt);

// The default conversion of a time to text, as the clock label shows it: HH:mm:ss.
QString toText(TimeValue time);

// The absolute difference between two times of day, as a time of day.
TimeValue distance(TimeValue a, TimeValue b);
