#pragma once

#include <QString>
#include <QStringView>
#include <QTime>

#include <optional>

// The time of day a text stands for, to the second, in the forms the program accepts (see
// timeofday.cpp); nullopt for anything else.
std::optional<QTime> parseTimeOfDay(QStringView text);

// The alarm as it is shown and proposed: HH:mm, or HH:mm:ss when it has seconds, so that the
// alarm that rings is the one shown.
QString alarmText(QTime alarm);

// The next half-hour boundary strictly after now.
QTime nextHalfHour(QTime now);
