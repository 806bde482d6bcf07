#pragma once

#include "timevalue.h"

#include <QString>
#include <QStringView>

#include <optional>

// Whether a text is a time of day the program accepts (see timetext.cpp for the forms).
bool recognise(QStringView text);
// The time a recognised text stands for; nullopt for anything else.
std::optional<TimeValue> convert(QStringView text);

enum class TimeFormat {
    ShortTime, // "Short Time": HH:mm, seconds dropped
    HhMm,      // "hh:mm": HH:mm
    Ss,        // "ss": two-digit seconds
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
