#include "core/timetext.h"

#include <cstdlib>

// Text the program accepts as a time of day. Everything else is not a time, dates included.
//
//   H:mm        hour 0..23 in one or two digits, minute in exactly two (7:05, 07:05, 23:59)
//   H:mm:ss     the same with two-digit seconds (10:30:15)
//   H時         a whole hour (10時)
//   H時m分      minute in one or two digits (10時30分, 10時5分)
//   H時m分s秒   seconds in one or two digits (10時30分15秒)
//
// Any of these may carry one twelve-hour marker, before or after the time, with or without
// spaces between: 午前 / 午後, or AM / PM in any letter case (午後3時, 3:30 PM, am10:30). With a
// marker the hour is 0..12: 午前12時 and 午前0時 are 0:00, 午後12時 and 午後0時 are 12:00, and
// 午後13時 is rejected.
//
// A Japanese input method often leaves full-width characters behind, so the full-width forms
// of ASCII (１０：３０, ＰＭ) count as their ASCII twins, and the ideographic space counts as a
// space. Spaces (U+0020, U+3000) may lead and trail. No other character is allowed anywhere:
// no tabs, line breaks, other control characters or unpaired surrogates.
//
// The scanner never steps back and stops at the first character that does not fit, so any
// pasted text, however long, costs at most one pass.

namespace {

enum class Meridiem { None, Am, Pm };

constexpr char16_t kHour = u'時';
constexpr char16_t kMinute = u'分';
constexpr char16_t kSecond = u'秒';
constexpr char16_t kNoon = u'午';
constexpr char16_t kBefore = u'前';
constexpr char16_t kAfter = u'後';

char16_t fold(char16_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        return static_cast<char16_t>(c - 0xFF01 + 0x21);
    if (c == 0x3000)
        return u' ';
    return c;
}

char16_t lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

class Scanner
{
public:
    explicit Scanner(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    void skipSpaces()
    {
        while (peek() == u' ')
            ++m_pos;
    }

    bool accept(char16_t c)
    {
        if (atEnd() || peek() != c)
            return false;
        ++m_pos;
        return true;
    }

    bool atDigit() const { return isDigit(peek()); }

    // A number of minDigits..maxDigits decimal digits; -1 when there are fewer or more.
    int number(int minDigits, int maxDigits)
    {
        int value = 0;
        int digits = 0;
        while (isDigit(peek())) {
            if (digits == maxDigits)
                return -1;
            value = value * 10 + (peek() - u'0');
            ++digits;
            ++m_pos;
        }
        return digits < minDigits ? -1 : value;
    }

    Meridiem meridiem()
    {
        if (peek() == kNoon && (peek(1) == kBefore || peek(1) == kAfter)) {
            const Meridiem m = peek(1) == kBefore ? Meridiem::Am : Meridiem::Pm;
            m_pos += 2;
            return m;
        }
        const char16_t first = lower(peek());
        if ((first == u'a' || first == u'p') && lower(peek(1)) == u'm') {
            m_pos += 2;
            return first == u'a' ? Meridiem::Am : Meridiem::Pm;
        }
        return Meridiem::None;
    }

private:
    static bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

    // NUL past the end; a NUL inside the text matches nothing either.
    char16_t peek(qsizetype ahead = 0) const
    {
        const qsizetype at = m_pos + ahead;
        return at < m_text.size() ? fold(m_text[at].unicode()) : u'\0';
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

} // namespace

std::optional<TimeValue> convert(QStringView text)
{
    Scanner in(text);
    in.skipSpaces();
    Meridiem meridiem = in.meridiem();
    in.skipSpaces();

    const int hour = in.number(1, 2);
    if (hour < 0)
        return std::nullopt;
    int minute = 0;
    int second = 0;
    if (in.accept(u':')) {
        minute = in.number(2, 2);
        if (minute < 0)
            return std::nullopt;
        if (in.accept(u':')) {
            second = in.number(2, 2);
            if (second < 0)
                return std::nullopt;
        }
    } else if (in.accept(kHour)) {
        if (in.atDigit()) {
            minute = in.number(1, 2);
            if (minute < 0 || !in.accept(kMinute))
                return std::nullopt;
            if (in.atDigit()) {
                second = in.number(1, 2);
                if (second < 0 || !in.accept(kSecond))
                    return std::nullopt;
            }
        }
    } else {
        return std::nullopt;
    }

    in.skipSpaces();
    if (meridiem == Meridiem::None) {
        meridiem = in.meridiem();
        in.skipSpaces();
    }
    if (!in.atEnd())
        return std::nullopt;

    int hour24 = hour;
    if (meridiem != Meridiem::None) {
        if (hour > 12)
            return std::nullopt;
        hour24 = hour % 12 + (meridiem == Meridiem::Pm ? 12 : 0);
    }
    return TimeValue::fromHms(hour24, minute, second);
}

namespace {

QString twoDigits(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

QString format(TimeValue time, TimeFormat fmt)
{
    switch (fmt) {
    case TimeFormat::ShortTime:
        return twoDigits(time.hour()) + u':' + twoDigits(time.minute());
    case TimeFormat::Ss:
        return twoDigits(time.second());
    case TimeFormat::Alarm:
        return time.second() ? toText(time) : format(time, TimeFormat::ShortTime);
    }
    return QString();
}

QString format(int number, NumberFormat fmt)
{
    switch (fmt) {
    case NumberFormat::TwoDigitsColon:
        return twoDigits(number) + u':';
    case NumberFormat::TwoDigits:
        return twoDigits(number);
    }
    return QString();
}

QString toText(TimeValue time)
{
    return format(time, TimeFormat::ShortTime) + u':' + twoDigits(time.second());
}

TimeValue distance(TimeValue a, TimeValue b)
{
    return TimeValue::ofDay(std::abs(a.seconds() - b.seconds()));
}
