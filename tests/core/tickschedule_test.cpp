#include "tickschedule.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kDay = 86'400'000;

qint64 at(int h, int m, int s, int ms = 0)
{
    return ((h * 60LL + m) * 60 + s) * 1000 + ms;
}

struct NextTickRow
{
    const char *name;
    qint64 now;
    int interval;
    int margin;
    qint64 expected;
};

class NextTick : public testing::TestWithParam<NextTickRow>
{};

TEST_P(NextTick, LandsJustAfterTheNextBoundary)
{
    const NextTickRow &row = GetParam();
    EXPECT_EQ(TickSchedule::msecsToNextTick(row.now, row.interval, row.margin), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TickSchedule, NextTick,
    testing::Values(NextTickRow{"JustAfterSecond", at(10, 0, 0, 1), 1000, 2, 1},
                    NextTickRow{"OnTheTickItself", at(10, 0, 0, 2), 1000, 2, 1000},
                    NextTickRow{"JustAfterTick", at(10, 0, 0, 3), 1000, 2, 999},
                    NextTickRow{"FreeRunningPhase", at(10, 0, 0, 224), 1000, 2, 778},
                    NextTickRow{"LastMillisecond", at(10, 0, 0, 999), 1000, 2, 3},
                    NextTickRow{"BeforeMidnight", at(23, 59, 59, 999), 1000, 2, 3},
                    NextTickRow{"JustAfterMidnight", at(0, 0, 0, 1), 1000, 2, 1},
                    NextTickRow{"MidnightTick", at(0, 0, 0, 2), 1000, 2, 1000},
                    NextTickRow{"NoMargin", at(10, 0, 1), 1000, 0, 1000},
                    NextTickRow{"QuarterSeconds", at(10, 0, 0, 600), 250, 2, 152},
                    // 7 s does not divide the day: the last tick before midnight is cut short so
                    // that the grid starts again at midnight.
                    NextTickRow{"IntervalNotDividingDay", at(23, 59, 59), 7000, 2, 1002},
                    NextTickRow{"ZeroIntervalStillWaits", at(10, 0, 0, 5), 0, 2, 1}),
    [](const testing::TestParamInfo<NextTickRow> &info) { return info.param.name; });

struct WakeRow
{
    const char *name;
    qint64 now;
    qint64 due;
    bool ticks;
};

class Wake : public testing::TestWithParam<WakeRow>
{};

TEST_P(Wake, TicksOnlyOnceTheBoundaryHasPassed)
{
    const WakeRow &row = GetParam();
    EXPECT_EQ(TickSchedule::shouldTick(row.now, row.due, 1000), row.ticks);
}

INSTANTIATE_TEST_SUITE_P(
    TickSchedule, Wake,
    testing::Values(WakeRow{"OnTime", at(10, 0, 1, 2), at(10, 0, 1, 2), true},
                    WakeRow{"Late", at(10, 0, 1, 40), at(10, 0, 1, 2), true},
                    // Woken 1 ms before the second begins: the tick would show 10:00:00 again.
                    WakeRow{"OneMillisecondEarly", at(10, 0, 0, 999), at(10, 0, 1, 2), false},
                    WakeRow{"EarlyWithinTheMargin", at(10, 0, 1, 1), at(10, 0, 1, 2), false},
                    WakeRow{"ClockSteppedBackALittle", at(10, 0, 0, 900), at(10, 0, 1, 2), false},
                    // Larger steps tick at once; the tick reads the new time and re-locks.
                    WakeRow{"ClockSteppedBack", at(9, 59, 55), at(10, 0, 1, 2), true},
                    WakeRow{"ClockSteppedForward", at(11, 0, 0, 100), at(10, 0, 1, 2), true},
                    WakeRow{"ResumedNextDay", at(7, 0, 0), at(23, 0, 0, 2), true},
                    WakeRow{"OnTimeAfterMidnight", at(0, 0, 0, 2), kDay + 2, true},
                    WakeRow{"EarlyBeforeMidnight", at(23, 59, 59, 999), kDay + 2, false},
                    WakeRow{"LateAfterMidnight", at(0, 0, 0, 30), at(23, 59, 59, 2), true}),
    [](const testing::TestParamInfo<WakeRow> &info) { return info.param.name; });

} // namespace
