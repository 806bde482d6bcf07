#include "core/tick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
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

// A tick that asks to confirm a jumped reading is followed by one this much later.
constexpr qint64 kConfirmMs = 50;

// Seconds ticked one by one on either side of each moment that matters.
constexpr qint64 kAroundMs = 3000;
// Between those stretches the tick runs only this seldom, on minutes and seconds that vary.
constexpr qint64 kStrideMs = 613'000;

// The main window as the tick sees it: the clock label, the minimised state, the alarm, and
// a record of everything the tick asked for. Time runs on from day 0 at one tick a second
// around the moments that matter, and in strides between them; the clock reads the time that
// ms says, unless it was set (ms alone moves, not the steady clock) or one wild reading is due.
class Window
{
public:
    ClockTick tick;
    QString lblTime;
    bool minimised = false;
    std::optional<QTime> alarm;
    qint64 ms = kPhaseMs;
    qint64 steady = kPhaseMs;
    std::optional<qint64> wild; // what the next reading says instead of ms

    std::vector<qint64> ticks, rings, bodies, attention, attentionEnds, confirmations;
    qint64 clockUpdates = 0;

    // One tick at ms, and the ticks that confirm it a moment later if it asks for them; the
    // next is due a second after the first.
    void step()
    {
        const qint64 next = ms + 1000;
        for (int i = 0; i < 3 && tickOnce(); ++i)
            pass(kConfirmMs);
        pass(next - ms);
    }

    void pass(qint64 delta)
    {
        ms += delta;
        steady += delta;
    }

    // Ticks from ms until end at every second within kAroundMs of each midnight, of each passing
    // of the alarm time, of the end and of each of the given moments, and once every kStrideMs
    // in between. A stride is a step of the clock to a later second of the same day that passes
    // no alarm time: the tick then decides as it would after a tick in each second of it.
    void runUntil(qint64 end, std::vector<qint64> moments = {})
    {
        moments.push_back(end);
        for (qint64 day = ms / kDayMs; day <= end / kDayMs; ++day) {
            moments.push_back(day * kDayMs);
            if (alarm)
                moments.push_back(day * kDayMs + alarm->msecsSinceStartOfDay());
        }
        while (ms < end && !testing::Test::HasFatalFailure()) {
            const qint64 last = ms;
            step();
            qint64 next = std::min(last + kStrideMs, end);
            for (const qint64 moment : moments) {
                if (moment + kAroundMs > last)
                    next = std::min(next, moment - kAroundMs);
            }
            if (next <= ms)
                continue; // the next second is ticked as it comes
            pass((next - ms + 999) / 1000 * 1000);
            if (ms >= end)
                break;
            // What the stride relies on, checked apart from how it was chosen.
            ASSERT_EQ(last / kDayMs, ms / kDayMs) << "a stride over midnight from " << last;
            if (alarm) {
                const qint64 alarmMs = last / kDayMs * kDayMs + alarm->msecsSinceStartOfDay();
                ASSERT_FALSE(last < alarmMs && alarmMs <= ms)
                    << "a stride over the alarm from " << last;
            }
        }
    }

