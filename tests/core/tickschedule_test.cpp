#include "core/tickschedule.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kDay = 86'400'000;

qint64 at(int h, int m, int s, int ms = 0)
{
    return ((h * 60LL + m) * 60 + s) * 1000 + ms;
}

TEST(TickSchedule, NextTickLandsJustAfterTheNextBoundary)
{
    const struct
    {
        const char *name;
        qint64 now;
        int interval, margin;
        qint64 expected;
    } rows[] = {
        {"JustAfterSecond", at(10, 0, 0, 1), 1000, 2, 1},
        {"OnTheTickItself", at(10, 0, 0, 2), 1000, 2, 1000},
        {"JustAfterTick", at(10, 0, 0, 3), 1000, 2, 999},
        {"FreeRunningPhase", at(10, 0, 0, 224), 1000, 2, 778},
        {"LastMillisecond", at(10, 0, 0, 999), 1000, 2, 3},
        {"BeforeMidnight", at(23, 59, 59, 999), 1000, 2, 3},
        {"JustAfterMidnight", at(0, 0, 0, 1), 1000, 2, 1},
        {"MidnightTick", at(0, 0, 0, 2), 1000, 2, 1000},
        {"NoMargin", at(10, 0, 1), 1000, 0, 1000},
        {"QuarterSeconds", at(10, 0, 0, 600), 250, 2, 152},
        // 7 s does not divide the day: the last tick before midnight is cut short so that the
        // grid starts again at midnight.
        {"IntervalNotDividingDay", at(23, 59, 59), 7000, 2, 1002},
        {"ZeroIntervalStillWaits", at(10, 0, 0, 5), 0, 2, 1},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(TickSchedule::msecsToNextTick(row.now, row.interval, row.margin), row.expected)
            << row.name;
    }
}

TEST(TickSchedule, WakeTicksOnlyOnceTheBoundaryHasPassed)
{
    const struct
    {
        const char *name;
        qint64 now, due;
        bool ticks;
    } rows[] = {
        {"OnTime", at(10, 0, 1, 2), at(10, 0, 1, 2), true},
        {"Late", at(10, 0, 1, 40), at(10, 0, 1, 2), true},
        // Woken 1 ms before the second begins: the tick would show 10:00:00 again.
        {"OneMillisecondEarly", at(10, 0, 0, 999), at(10, 0, 1, 2), false},
        {"EarlyWithinTheMargin", at(10, 0, 1, 1), at(10, 0, 1, 2), false},
        {"ClockSteppedBackALittle", at(10, 0, 0, 900), at(10, 0, 1, 2), false},
        // Larger steps tick at once; the tick reads the new time and re-locks.
        {"ClockSteppedBack", at(9, 59, 55), at(10, 0, 1, 2), true},
        {"ClockSteppedForward", at(11, 0, 0, 100), at(10, 0, 1, 2), true},
        {"ResumedNextDay", at(7, 0, 0), at(23, 0, 0, 2), true},
        {"OnTimeAfterMidnight", at(0, 0, 0, 2), kDay + 2, true},
        {"EarlyBeforeMidnight", at(23, 59, 59, 999), kDay + 2, false},
        {"LateAfterMidnight", at(0, 0, 0, 30), at(23, 59, 59, 2), true},
    };
    for (const auto &row : rows)
        EXPECT_EQ(TickSchedule::shouldTick(row.now, row.due, 1000), row.ticks) << row.name;
}

} // namespace
