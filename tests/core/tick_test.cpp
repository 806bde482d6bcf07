#include "core/tick.h"

#include "core/timetext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kDayMs = 86'400'000;
// Ticks land just after each second, as the main window's timer's do.
constexpr qint64 kPhaseMs = 2;

constexpr qint64 at(int day, int h, int m, int s, int ms = 0)
{
    return day * kDayMs + ((h * 60LL + m) * 60 + s) * 1000 + ms;
}

TimeValue hms(int h, int m, int s = 0)
{
    return *TimeValue::fromHms(h, m, s);
}

// The main window as the tick sees it: the clock label, the minimised state, gAlarmTime, and
// a record of everything the tick asked for. Time runs on from day 0 in one-second steps.
class Window
{
public:
    ClockTick tick;
    QString lblTime;
    bool minimised = false;
    AlarmValue gAlarmTime;
    qint64 ms = kPhaseMs;

    std::vector<qint64> rings, bodies, attention, attentionEnds;
    qint64 clockUpdates = 0;

    void step()
    {
        const TimeValue now = TimeValue::ofDay(ms / 1000);
        const TickActions actions = tick.decide(now, lblTime, minimised, gAlarmTime);
        if (actions.ring)
            rings.push_back(ms);
        if (actions.clockText || actions.refreshCaption)
            bodies.push_back(ms);
        if (actions.clockText) {
            ASSERT_FALSE(minimised);
            lblTime = *actions.clockText;
            ++clockUpdates;
        }
        if (actions.refreshCaption) {
            ASSERT_TRUE(minimised);
        }
        if (actions.demandAttention) {
            ASSERT_TRUE(actions.refreshCaption);
            attention.push_back(ms);
        }
        if (actions.endAttention)
            attentionEnds.push_back(ms);
        ms += 1000;
    }

    void runUntil(qint64 end)
    {
        while (ms < end && !testing::Test::HasFatalFailure())
            step();
    }

    // Minimising or restoring happens between two ticks; the label keeps its text.
    void minimise() { minimised = true; }
    void restore() { minimised = false; }
};

long countIn(const std::vector<qint64> &events, qint64 from, qint64 to)
{
    return std::count_if(events.begin(), events.end(),
                         [&](qint64 t) { return t >= from && t < to; });
}

long countInSecond(const std::vector<qint64> &events, qint64 second)
{
    return countIn(events, second, second + 1000);
}

TEST(Tick, RingsSevenTimesInAWeek)
{
    Window w;
    w.gAlarmTime = hms(7, 30);
    w.runUntil(at(7, 0, 0, 0));

    std::vector<qint64> expected;
    for (int day = 0; day < 7; ++day)
        expected.push_back(at(day, 7, 30, 0, kPhaseMs));
    EXPECT_EQ(w.rings, expected);
    // The body runs once per displayed second in the normal state.
    EXPECT_EQ(w.clockUpdates, 7 * 86400);
    EXPECT_TRUE(w.attention.empty());
}

// The local clock does not always run on evenly: it is set by hand or by the network, jumps at
// the daylight-saving changes, and stands still while the machine sleeps. The tick only ever
// sees the time of day it reads, so each of these is a jump of that reading between two ticks.
struct ClockJump
{
    qint64 when; // the local time at which the clock is set...
    qint64 to;   // ...to this one
};

struct JumpRow
{
    const char *name;
    TimeValue alarm;
    qint64 start;
    std::vector<ClockJump> jumps;
    qint64 end;
    std::vector<qint64> rings;
};

void PrintTo(const JumpRow &row, std::ostream *os)
{
    *os << row.name;
}

class TickAcrossClockJumps : public ::testing::TestWithParam<JumpRow>
{};

TEST_P(TickAcrossClockJumps, RingsAsTheReadTimeSays)
{
    const JumpRow &row = GetParam();
    Window w;
    w.gAlarmTime = row.alarm;
    w.ms = row.start;
    for (const ClockJump &jump : row.jumps) {
        w.runUntil(jump.when);
        w.ms = jump.to;
        // The first tick after the jump shows the time it reads, whatever came before.
        w.step();
        EXPECT_EQ(w.lblTime, toText(TimeValue::ofDay(jump.to / 1000)));
    }
    w.runUntil(row.end);

    EXPECT_EQ(w.rings, row.rings);
}

