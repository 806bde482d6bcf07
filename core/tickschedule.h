#pragma once

#include <QtGlobal>

// Where the next tick of a wall-clock-locked timer goes, and whether a wake-up may tick at all.
// Times are milliseconds since local midnight; a due time may lie past midnight.
namespace TickSchedule {

// a - b on the 24-hour circle, in [-12 h, 12 h): negative when a comes before b, also across
// midnight.
qint64 msecsBetween(qint64 a, qint64 b);

// Milliseconds from now to the first instant after it that lies margin ms past a multiple of
// interval counted from midnight. Midnight always counts as such a multiple, so ticks stay on
// the wall clock's grid across the day's wrap even when interval does not divide the day.
qint64 msecsToNextTick(qint64 now, int interval, int margin);

// A wake-up at now for the tick due at due. Less than one interval early, the timer woke before
// its boundary (or the clock stepped back a little), and a tick would read the previous second:
// it waits. Anything else ticks: on time, late, or after a clock step, and the next re-locks.
bool shouldTick(qint64 now, qint64 due, int interval);

} // namespace TickSchedule
