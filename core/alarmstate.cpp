#include "core/alarmstate.h"

#include <QDir>

AlarmValue gAlarmTime;
QString gYouken;
QString gSoundFile;

void assignStartUp(const QString &programDirectory)
{
    gAlarmTime = AlarmValue(QString());
    gSoundFile = programDirectory + QDir::separator() + QStringLiteral("MSREMIND.WAV");
}
