#pragma once

#include "core/alarmvalue.h"

#include <QString>

// The alarm's shared state, which the windows read and write: one alarm, its note and the sound
// it rings with.
extern AlarmValue gAlarmTime;
extern QString gYouken;
extern QString gSoundFile;

// Run when the main window loads: no alarm, and the sound file next to the program.
// The directory is used as given, so one ending in a separator yields two in a row.
void assignStartUp(const QString &programDirectory);
