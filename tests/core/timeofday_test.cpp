#include "core/timeofday.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

int secondsOf(int h, int m, int s = 0)
{
    return (h * 60 + m) * 60 + s;
}

std::string show(QStringView text)
{
    std::string out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7F)
            out += static_cast<char>(u);
        else
            out += "\\u" + QString::number(u, 16).rightJustified(4, u'0').toStdString();
    }
    return out;
}

struct AcceptRow
{
    QString text;
    int seconds;
};

TEST(Parser, AcceptsTheFormsPeopleType)
{
    const std::vector<AcceptRow> rows = {
        // The slot list and the formats produce these.
        {u"00:00"_s, 0},
        {u"00:01"_s, 60},
        {u"00:30"_s, secondsOf(0, 30)},
        {u"07:05"_s, secondsOf(7, 5)},
        {u"17:45"_s, secondsOf(17, 45)},
        {u"23:30"_s, secondsOf(23, 30)},
        {u"23:59"_s, secondsOf(23, 59)},
        // One-digit hours.
        {u"0:00"_s, 0},
        {u"7:05"_s, secondsOf(7, 5)},
        {u"9:59"_s, secondsOf(9, 59)},
        // Seconds.
        {u"10:30:15"_s, secondsOf(10, 30, 15)},
        {u"0:00:00"_s, 0},
        {u"23:59:59"_s, 86399},
        // Full-width digits and colon, alone or mixed.
        {u"１０：３０"_s, secondsOf(10, 30)},
        {u"１０:３０"_s, secondsOf(10, 30)},
        {u"10：30"_s, secondsOf(10, 30)},
        {u"７：０５：０９"_s, secondsOf(7, 5, 9)},
        // Leading and trailing spaces, ASCII and ideographic.
        {u" 10:30"_s, secondsOf(10, 30)},
        {u"10:30  "_s, secondsOf(10, 30)},
        {u"\u3000１０：３０\u3000"_s, secondsOf(10, 30)},
        {u" \u3000 7:05 \u3000"_s, secondsOf(7, 5)},
        // Hours, minutes and seconds in kanji.
        {u"10時"_s, secondsOf(10, 0)},
        {u"0時"_s, 0},
        {u"23時"_s, secondsOf(23, 0)},
        {u"10時30分"_s, secondsOf(10, 30)},
        {u"7時5分"_s, secondsOf(7, 5)},
        {u"07時05分"_s, secondsOf(7, 5)},
        {u"10時30分15秒"_s, secondsOf(10, 30, 15)},
        {u"23時59分59秒"_s, 86399},
        {u"１０時３０分"_s, secondsOf(10, 30)},
        {u"　１０時　"_s, secondsOf(10, 0)},
        // 午前 / 午後, before or after, with the twelve-hour rules.
        {u"午前10時"_s, secondsOf(10, 0)},
        {u"午後3時"_s, secondsOf(15, 0)},
        {u"午後3時30分"_s, secondsOf(15, 30)},
        {u"午後11時59分59秒"_s, 86399},
        {u"午前12時"_s, 0},
        {u"午後12時"_s, secondsOf(12, 0)},
        {u"午前0時"_s, 0},
        {u"午後0時"_s, secondsOf(12, 0)},
        {u"午前12時30分"_s, secondsOf(0, 30)},
        {u"午後 3:30"_s, secondsOf(15, 30)},
        {u"午後\u3000３：３０"_s, secondsOf(15, 30)},
        {u"3:30午後"_s, secondsOf(15, 30)},
        {u"10時 午前"_s, secondsOf(10, 0)},
        // AM / PM in any case, before or after, with or without a space.
        {u"AM 10:30"_s, secondsOf(10, 30)},
        {u"10:30 AM"_s, secondsOf(10, 30)},
        {u"10:30am"_s, secondsOf(10, 30)},
        {u"pm3:05"_s, secondsOf(15, 5)},
        {u"3:05 Pm"_s, secondsOf(15, 5)},
        {u"3:05 pM"_s, secondsOf(15, 5)},
        {u"12:00 AM"_s, 0},
        {u"12:30 am"_s, secondsOf(0, 30)},
        {u"12:00 PM"_s, secondsOf(12, 0)},
        {u"11:59:59 PM"_s, 86399},
        {u"ＰＭ３：００"_s, secondsOf(15, 0)},
        {u"３：００\u3000ｐｍ"_s, secondsOf(15, 0)},
        {u"PM 3時"_s, secondsOf(15, 0)},
        {u" \u3000AM 10:30 \u3000"_s, secondsOf(10, 30)},
        {u"10:30 PM\u3000 "_s, secondsOf(22, 30)},
    };
    for (const AcceptRow &row : rows) {
        SCOPED_TRACE(show(row.text));
        const std::optional<QTime> time = parseTimeOfDay(row.text);
        ASSERT_TRUE(time.has_value());
        EXPECT_EQ(time->msecsSinceStartOfDay(), row.seconds * 1000);
    }
}

