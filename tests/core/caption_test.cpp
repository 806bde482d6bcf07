#include "core/caption.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct CaptionRow
{
    QTime now;
    QTime alarm;
    QString note;
    QString caption;
};

TEST(Caption, CountsDownAndOverWithTheNote)
{
    const std::vector<CaptionRow> rows = {
        {QTime(6, 15, 20), QTime(19, 30), u"会議"_s, u"13:14 前 【会議】"_s},
        {QTime(19, 29, 15), QTime(19, 30), u"会議"_s, u"45秒 前 【会議】"_s},
        {QTime(19, 30), QTime(19, 30), u"会議"_s, u"00秒 前 【会議】"_s},
        {QTime(19, 30, 10), QTime(19, 30), u"会議"_s, u"10秒 ｵｰﾊﾞｰ 【会議】"_s},
        {QTime(21, 0), QTime(19, 30), u"会議"_s, u"01:30 ｵｰﾊﾞｰ 【会議】"_s},
        // Without a note the caption ends after the direction.
        {QTime(6, 15, 20), QTime(19, 30), QString(), u"13:14 前"_s},
        {QTime(19, 30, 10), QTime(19, 30), QString(), u"10秒 ｵｰﾊﾞｰ"_s},
        // One minute is the first "Short Time" distance, on either side.
        {QTime(19, 29), QTime(19, 30), QString(), u"00:01 前"_s},
        {QTime(19, 29, 1), QTime(19, 30), QString(), u"59秒 前"_s},
        {QTime(19, 31), QTime(19, 30), QString(), u"00:01 ｵｰﾊﾞｰ"_s},
        {QTime(19, 30, 59), QTime(19, 30), QString(), u"59秒 ｵｰﾊﾞｰ"_s},
        // The distance is a time of day and never goes past 23:59.
        {QTime(1, 0), QTime(23, 0), QString(), u"22:00 前"_s},
        {QTime(23, 0), QTime(1, 0), QString(), u"22:00 ｵｰﾊﾞｰ"_s},
        {QTime(23, 59, 59), QTime(0, 0), QString(), u"23:59 ｵｰﾊﾞｰ"_s},
        {QTime(0, 0), QTime(0, 0), QString(), u"00秒 前"_s},
        {QTime(0, 0), QTime(23, 59, 59), QString(), u"23:59 前"_s},
        // Seconds are dropped, not rounded.
        {QTime(6, 15, 1), QTime(19, 30), QString(), u"13:14 前"_s},
        // A note is shown as it is, brackets and all.
        {QTime(9, 0), QTime(10, 0), u"【歯医者】 "_s, u"01:00 前 【【歯医者】 】"_s},
    };
    for (const CaptionRow &row : rows) {
        SCOPED_TRACE(row.caption.toStdString());
        EXPECT_EQ(countdownCaption(row.now, row.alarm, row.note), row.caption);
    }
}

} // namespace
