// Feeds arbitrary text to the time parser, read both as UTF-8 and as raw UTF-16 (which reaches
// unpaired surrogates and any code unit), and checks what must hold for every input.

#include "core/caption.h"
#include "core/tick.h"
#include "core/timetext.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant failed: %s (line %d)\n", #condition, __LINE__);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace {

int minuteOf(const std::optional<TimeValue> &time)
{
    CHECK(time.has_value());
    return time->seconds() / 60 * 60;
}

void checkText(const QString &text, TimeValue now)
{
    const std::optional<TimeValue> time = convert(text);

    // Spaces around a text never change what it means.
    CHECK(convert(u" \u3000"_s + text + u"\u3000 "_s) == time);

    // A text alarm never rings, whatever it says.
    ClockTick tick;
    CHECK(!tick.decide(now, text, false, AlarmValue(text)).ring);

    // Nor is it counted down.
    CHECK(!countdownCaption(now, AlarmValue(text), text).has_value());
    if (!time)
        return;

    CHECK(time->seconds() >= 0 && time->seconds() < TimeValue::kSecondsPerDay);
    CHECK(convert(toText(*time)) == time);
    CHECK(minuteOf(convert(format(*time, TimeFormat::ShortTime))) == minuteOf(time));
    // The alarm as shown reads back as itself.
    CHECK(convert(format(*time, TimeFormat::Alarm)) == time);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const TimeValue now = TimeValue::ofDay(static_cast<long long>(size) * 7919);

    checkText(QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
              now);

    QString utf16(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(utf16.data(), data, size / 2 * 2);
    checkText(utf16, now);
    return 0;
}
