#include "fakeclock.h"
#include "platform/wallclocktimer.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(WallClockTimer, EnablingArmsForJustAfterTheNextSecond)
{
    FakeClock clock;
    clock.set(10, 0, 0, 600);
    WallClockTimer timer(clock, 1000);
    EXPECT_FALSE(timer.isEnabled());
    EXPECT_EQ(timer.remainingTime(), -1);

    timer.setEnabled(true);
    EXPECT_TRUE(timer.isEnabled());
    // Armed for 10:00:01.002; a little of it may already have gone by in real time.
    EXPECT_LE(timer.remainingTime(), 402);
    EXPECT_GE(timer.remainingTime(), 390);
}

TEST(WallClockTimer, ShorterIntervalLocksToItsOwnGrid)
{
    FakeClock clock;
    clock.set(10, 0, 0, 400);
    WallClockTimer timer(clock, 250);
    timer.setEnabled(true);
    EXPECT_LE(timer.remainingTime(), 102);
    EXPECT_GE(timer.remainingTime(), 90);
}

TEST(WallClockTimer, DisablingStopsTheTicks)
{
    FakeClock clock;
    clock.set(10, 0, 0, 999);
    WallClockTimer timer(clock, 1000);
    QSignalSpy ticks(&timer, &WallClockTimer::timeout);
    timer.setEnabled(true);
    timer.setEnabled(false);
    EXPECT_FALSE(timer.isEnabled());
    EXPECT_EQ(timer.remainingTime(), -1);
    EXPECT_EQ(ticks.count(), 0);
}

} // namespace
