#include "clock.h"

#include <QTime>

qint64 SystemClock::msecsSinceMidnight() const
{
    return QTime::currentTime().msecsSinceStartOfDay();
}
