// Feeds arbitrary text to the time parser, read both as UTF-8 and as raw UTF-16 (which reaches
// unpaired surrogates and any code unit), and checks what must hold for every input.

#include "core/timeofday.h"

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

void checkText(const QString &text)
{
    const std::optional<QTime> time = parseTimeOfDay(text);

    // Spaces around a text never change what it means.
    CHECK(parseTimeOfDay(u" \u3000"_s + text + u"\u3000 "_s) == time);
    if (!time)
        return;

    CHECK(time->isValid() && time->msec() == 0);
    // The clock's text and the alarm as shown read back as the time itself.
    CHECK(parseTimeOfDay(time->toString(u"HH:mm:ss")) == time);
    CHECK(parseTimeOfDay(alarmText(*time)) == time);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkText(QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));

    QString utf16(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(utf16.data(), data, size / 2 * 2);
    checkText(utf16);
    return 0;
}
