#pragma once

#include "core/alarmvalue.h"

#include <QString>

#include <optional>

// The minimised window's caption: a countdown to the alarm or the time it is overdue, then the
// note. Nullopt to leave the caption as it is (no alarm, or a rejected entry).
std::optional<QString> countdownCaption(TimeValue now, const AlarmValue &alarm,
                                        const QString &youken);