// Times are the clock's readings, so a ring after a jump back repeats a reading seen before.
// In the daylight-saving rows the clock is at a European transition: in spring 01:59:59 is
// followed by 03:00:00, in autumn 02:59:59 by 02:00:00.
INSTANTIATE_TEST_SUITE_P(
    Tick, TickAcrossClockJumps,
    ::testing::Values(JumpRow{"ForwardAcrossTheAlarmRingsAtTheNextTick",
                              hms(10, 30),
                              at(0, 10, 20, 0, kPhaseMs),
                              {{at(0, 10, 25, 0, kPhaseMs), at(0, 10, 40, 0, kPhaseMs)}},
                              at(0, 23, 0, 0),
                              {at(0, 10, 40, 0, kPhaseMs)}},
                      JumpRow{"ForwardFromAfterTheRingDoesNotRingAgain",
                              hms(10, 30),
                              at(0, 10, 29, 0, kPhaseMs),
                              {{at(0, 10, 31, 0, kPhaseMs), at(0, 22, 0, 0, kPhaseMs)}},
                              at(0, 23, 59, 59),
                              {at(0, 10, 30, 0, kPhaseMs)}},
                      JumpRow{"BackAcrossTheAlarmArmsItAgain",
                              hms(10, 30),
                              at(0, 10, 29, 0, kPhaseMs),
                              {{at(0, 10, 40, 0, kPhaseMs), at(0, 10, 20, 0, kPhaseMs)}},
                              at(0, 12, 0, 0),
                              {at(0, 10, 30, 0, kPhaseMs), at(0, 10, 30, 0, kPhaseMs)}},
                      JumpRow{"BackWithinTheRungTimeKeepsItRung",
                              hms(10, 30),
                              at(0, 10, 29, 0, kPhaseMs),
                              {{at(0, 10, 40, 0, kPhaseMs), at(0, 10, 30, 0, kPhaseMs)}},
                              at(0, 12, 0, 0),
                              {at(0, 10, 30, 0, kPhaseMs)}},
                      JumpRow{"ForwardAcrossMidnightArmsItForTheNextDay",
                              hms(10, 30),
                              at(0, 10, 29, 0, kPhaseMs),
                              {{at(0, 10, 31, 0, kPhaseMs), at(1, 6, 0, 0, kPhaseMs)}},
                              at(1, 23, 0, 0),
                              {at(0, 10, 30, 0, kPhaseMs), at(1, 10, 30, 0, kPhaseMs)}},
                      JumpRow{"SuspendedAcrossTheAlarmRingsAtTheFirstTickAfter",
                              hms(10, 30),
                              at(0, 10, 29, 50, kPhaseMs),
                              {{at(0, 10, 29, 55, kPhaseMs), at(0, 10, 30, 25, kPhaseMs)}},
                              at(0, 11, 0, 0),
                              {at(0, 10, 30, 25, kPhaseMs)}},
                      JumpRow{"SpringGapContainingTheAlarmRingsRightAfterIt",
                              hms(2, 30),
                              at(0, 1, 0, 0, kPhaseMs),
                              {{at(0, 2, 0, 0, kPhaseMs), at(0, 3, 0, 0, kPhaseMs)}},
                              at(1, 3, 0, 0),
                              {at(0, 3, 0, 0, kPhaseMs), at(1, 2, 30, 0, kPhaseMs)}},
                      JumpRow{"AutumnRepeatRingsInEachPassOfTheAlarmTime",
                              hms(2, 30),
                              at(0, 1, 0, 0, kPhaseMs),
                              {{at(0, 3, 0, 0, kPhaseMs), at(0, 2, 0, 0, kPhaseMs)}},
                              at(1, 3, 0, 0),
                              {at(0, 2, 30, 0, kPhaseMs), at(0, 2, 30, 0, kPhaseMs),
                               at(1, 2, 30, 0, kPhaseMs)}},
                      JumpRow{"ForwardAcrossMidnightAndTheAlarmRingsAtTheNextTick",
                              hms(0, 30),
                              at(0, 0, 20, 0, kPhaseMs),
                              {{at(0, 23, 50, 0, kPhaseMs), at(1, 1, 0, 0, kPhaseMs)}},
                              at(1, 12, 0, 0),
                              {at(0, 0, 30, 0, kPhaseMs), at(1, 1, 0, 0, kPhaseMs)}},
                      JumpRow{"AutumnRepeatStartsNoNewDayForAMidnightAlarm",
                              hms(0, 0),
                              at(0, 1, 0, 0, kPhaseMs),
                              {{at(0, 3, 0, 0, kPhaseMs), at(0, 2, 0, 0, kPhaseMs)}},
                              at(1, 3, 0, 0),
                              {at(0, 1, 0, 0, kPhaseMs), at(1, 0, 0, 0, kPhaseMs)}},
                      JumpRow{"AutumnRepeatLeavesOtherAlarmsAtOnce",
                              hms(7, 30),
                              at(0, 1, 0, 0, kPhaseMs),
                              {{at(0, 3, 0, 0, kPhaseMs), at(0, 2, 0, 0, kPhaseMs)}},
                              at(1, 3, 0, 0),
                              {at(0, 7, 30, 0, kPhaseMs)}}),
    [](const auto &info) { return std::string(info.param.name); });

