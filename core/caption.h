#pragma once

#include "alarmvalue.h"

#include <QString>

#include <optional>

// The minimised window's caption: a countdown to the alarm or the time it is overdue,
// then the note.
class CountdownCaption
{
public:
    // The new caption, or nullopt to leave the caption as it is (no alarm, or an alarm
    // text that is not a time).
    std::optional<QString> UpdateCaption(TimeValue now, const AlarmValue &alarm,
                                         const QString &youken);
    const QString &strRemain() const { return m_strRemain; }

private:
    QString m_strRemain;
};
