#include "core/alarmstate.h"
#include "core/alarmvalue.h"
#include "hms.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

struct HeldRow
{
    const char *name;
    AlarmValue value;
    bool isEmpty;
    std::optional<TimeValue> time;
    QString text;
};

// Only empty text is empty; 00:00:00 is a set alarm.
TEST(AlarmValue, HoldsEitherTextOrTime)
{
    const std::vector<HeldRow> rows = {
        {"Default", AlarmValue(), true, std::nullopt, QString()},
        {"NullText", AlarmValue(QString()), true, std::nullopt, QString()},
        {"TextOfATime", AlarmValue(QStringLiteral("07:30")), false, std::nullopt,
         QStringLiteral("07:30")},
        {"Text", AlarmValue(QStringLiteral("abc")), false, std::nullopt, QStringLiteral("abc")},
        {"Midnight", hms(0, 0), false, hms(0, 0), QString()},
        {"Time", hms(7, 30), false, hms(7, 30), QString()},
    };
    for (const HeldRow &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.value.isEmpty(), row.isEmpty);
        EXPECT_EQ(row.value.isTime(), row.time.has_value());
        EXPECT_EQ(row.value.time(), row.time);
        EXPECT_EQ(row.value.text(), row.text);
    }
    EXPECT_NE(AlarmValue(QStringLiteral("07:30")), AlarmValue(hms(7, 30)));
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
    // No second of the day reaches an empty alarm or one held as text.
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