// Midnight arms the alarm again, shown or minimised.
TEST(Tick, RingsOncePerDay)
{
    for (const bool minimised : {false, true}) {
        SCOPED_TRACE(minimised);
        Window w;
        w.gAlarmTime = hms(7, 30);
        w.runUntil(at(0, 6, 0, 0, 500));
        if (minimised)
            w.minimise();
        w.runUntil(at(3, 0, 0, 0));

        const std::vector<qint64> expected = {at(0, 7, 30, 0, kPhaseMs), at(1, 7, 30, 0, kPhaseMs),
                                              at(2, 7, 30, 0, kPhaseMs)};
        EXPECT_EQ(w.rings, expected);
        if (minimised) {
            EXPECT_EQ(w.lblTime, u"06:00:00"_s) << "the label stays as it was when minimised";
        }
    }
}

TEST(Tick, MinimisedBodyRunsEveryTick)
{
    Window w;
    w.gAlarmTime = hms(7, 30);
    w.runUntil(at(0, 6, 0, 0, 500));
    w.minimise();
    w.runUntil(at(2, 0, 0, 0));

    // The second that was showing when the window was minimised is filtered out when the
    // clock comes back to it on the next day; every other tick runs the body.
    EXPECT_EQ(countInSecond(w.bodies, at(0, 6, 0, 1)), 1);
    EXPECT_EQ(countInSecond(w.bodies, at(0, 12, 34, 56)), 1);
    EXPECT_EQ(countInSecond(w.bodies, at(1, 5, 59, 59)), 1);
    EXPECT_EQ(countInSecond(w.bodies, at(1, 6, 0, 0)), 0);
    EXPECT_EQ(countInSecond(w.bodies, at(1, 6, 0, 1)), 1);
    EXPECT_EQ(countIn(w.bodies, at(1, 0, 0, 0), at(2, 0, 0, 0)), 86400 - 1);
}

