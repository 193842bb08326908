// Fuzz target: the locale parsers of numbers, money, dates and times (the built-in English
// locale and the snapshot of the "C" locale), and dates built from text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "foundation/RWCString.h"
#include "foundation/RWDate.h"
#include "foundation/RWLocale.h"
#include "foundation/RWLocaleSnapshot.h"
#include "fuzz/FuzzCheck.h"

namespace {

void parseWith(const RWLocale& locale, const RWCString& text)
{
    long number = 0;
    locale.stringToNum(text, &number);
    double real = 0.0;
    locale.stringToNum(text, &real);
    double money = 0.0;
    locale.stringToMoney(text, &money, RWLocale::NONE);
    locale.stringToMoney(text, &money, RWLocale::LOCAL);
    locale.stringToMoney(text, &money, RWLocale::INTL);

    struct tm date = {};
    if (locale.stringToDate(text, &date)) {
        FUZZ_CHECK(date.tm_mon >= 0 && date.tm_mon <= 11, std::string(text.data(), text.length()));
        FUZZ_CHECK(date.tm_mday >= 1 && date.tm_mday <= 31, std::string(text.data(), text.length()));
    }
    struct tm time = {};
    if (locale.stringToTime(text, &time)) {
        FUZZ_CHECK(time.tm_hour >= 0 && time.tm_hour <= 23 && time.tm_min >= 0 && time.tm_min <= 59 &&
                       time.tm_sec >= 0 && time.tm_sec <= 61,
                   std::string(text.data(), text.length()));
    }
    const int month = locale.monthIndex(text);
    FUZZ_CHECK(month >= 0 && month <= 12);
    const int weekday = locale.weekdayIndex(text);
    FUZZ_CHECK(weekday >= 0 && weekday <= 7);

    RWDate fromText(text, locale);
    if (fromText.isValid())
        FUZZ_CHECK(fromText.dayOfMonth() >= 1 && fromText.dayOfMonth() <= 31);
}

} // namespace

// Input: the text parsed.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const RWLocaleDefault english;
    static const RWLocaleSnapshot cLocale("C");
    const RWCString text(reinterpret_cast<const char*>(data), size);
    parseWith(english, text);
    parseWith(cLocale, text);
    return 0;
}
