#include "core/caption.h"
#include "hms.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct CaptionRow
{
    TimeValue now;
    AlarmValue alarm;
    QString youken;
    std::optional<QString> caption; // nullopt: the caption is left as it is
};

TEST(Caption, CountsDownAndOverWithTheNote)
{
    const std::vector<CaptionRow> rows = {
        {hms(6, 15, 20), hms(19, 30), u"会議"_s, u"13:14 前 【会議】"_s},
        {hms(19, 29, 15), hms(19, 30), u"会議"_s, u"45秒 前 【会議】"_s},
        {hms(19, 30), hms(19, 30), u"会議"_s, u"00秒 前 【会議】"_s},
        {hms(19, 30, 10), hms(19, 30), u"会議"_s, u"10秒 ｵｰﾊﾞｰ 【会議】"_s},
        {hms(21, 0), hms(19, 30), u"会議"_s, u"01:30 ｵｰﾊﾞｰ 【会議】"_s},
        // Without a note the caption ends after the direction.
        {hms(6, 15, 20), hms(19, 30), QString(), u"13:14 前"_s},
        {hms(19, 30, 10), hms(19, 30), QString(), u"10秒 ｵｰﾊﾞｰ"_s},
        // One minute is the first "Short Time" distance, on either side.
        {hms(19, 29), hms(19, 30), QString(), u"00:01 前"_s},
        {hms(19, 29, 1), hms(19, 30), QString(), u"59秒 前"_s},
        {hms(19, 31), hms(19, 30), QString(), u"00:01 ｵｰﾊﾞｰ"_s},
        {hms(19, 30, 59), hms(19, 30), QString(), u"59秒 ｵｰﾊﾞｰ"_s},
        // The distance is a time of day and never goes past 23:59.
        {hms(1, 0), hms(23, 0), QString(), u"22:00 前"_s},
        {hms(23, 0), hms(1, 0), QString(), u"22:00 ｵｰﾊﾞｰ"_s},
        {hms(23, 59, 59), hms(0, 0), QString(), u"23:59 ｵｰﾊﾞｰ"_s},
        {hms(0, 0), hms(0, 0), QString(), u"00秒 前"_s},
        {hms(0, 0), hms(23, 59, 59), QString(), u"23:59 前"_s},
        // Seconds are dropped, not rounded.
        {hms(6, 15, 1), hms(19, 30), QString(), u"13:14 前"_s},
        // A note is shown as it is, brackets and all.
        {hms(9, 0), hms(10, 0), u"【歯医者】 "_s, u"01:00 前 【【歯医者】 】"_s},
        // No alarm is counted down, at any time of day, nor text, even text that reads as a time.
        {hms(12, 0), AlarmValue(), u"会議"_s, std::nullopt},
        {hms(12, 0), AlarmValue(u"abc"_s), u"会議"_s, std::nullopt},
        {hms(12, 0), AlarmValue(u"25:00"_s), u"会議"_s, std::nullopt},
        {hms(12, 0), AlarmValue(u"7:60"_s), u"会議"_s, std::nullopt},
        {hms(12, 0), AlarmValue(u" "_s), u"会議"_s, std::nullopt},
        {hms(12, 0), AlarmValue(u"\xd800"_s), u"会議"_s, std::nullopt},
        {hms(12, 0), AlarmValue(u"19:30"_s), u"会議"_s, std::nullopt},
    };
    for (const CaptionRow &row : rows) {
        SCOPED_TRACE(row.caption.value_or(u"(none) "_s + row.alarm.text()).toStdString());
        EXPECT_EQ(countdownCaption(row.now, row.alarm, row.youken), row.caption);
    }
    for (int s = 0; s < TimeValue::kSecondsPerDay; s += 599)
        ASSERT_EQ(countdownCaption(TimeValue::ofDay(s), AlarmValue(), u"会議"_s), std::nullopt);
}

TEST(Caption, NoteAppearsOnceAcrossMidnight)
{
    const TimeValue alarm = hms(7, 30);
    for (int s = 86400 - 5; s < 86400 + 5; ++s) {
        const std::optional<QString> text = countdownCaption(TimeValue::ofDay(s), alarm, u"会議"_s);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->count(u"【会議】"_s), 1) << text->toStdString();
        EXPECT_EQ(text->endsWith(u"前 【会議】"_s), s >= 86400) << text->toStdString();
    }
}

} // namespace
