#pragma once

#include "alarmvalue.h"

#include <QString>

// The program's shared state: one alarm, its note and the sound it rings with.
extern AlarmValue gAlarmTime;
extern QString gYouken;
extern QString gSoundFile;

// Run when the main window loads: no alarm, and the sound file next to the program.
// The directory is used as given, so one ending in a separator yields two in a row.
void assignStartUp(const QString &programDirectory);
