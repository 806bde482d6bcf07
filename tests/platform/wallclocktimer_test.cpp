#include "fakeclock.h"
#include "platform/wallclocktimer.h"

#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Armed by the injected clock, for just after the next boundary of its own interval.
TEST(WallClockTimer, EnablingArmsForJustAfterTheNextBoundary)
{
    const struct
    {
        const char *name;
        int interval;
        int msOfSecond;
        int due; // milliseconds from enabling
    } rows[] = {
        {"Second", 1000, 600, 402},       // 10:00:01.002
        {"QuarterSecond", 250, 400, 102}, // 10:00:00.502
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        clock.set(10, 0, 0, row.msOfSecond);
        WallClockTimer timer(clock, row.interval);
        EXPECT_FALSE(timer.isEnabled());
        EXPECT_EQ(timer.remainingTime(), -1);

        timer.setEnabled(true);
        EXPECT_TRUE(timer.isEnabled());
        // A little of it may already have gone by in real time.
        EXPECT_LE(timer.remainingTime(), row.due);
        EXPECT_GE(timer.remainingTime(), row.due - 12);
    }
}

// The timer wakes 3 ms after it is enabled, with the clock then past the second: enabled, that
// wake is a tick. A timer started after it for longer is woken after it, so by then the tick
// has come or, disabled, never will.
TEST(WallClockTimer, TicksOnlyWhileEnabled)
{
    for (const bool disable : {false, true}) {
        SCOPED_TRACE(disable ? "disabled" : "enabled");
        FakeClock clock;
        clock.set(10, 0, 0, 999);
        WallClockTimer timer(clock, 1000);
        QSignalSpy ticks(&timer, &WallClockTimer::timeout);
        timer.setEnabled(true);
        clock.advance(3);
        if (disable)
            timer.setEnabled(false);
        QTimer later;
        later.setSingleShot(true);
        later.setTimerType(Qt::PreciseTimer);
        QSignalSpy laterFired(&later, &QTimer::timeout);
        later.start(5);

        ASSERT_TRUE(laterFired.wait(5000));
        EXPECT_EQ(ticks.count(), disable ? 0 : 1);
        EXPECT_EQ(timer.isEnabled(), !disable);
        if (disable) {
            EXPECT_EQ(timer.remainingTime(), -1);
        }
    }
}

// A tick asked for soon comes then, off the grid, and the next is on the grid again; disabled,
// the timer takes no such request.
TEST(WallClockTimer, TickSoonTicksOnceThenKeepsToTheGrid)
{
    FakeClock clock;
    clock.set(10, 0, 0, 200);
    WallClockTimer timer(clock, 1000);
    QSignalSpy ticks(&timer, &WallClockTimer::timeout);
    timer.tickSoon();
    EXPECT_FALSE(timer.isEnabled());

    timer.setEnabled(true);
    timer.tickSoon();
    EXPECT_LE(timer.remainingTime(), WallClockTimer::kSoonMsecs);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_EQ(ticks.count(), 1);
    EXPECT_GE(timer.remainingTime(), 700) << "armed for 10:00:01.002 again";
}

} // namespace