TEST(Tick, AsksForAttentionOnlyWhileMinimisedAndOverdue)
{
    Window w;
    w.gAlarmTime = hms(7, 30);
    w.runUntil(at(0, 7, 0, 0, 500));
    w.minimise();
    w.runUntil(at(0, 9, 0, 0, 500));

    EXPECT_EQ(countIn(w.attention, 0, at(0, 7, 30, 1)), 0) << "none before or during 07:30:00";
    EXPECT_EQ(w.attention.front(), at(0, 7, 30, 1, kPhaseMs));
    EXPECT_EQ(countInSecond(w.attention, at(0, 7, 30, 1)), 1);
    EXPECT_EQ(countIn(w.attention, at(0, 7, 30, 1), at(0, 9, 0, 0)), 90 * 60 - 1);

    // Restored: the clock catches up at the next tick and the attention is no longer asked for.
    w.restore();
    w.runUntil(at(0, 9, 0, 1, 500));
    EXPECT_EQ(w.lblTime, u"09:00:01"_s);
    const auto attentionBefore = w.attention.size();
    w.runUntil(at(0, 12, 0, 0));
    EXPECT_EQ(w.attention.size(), attentionBefore);

    // Minimised again, the attention is asked for until midnight, where the alarm is armed again
    // and the attention ends.
    w.minimise();
    w.runUntil(at(1, 1, 0, 0));
    EXPECT_EQ(countInSecond(w.attention, at(0, 23, 59, 59)), 1);
    EXPECT_EQ(countIn(w.attention, at(1, 0, 0, 0), at(1, 1, 0, 0)), 0);
    EXPECT_EQ(w.attentionEnds, std::vector<qint64>{at(1, 0, 0, 0, kPhaseMs)});
    EXPECT_EQ(w.rings.size(), 1u);
}

TEST(Tick, NoAlarmAndTextAlarmsNeverRing)
{
    for (const AlarmValue &alarm :
         {AlarmValue(), AlarmValue(u"07:30"_s), AlarmValue(u"00:00"_s), AlarmValue(u"abc"_s)}) {
        SCOPED_TRACE(alarm.text().toStdString());
        Window w;
        w.gAlarmTime = alarm;
        w.runUntil(at(1, 0, 0, 0));
        w.minimise();
        w.runUntil(at(2, 0, 0, 0));
        EXPECT_TRUE(w.rings.empty());
        EXPECT_TRUE(w.attention.empty());
        EXPECT_TRUE(w.attentionEnds.empty()) << "nothing to end without a ring";
    }
}

TEST(Tick, AlarmAlreadyPastRingsAtOnceThenDaily)
{
    Window w;
    w.runUntil(at(0, 23, 0, 0, 500));
    w.gAlarmTime = hms(7, 0); // set at 23:00 for 07:00
    w.runUntil(at(2, 0, 0, 0));

    // 23:00:00 is already on the label, so the first body run is in the next second.
    const std::vector<qint64> expected = {at(0, 23, 0, 1, kPhaseMs), at(1, 7, 0, 0, kPhaseMs)};
    EXPECT_EQ(w.rings, expected);
}

// No time of day comes before 00:00: the new day itself arms it.
TEST(Tick, MidnightAlarmRingsInTheFirstSecondOfEveryDay)
{
    Window w;
    w.runUntil(at(0, 10, 0, 0, 500));
    w.gAlarmTime = hms(0, 0);
    w.runUntil(at(3, 12, 0, 0, 500));
    const std::vector<qint64> expected = {at(0, 10, 0, 1, kPhaseMs), at(1, 0, 0, 0, kPhaseMs),
                                          at(2, 0, 0, 0, kPhaseMs), at(3, 0, 0, 0, kPhaseMs)};
    EXPECT_EQ(w.rings, expected);
}

// An alarm accepted anew rings at the next tick when its time has passed, rung today or not.
TEST(Tick, RearmedAlarmWhoseTimeHasPassedRingsAtTheNextTick)
{
    Window w;
    w.gAlarmTime = hms(7, 30);
    w.runUntil(at(0, 9, 0, 0, 500));
    ASSERT_EQ(w.rings.size(), 1u);

    w.tick.rearm();
    w.runUntil(at(0, 9, 0, 5));
    EXPECT_EQ(w.rings.back(), at(0, 9, 0, 1, kPhaseMs));
    EXPECT_EQ(w.rings.size(), 2u);
}

TEST(Tick, TickInTheDisplayedSecondDoesNothing)
{
    ClockTick tick;
    const TickActions none;
    EXPECT_EQ(tick.decide(hms(7, 30), u"07:30:00", false, hms(7, 30)), none);
    EXPECT_EQ(tick.decide(hms(7, 30), u"07:30:00", true, hms(7, 30)), none);

    TickActions ringing;
    ringing.ring = true;
    ringing.clockText = u"07:30:00"_s;
    EXPECT_EQ(tick.decide(hms(7, 30), u"07:29:59", false, hms(7, 30)), ringing);
}

} // namespace