    // Minimising or restoring happens between two ticks; the label keeps its text.
    void minimise() { minimised = true; }
    void restore() { minimised = false; }

private:
    // One tick at ms; true when it asks for another to confirm what it read.
    bool tickOnce()
    {
        ticks.push_back(ms);
        const qint64 read = wild ? *std::exchange(wild, std::nullopt) : ms;
        const TickActions actions = tick.decide({read % kDayMs, steady}, lblTime, minimised, alarm);
        if (actions.confirm) {
            TickActions confirmOnly;
            confirmOnly.confirm = true;
            EXPECT_EQ(actions, confirmOnly) << "a tick that asks to confirm does nothing else";
            confirmations.push_back(ms);
            return true;
        }
        if (actions.ring)
            rings.push_back(ms);
        if (actions.clockText || actions.refreshCaption)
            bodies.push_back(ms);
        if (actions.clockText) {
            EXPECT_FALSE(minimised);
            lblTime = *actions.clockText;
            ++clockUpdates;
        }
        if (actions.refreshCaption) {
            EXPECT_TRUE(minimised);
        }
        if (actions.demandAttention) {
            EXPECT_TRUE(actions.refreshCaption);
            attention.push_back(ms);
        }
        if (actions.endAttention)
            attentionEnds.push_back(ms);
        return false;
    }
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

// Over a week, shown or minimised, the alarm rings once a day: midnight arms it again. Shown,
// the body runs once per displayed second, and each tick comes in a new second; minimised, it
// runs on every tick but those in the second that was showing when the window was minimised,
// which the clock comes back to on each later day.
TEST(Tick, RingsOnceADayAndRunsTheBodyInEachNewSecond)
{
    for (const bool minimised : {false, true}) {
        SCOPED_TRACE(minimised ? "minimised" : "shown");
        Window w;
        w.alarm = QTime(7, 30);
        w.runUntil(at(0, 6, 0, 0, 500));
        if (minimised)
            w.minimise();
        std::vector<qint64> shownSecond;
        for (int day = 1; day < 7; ++day)
            shownSecond.push_back(at(day, 6, 0, 0, kPhaseMs));
        w.runUntil(at(7, 0, 0, 0), shownSecond);

        std::vector<qint64> expected;
        for (int day = 0; day < 7; ++day)
            expected.push_back(at(day, 7, 30, 0, kPhaseMs));
        EXPECT_EQ(w.rings, expected);

        std::vector<qint64> idle;
        std::set_difference(w.ticks.begin(), w.ticks.end(), w.bodies.begin(), w.bodies.end(),
                            std::back_inserter(idle));
        if (minimised) {
            EXPECT_EQ(idle, shownSecond);
            EXPECT_EQ(w.lblTime, u"06:00:00"_s) << "the label stays as it was when minimised";
        } else {
            EXPECT_EQ(idle, std::vector<qint64>{});
            EXPECT_EQ(w.clockUpdates, static_cast<qint64>(w.ticks.size()));
            EXPECT_TRUE(w.attention.empty());
        }
    }
}

// The local clock does not always run on evenly: it is set by hand or by the network, jumps at
// the daylight-saving changes, and stands still while the machine sleeps. The tick only ever
// sees the time of day it reads, so each of these is a jump of that reading between two ticks,
// which the tick believes once a second reading confirms it, a moment later. A clock source can
// also hand out one wild reading between two true ones: the tick must not act on it.
struct ClockJump
{
    qint64 when;       // the local time at which the clock is set...
    qint64 to;         // ...to this one
    bool once = false; // or only reads it once, and the true time again after
};

struct JumpRow
{
    const char *name;
    QTime alarm;
    qint64 start;
    std::vector<ClockJump> jumps;
    qint64 end;
    std::vector<qint64> rings;
};

// A tick on day 0 or day 1, just after its second as the timer has it.
constexpr qint64 t0(int h, int m, int s = 0)
{
    return at(0, h, m, s, kPhaseMs);
}
constexpr qint64 t1(int h, int m, int s = 0)
{
    return at(1, h, m, s, kPhaseMs);
}
// A ring at the tick that confirms a jump to t.
constexpr qint64 confirmed(qint64 t)
{
    return t + kConfirmMs;
}

// Times are the clock's readings, so a ring after a jump back repeats a reading seen before.
// In the daylight-saving rows the clock is at a European transition: in spring 01:59:59 is
// followed by 03:00:00, in autumn 02:59:59 by 02:00:00.
TEST(Tick, RingsAsTheReadTimeSaysAcrossClockJumps)
{
    // clang-format off
    const std::vector<JumpRow> rows = {
        {"ForwardAcrossTheAlarmRingsAtTheNextTick", QTime(10, 30), t0(10, 20),
         {{t0(10, 25), t0(10, 40)}}, t0(23, 0), {confirmed(t0(10, 40))}},
        {"ForwardFromAfterTheRingDoesNotRingAgain", QTime(10, 30), t0(10, 29),
         {{t0(10, 31), t0(22, 0)}}, t0(23, 59, 59), {t0(10, 30)}},
        {"BackAcrossTheAlarmArmsItAgain", QTime(10, 30), t0(10, 29),
         {{t0(10, 40), t0(10, 20)}}, t0(12, 0), {t0(10, 30), t0(10, 30)}},
        {"BackWithinTheRungTimeKeepsItRung", QTime(10, 30), t0(10, 29),
         {{t0(10, 40), t0(10, 30)}}, t0(12, 0), {t0(10, 30)}},
        {"ForwardAcrossMidnightArmsItForTheNextDay", QTime(10, 30), t0(10, 29),
         {{t0(10, 31), t1(6, 0)}}, t1(23, 0), {t0(10, 30), t1(10, 30)}},
        {"SuspendedAcrossTheAlarmRingsAtTheFirstTickAfter", QTime(10, 30), t0(10, 29, 50),
         {{t0(10, 29, 55), t0(10, 30, 25)}}, t0(11, 0), {confirmed(t0(10, 30, 25))}},
        {"SpringGapContainingTheAlarmRingsRightAfterIt", QTime(2, 30), t0(1, 0),
         {{t0(2, 0), t0(3, 0)}}, t1(3, 0), {confirmed(t0(3, 0)), t1(2, 30)}},
        {"AutumnRepeatRingsInEachPassOfTheAlarmTime", QTime(2, 30), t0(1, 0),
         {{t0(3, 0), t0(2, 0)}}, t1(3, 0), {t0(2, 30), t0(2, 30), t1(2, 30)}},
        {"ForwardAcrossMidnightAndTheAlarmRingsAtTheNextTick", QTime(0, 30), t0(0, 20),
         {{t0(23, 50), t1(1, 0)}}, t1(12, 0), {t0(0, 30), confirmed(t1(1, 0))}},
        {"AutumnRepeatStartsNoNewDayForAMidnightAlarm", QTime(0, 0), t0(1, 0),
         {{t0(3, 0), t0(2, 0)}}, t1(3, 0), {t0(1, 0), t1(0, 0)}},
        {"AutumnRepeatLeavesOtherAlarmsAtOnce", QTime(7, 30), t0(1, 0),
         {{t0(3, 0), t0(2, 0)}}, t1(3, 0), {t0(7, 30)}},
        // One wild reading between two true ones.
        {"OneReadingMinutesAheadDoesNotRingEarly", QTime(10, 30), t0(10, 20),
         {{t0(10, 25), t0(10, 35), true}}, t0(12, 0), {t0(10, 30)}},
        {"OneReadingMinutesBackAfterTheRingDoesNotRingAgain", QTime(10, 30), t0(10, 29),
         {{t0(10, 35), t0(10, 25), true}}, t0(12, 0), {t0(10, 30)}},
        {"OneReadingHoursBackInTheAlarmSecondRingsAMomentLater", QTime(10, 30), t0(10, 29),
         {{t0(10, 30), t0(4, 0), true}}, t0(12, 0), {confirmed(t0(10, 30))}},
        {"OneReadingHoursAheadAfterTheRingStartsNoNewDay", QTime(10, 30), t0(10, 29),
         {{t0(10, 40), t0(23, 0), true}}, t0(23, 59, 59), {t0(10, 30)}},
        {"OneReadingPastMidnightDoesNotArmTheAlarmAgain", QTime(10, 30), t0(10, 29),
         {{t0(23, 50), t1(0, 10), true}}, t1(12, 0), {t0(10, 30), t1(10, 30)}},
        {"OneReadingADayBackDoesNotRingEarly", QTime(10, 30), t0(10, 29),
         {{t1(0, 10), t0(23, 50), true}}, t1(12, 0), {t0(10, 30), t1(10, 30)}},
        // The clock set back before the alarm, the one tick then reading hours ahead, and the
        // clock set on to the alarm second: that tick must not leave the alarm rung.
        {"SetBackAWildReadingThenForwardToTheAlarmRings", QTime(12, 0), t0(11, 59),
         {{t0(12, 0, 1), t0(11, 59, 55)}, {t0(11, 59, 55), t0(20, 40, 20), true},
          {t0(11, 59, 56), t0(12, 0)}},
         t0(12, 10), {t0(12, 0), confirmed(t0(12, 0))}},
    };
    // clang-format on
    for (const JumpRow &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<qint64> steps;
        for (const ClockJump &jump : row.jumps) {
            steps.push_back(jump.when);
            steps.push_back(jump.to);
        }
        Window w;
        w.alarm = row.alarm;
        w.ms = row.start;
        for (auto jump = row.jumps.begin(); jump != row.jumps.end(); ++jump) {
            w.runUntil(jump->when, steps);
            if (jump->once) {
                w.wild = jump->to;
                w.step();
                continue;
            }
            w.ms = jump->to;
            if (const auto next = jump + 1; next != row.jumps.end() && next->when == jump->to)
                continue; // the first tick after the step is the next row's
            // The first tick after the jump, once confirmed, shows the time it reads.
            w.step();
            EXPECT_EQ(w.lblTime, QTime::fromMSecsSinceStartOfDay(jump->to % kDayMs / 1000 * 1000)
                                     .toString(u"HH:mm:ss"));
        }
        w.runUntil(row.end, steps);

        EXPECT_EQ(w.rings, row.rings);
    }
}

TEST(Tick, AsksForAttentionOnlyWhileMinimisedAndOverdue)
{
    Window w;
    w.alarm = QTime(7, 30);
    w.runUntil(at(0, 7, 0, 0, 500));
    w.minimise();
    w.runUntil(at(0, 9, 0, 0, 500));

    EXPECT_EQ(countIn(w.attention, 0, at(0, 7, 30, 1)), 0) << "none before or during 07:30:00";
    EXPECT_EQ(w.attention.front(), at(0, 7, 30, 1, kPhaseMs));
    EXPECT_EQ(countInSecond(w.attention, at(0, 7, 30, 1)), 1);
    // Every tick after it asks (the window holds the request once asked).
    EXPECT_EQ(countIn(w.attention, at(0, 7, 30, 1), at(0, 9, 0, 0)),
              countIn(w.ticks, at(0, 7, 30, 1), at(0, 9, 0, 0)));

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

TEST(Tick, WithoutAnAlarmNothingRings)
{
    // Where an alarm at 07:30 would ring; one at 00:00 would at each midnight.
    const std::vector<qint64> moments = {at(0, 7, 30, 0), at(1, 7, 30, 0)};
    Window w;
    w.runUntil(at(1, 0, 0, 0), moments);
    w.minimise();
    w.runUntil(at(2, 0, 0, 0), moments);
    EXPECT_TRUE(w.rings.empty());
    EXPECT_TRUE(w.attention.empty());
    EXPECT_TRUE(w.attentionEnds.empty()) << "nothing to end without a ring";
}

TEST(Tick, AlarmAlreadyPastRingsAtOnceThenDaily)
{
    Window w;
    w.runUntil(at(0, 23, 0, 0, 500));
    w.alarm = QTime(7, 0); // set at 23:00 for 07:00
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
    w.alarm = QTime(0, 0);
    w.runUntil(at(3, 12, 0, 0, 500));
    const std::vector<qint64> expected = {at(0, 10, 0, 1, kPhaseMs), at(1, 0, 0, 0, kPhaseMs),
                                          at(2, 0, 0, 0, kPhaseMs), at(3, 0, 0, 0, kPhaseMs)};
    EXPECT_EQ(w.rings, expected);
}

// An alarm accepted anew rings at the next tick when its time has passed, rung today or not.
TEST(Tick, RearmedAlarmWhoseTimeHasPassedRingsAtTheNextTick)
{
    Window w;
    w.alarm = QTime(7, 30);
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
    const ClockReading at0730{at(0, 7, 30, 0), 0};
    const TickActions none;
    EXPECT_EQ(tick.decide(at0730, u"07:30:00", false, QTime(7, 30)), none);
    EXPECT_EQ(tick.decide(at0730, u"07:30:00", true, QTime(7, 30)), none);

    TickActions ringing;
    ringing.ring = true;
    ringing.clockText = u"07:30:00"_s;
    EXPECT_EQ(tick.decide(at0730, u"07:29:59", false, QTime(7, 30)), ringing);
}

} // namespace