TEST(Parser, RejectsEverythingElse)
{
    const std::vector<QString> rows = {
        // Nothing, or no time at all.
        u""_s,
        u" "_s,
        u"\u3000\u3000"_s,
        u"abc"_s,
        u"時"_s,
        u"午後"_s,
        u"PM"_s,
        u":"_s,
        // Out of range.
        u"24:00"_s,
        u"25:00"_s,
        u"99:99"_s,
        u"7:60"_s,
        u"23:60"_s,
        u"10:30:60"_s,
        u"24時"_s,
        u"10時60分"_s,
        u"10時30分60秒"_s,
        u"２４：００"_s,
        // Twelve-hour markers take 0..12 only, and one of them.
        u"午後13時"_s,
        u"午後13:00"_s,
        u"13:00 PM"_s,
        u"午前24時"_s,
        u"午後午後3時"_s,
        u"午後3時PM"_s,
        u"AM 10:30 PM"_s,
        u"A M 10:30"_s,
        u"10:30 a.m."_s,
        u"10:30 AMX"_s,
        u"午10時"_s,
        u"午後後3時"_s,
        u"10:30 A"_s,
        // Digit counts.
        u"10:5"_s,
        u"10:030"_s,
        u"100:00"_s,
        u"007:00"_s,
        u"10:30:5"_s,
        u"10:30:150"_s,
        u"1030"_s,
        u"10"_s,
        u"10時030分"_s,
        u"100時"_s,
        // Broken shapes.
        u"10:"_s,
        u":30"_s,
        u"10::30"_s,
        u"10:30:"_s,
        u"10:30:15:00"_s,
        u"10 : 30"_s,
        u"10: 30"_s,
        u"10時30"_s,
        u"10時30分15"_s,
        u"10時15秒"_s,
        u"10時 30分"_s,
        u"10時30分 15秒"_s,
        u"時30分"_s,
        u"10分"_s,
        // Signs, decimals and other separators.
        u"-1:00"_s,
        u"+1:00"_s,
        u"1.5"_s,
        u"10.30"_s,
        u"10-30"_s,
        u"10/30"_s,
        u"10h30"_s,
        // Dates, with or without a time.
        u"2026/12/07"_s,
        u"2026-12-07"_s,
        u"12/07"_s,
        u"2026/12/07 10:30"_s,
        u"10:30 2026/12/07"_s,
        u"12月7日"_s,
        u"12月7日 10時"_s,
        // Other text around a time.
        u"x10:30"_s,
        u"10:30x"_s,
        u"10:30 会議"_s,
        u"会議 10:30"_s,
        u"10:30 10:30"_s,
        // Digits that are not ASCII or full-width.
        u"\u0661\u0660:\u0663\u0660"_s,
        u"\u00b9\u2070:\u00b3\u2070"_s,
        u"\u2460\u2461:00"_s,
        // Spaces other than U+0020 and U+3000, and control characters.
        u"\u00a010:30"_s,
        u"10:30\u2003"_s,
        u"\t10:30"_s,
        u"10:30\n"_s,
        u"10:30\r\n"_s,
        u"10:\u000730"_s,
        u"\u001b[0m10:30"_s,
        u"10:30\u007f"_s,
        // NUL anywhere.
        u"10:\0"
        u"30"_s,
        u"10:30\0"_s,
        u"\0"
        u"10:30"_s,
        // Unpaired surrogates anywhere.
        u"\xd800"_s,
        u"\xdc00"_s,
        u"\xd800"
        u"10:30"_s,
        u"10:30\xdc00"_s,
        u"1\xd800"
        u"0:30"_s,
        u"10:\xdfff"
        u"30"_s,
    };
    for (const QString &text : rows) {
        SCOPED_TRACE(show(text));
        EXPECT_EQ(parseTimeOfDay(text), std::nullopt);
    }
}

