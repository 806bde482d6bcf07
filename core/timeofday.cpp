#include "core/timeofday.h"

// Text the program accepts as a time of day. Everything else is not a time, dates included.
//
//   H:mm        hour 0..23 in one or two digits, minute in exactly two (7:05, 07:05, 23:59)
//   H:mm:ss     the same with two-digit seconds (10:30:15)
//   H時         a whole hour (10時)
//   H時m分      minute in one or two digits (10時30分, 10時5分)
//   H時m分s秒   seconds in one or two digits (10時30分15秒)
//
// Any of these may carry one marker, 午前 / 午後 or AM / PM in any case, before or after, spaced
// or not (午後3時, 3:30 PM, am10:30); the hour is then 0..12: 午前12時 is 0:00, 午後0時 12:00.
// An input method leaves full-width characters behind: full-width ASCII (１０：３０) counts as
// ASCII, the ideographic space as a space. Spaces may lead and trail; no other character is
// allowed. The scanner never steps back, so a pasted text costs at most one pass.

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

std::optional<QTime> parseTimeOfDay(QStringView text)
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
    const QTime time(hour24, minute, second);
    return time.isValid() ? std::optional(time) : std::nullopt;
}

QString alarmText(QTime alarm)
{
    return alarm.toString(alarm.second() ? u"HH:mm:ss" : u"HH:mm");
}

QTime nextHalfHour(QTime now)
{
    constexpr int kHalfHourMs = 30 * 60 * 1000;
    const int next = (now.msecsSinceStartOfDay() / kHalfHourMs + 1) * kHalfHourMs;
    return QTime::fromMSecsSinceStartOfDay(next % (48 * kHalfHourMs));
}
