#include "core/tickschedule.h"

#include <algorithm>

namespace {
constexpr qint64 kDay = 86'400'000;
}

namespace TickSchedule {

qint64 msecsBetween(qint64 a, qint64 b)
{
    qint64 d = (a - b) % kDay;
    if (d < -kDay / 2)
        d += kDay;
    else if (d >= kDay / 2)
        d -= kDay;
    return d;
}

qint64 msecsToNextTick(qint64 now, int interval, int margin)
{
    const qint64 step = std::max(interval, 1);
    // The grid restarts at every midnight, so count from the midnight at or before now - margin.
    const qint64 shifted = now - margin;
    const qint64 day = shifted < 0 ? -kDay : 0;
    const qint64 sinceMidnight = shifted - day;
    qint64 next = day + (sinceMidnight / step + 1) * step;
    if (next > day + kDay)
        next = day + kDay;
    return next + margin - now;
}

bool shouldTick(qint64 now, qint64 due, int interval)
{
    const qint64 late = msecsBetween(now, due);
    return late >= 0 || late <= -std::max(interval, 1);
}

} // namespace TickSchedule