// Every minute of the day, each with a second that varies, so that every value of the hours,
// the minutes and the seconds is read back from the clock's text and from the alarm as shown,
// which drops the seconds only when there are none.
TEST(Parser, EveryMinuteAndSecondReadsBackFromItsOwnText)
{
    for (int minute = 0; minute < 24 * 60; ++minute) {
        const QTime time = QTime(0, 0).addSecs(minute * 60 + (minute * 7 + minute / 60) % 60);
        ASSERT_EQ(parseTimeOfDay(time.toString(u"HH:mm:ss")), time) << minute;
        ASSERT_EQ(parseTimeOfDay(alarmText(time)), time) << minute;
    }
}

TEST(Parser, HugeInputsAreHandledInOnePass)
{
    constexpr qsizetype kMega = 1024 * 1024;
    const QString spaces(kMega, u' ');
    const QString wide(kMega, QChar(0x3000));
    EXPECT_EQ(parseTimeOfDay(spaces + u"10:30"_s + wide), QTime(10, 30));

    // Each of these would run far past the test's timeout if the scanner went back over what it
    // had read.
    for (const QString &text :
         {QString(kMega, u'1'), QString(kMega, u':'), QString(kMega, QChar(0xd800)),
          QString(kMega, QChar(0x5348)) /* 午 */, spaces, u"10:30"_s.repeated(kMega / 5),
          spaces + u"10:30"_s + spaces + u"x"_s, u"午後"_s + spaces + u"午後"_s})
        EXPECT_EQ(parseTimeOfDay(text), std::nullopt);
}

// The alarm keeps its seconds when it has any, so that it rings when it says.
TEST(AlarmText, IsHoursAndMinutesWithSecondsWhenThereAreAny)
{
    EXPECT_EQ(alarmText(QTime(0, 0)), u"00:00"_s);
    EXPECT_EQ(alarmText(QTime(7, 5)), u"07:05"_s);
    EXPECT_EQ(alarmText(QTime(10, 30, 25)), u"10:30:25"_s);
    EXPECT_EQ(alarmText(QTime(23, 59, 59)), u"23:59:59"_s);
}

// The set-time dialog's proposal: the next half-hour boundary strictly after now.
TEST(NextHalfHour, IsTheNextBoundaryStrictlyAfterNow)
{
    const std::vector<std::pair<QTime, QTime>> rows = {
        {QTime(10, 0), QTime(10, 30)},
        {QTime(10, 10), QTime(10, 30)},
        {QTime(10, 29, 59), QTime(10, 30)},
        {QTime(10, 29, 59, 999), QTime(10, 30)},
        {QTime(10, 30), QTime(11, 0)},
        {QTime(10, 40), QTime(11, 0)},
        {QTime(0, 0), QTime(0, 30)},
        {QTime(23, 29, 59, 999), QTime(23, 30)},
        {QTime(23, 30), QTime(0, 0)},
        {QTime(23, 45), QTime(0, 0)},
        {QTime(23, 59, 59, 999), QTime(0, 0)},
    };
    for (const auto &[now, next] : rows)
        EXPECT_EQ(nextHalfHour(now), next) << now.toString(u"HH:mm:ss.zzz").toStdString();
}

} // namespace
