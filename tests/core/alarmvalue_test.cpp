#include "core/alarmstate.h"
#include "core/alarmvalue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TimeValue hms(int h, int m, int s = 0)
{
    return *TimeValue::fromHms(h, m, s);
}

TEST(AlarmValue, OnlyEmptyTextIsEmpty)
{
    EXPECT_TRUE(AlarmValue().isEmpty());
    EXPECT_TRUE(AlarmValue(QString()).isEmpty());
    EXPECT_FALSE(AlarmValue(QStringLiteral("07:30")).isEmpty());
    EXPECT_FALSE(AlarmValue(QStringLiteral("abc")).isEmpty());
    EXPECT_FALSE(AlarmValue(hms(0, 0)).isEmpty());
}

TEST(AlarmValue, HoldsEitherTextOrTime)
{
    const AlarmValue text(QStringLiteral("07:30"));
    EXPECT_FALSE(text.isTime());
    EXPECT_EQ(text.time(), std::nullopt);
    EXPECT_EQ(text.text(), QStringLiteral("07:30"));

    const AlarmValue time(hms(7, 30));
    EXPECT_TRUE(time.isTime());
    EXPECT_EQ(time.time(), hms(7, 30));
    EXPECT_EQ(time.text(), QString());
    EXPECT_NE(text, time);
}

struct OrderRow
{
    TimeValue now;
    AlarmValue alarm;
    bool atOrAfter, before, after, atOrBefore;
};

TEST(AlarmValue, NamedComparisons)
{
    const std::vector<OrderRow> rows = {
        {hms(7, 29, 59), hms(7, 30), false, true, false, true},
        {hms(7, 30), hms(7, 30), true, false, false, true},
        {hms(7, 30, 1), hms(7, 30), true, false, true, false},
        // Every time of day is at or after an alarm at midnight, none before it.
        {hms(0, 0), hms(0, 0), true, false, false, true},
        {hms(23, 59, 59), hms(0, 0), true, false, true, false},
        {hms(0, 0), hms(23, 59, 59), false, true, false, true},
        // Text, empty or not, lies after every time of day.
        {hms(0, 0), AlarmValue(), false, true, false, true},
        {hms(23, 59, 59), AlarmValue(), false, true, false, true},
        {hms(7, 30), AlarmValue(QStringLiteral("07:30")), false, true, false, true},
        {hms(23, 59, 59), AlarmValue(QStringLiteral("00:00")), false, true, false, true},
        {hms(12, 0), AlarmValue(QStringLiteral("abc")), false, true, false, true},
    };
    for (const OrderRow &row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "now " << row.now.seconds() << " alarm " << row.alarm.text().toStdString()
                     << "/" << (row.alarm.time() ? row.alarm.time()->seconds() : -1));
        EXPECT_EQ(nowAtOrAfter(row.now, row.alarm), row.atOrAfter);
        EXPECT_EQ(nowBefore(row.now, row.alarm), row.before);
        EXPECT_EQ(nowAfter(row.now, row.alarm), row.after);
        EXPECT_EQ(nowAtOrBefore(row.now, row.alarm), row.atOrBefore);
    }
}

TEST(AlarmValue, EmptyAlarmIsNeverReachedAtAnySecond)
{
    for (int s = 0; s < TimeValue::kSecondsPerDay; ++s) {
        const TimeValue now = TimeValue::ofDay(s);
        ASSERT_FALSE(nowAtOrAfter(now, AlarmValue())) << s;
        ASSERT_TRUE(nowBefore(now, AlarmValue())) << s;
        ASSERT_FALSE(nowAtOrAfter(now, AlarmValue(QStringLiteral("07:30")))) << s;
    }
}

struct StartUpRow
{
    QString directory;
    QString soundFile;
};

TEST(Module1, StartUpClearsAlarmAndPutsSoundNextToProgram)
{
    const std::vector<StartUpRow> rows = {
        {QStringLiteral("/opt/alarm-clock"), QStringLiteral("/opt/alarm-clock/MSREMIND.WAV")},
        {QStringLiteral("/home/花子/時計"), QStringLiteral("/home/花子/時計/MSREMIND.WAV")},
        // A program in the root directory: the doubled separator is kept as it is.
        {QStringLiteral("/"), QStringLiteral("//MSREMIND.WAV")},
        {QStringLiteral("/usr/bin/"), QStringLiteral("/usr/bin//MSREMIND.WAV")},
    };
    for (const StartUpRow &row : rows) {
        SCOPED_TRACE(row.directory.toStdString());
        gAlarmTime = hms(7, 30);
        gYouken = QStringLiteral("会議");
        assignStartUp(row.directory);
        EXPECT_TRUE(gAlarmTime.isEmpty());
        EXPECT_FALSE(gAlarmTime.isTime());
        EXPECT_EQ(gSoundFile, row.soundFile);
        EXPECT_EQ(gYouken, QStringLiteral("会議")) << "the note is not part of the start-up";
    }
    gYouken.clear();
}

} // namespace
