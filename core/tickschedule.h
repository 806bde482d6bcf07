#pragma once

#include <QtGlobal>

// Where the next tick of a wall-clock-locked timer goes, and whether a wake-up may tick at all.
// Times are milliseconds since local midnight; a due time may lie past midnight (up to a day
// plus an interval) when the next tick falls on the other side of it.
namespace TickSchedule {

// Milliseconds from now to the first instant after it that lies margin ms past a multiple of
// interval counted from midnight. Midnight always counts as such a multiple, so ticks stay on
// the wall clock's grid across the day's wrap even when interval does not divide the day.
qint64 msecsToNextTick(qint64 now, int interval, int margin);

// A wake-up at now for the tick that was due at due. Less than one interval early means the
// timer woke before its boundary (or the clock stepped back a little): it must not tick, or
// the tick would still read the previous second; it waits for the boundary instead. Anything
// else ticks: on time, late, or after a clock step, from which the next tick re-locks.
bool shouldTick(qint64 now, qint64 due, int interval);

} // namespace TickSchedule
