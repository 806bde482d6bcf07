#pragma once

#include <optional>

// A local wall-clock time of day in whole seconds since midnight (0..86399), without a date.
class TimeValue
{
public:
    static constexpr int kSecondsPerDay = 86400;

    constexpr TimeValue() = default;

    // Any second count, folded into one day (so -1 is 23:59:59 and 86400 is 00:00:00).
    static constexpr TimeValue ofDay(long long seconds)
    {
        long long s = seconds % kSecondsPerDay;
        return TimeValue(static_cast<int>(s < 0 ? s + kSecondsPerDay : s));
    }

    // nullopt unless 0 <= h <= 23, 0 <= m <= 59 and 0 <= s <= 59.
    static constexpr std::optional<TimeValue> fromHms(int h, int m, int s = 0)
    {
        if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
            return std::nullopt;
        return TimeValue(h * 3600 + m * 60 + s);
    }

    constexpr int seconds() const { return m_seconds; }
    constexpr int hour() const { return m_seconds / 3600; }
    constexpr int minute() const { return m_seconds / 60 % 60; }
    constexpr int second() const { return m_seconds % 60; }

    // Spelled out rather than <=>: Qt 6.4's moc cannot parse <compare> in headers it reads.
    friend constexpr bool operator==(TimeValue, TimeValue) = default;
    friend constexpr bool operator<(TimeValue a, TimeValue b) { return a.m_seconds < b.m_seconds; }
    friend constexpr bool operator>(TimeValue a, TimeValue b) { return b < a; }
    friend constexpr bool operator<=(TimeValue a, TimeValue b) { return !(b < a); }
    friend constexpr bool operator>=(TimeValue a, TimeValue b) { return !(a < b); }

private:
    explicit constexpr TimeValue(int seconds) : m_seconds(seconds) {}
    int m_seconds = 0;
};
