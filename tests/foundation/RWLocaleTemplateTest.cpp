// Tests of the snapshot's format templates for a locale whose date and time fields stand
// side by side without separators ("%d%m%Y", "%M%S"), built for the test with localedef.
#include "foundation/RWLocaleSnapshot.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "support/TestLocales.h"

using testlocales::calendarTime;
using testlocales::strftimeIn;

namespace {

const char kLocaleName[] = "xx_DMY.UTF-8";

const char kLocaleSource[] =
    "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
    "LC_NUMERIC\ncopy \"POSIX\"\nEND LC_NUMERIC\n"
    "LC_MONETARY\ncopy \"POSIX\"\nEND LC_MONETARY\n"
    "LC_COLLATE\ncopy \"POSIX\"\nEND LC_COLLATE\n"
    "LC_MESSAGES\ncopy \"POSIX\"\nEND LC_MESSAGES\n"
    "LC_TIME\n"
    "abday \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
    "day \"Sunday\";\"Monday\";\"Tuesday\";\"Wednesday\";\"Thursday\";\"Friday\";\"Saturday\"\n"
    "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";\"Oct\";\"Nov\";\"Dec\"\n"
    "mon \"January\";\"February\";\"March\";\"April\";\"May\";\"June\";\"July\";\"August\";"
    "\"September\";\"October\";\"November\";\"December\"\n"
    "d_t_fmt \"%a %d%m%Y %H%M%S\"\n"
    "d_fmt \"%d%m%Y\"\n"
    "t_fmt \"%M%S\"\n"
    "am_pm \"AM\";\"PM\"\n"
    "t_fmt_ampm \"%I:%M:%S %p\"\n"
    "END LC_TIME\n";

// Compiles the test locale into a private folder and points LOCPATH at it. localedef warns
// (and exits non-zero) about the categories the source leaves out; the locale is usable anyway.
bool prepareLocale()
{
    static TempDir folder;
    static int state = 0;  // 0 not tried, 1 ready, -1 unavailable
    if (state != 0)
        return state > 0;
    state = -1;
    const std::string source = folder.write("xx_DMY", kLocaleSource);
    const std::string out = folder.file(kLocaleName);
    if (testlocales::runLocaledef(source.c_str(), out) < 0 || !std::filesystem::exists(out + "/LC_TIME"))
        return false;
    setenv("LOCPATH", folder.path().c_str(), 1);
    if (!testlocales::localeInstalled(kLocaleName))
        return false;
    state = 1;
    return true;
}


TEST(RWLocaleTemplateTest, AdjacentFieldsKeepTheirOrder)
{
    if (!prepareLocale())
        GTEST_SKIP() << "localedef cannot build the test locale here";
    RWLocaleSnapshot snap(kLocaleName);
    locale_t loc = newlocale(LC_ALL_MASK, kLocaleName, nullptr);
    ASSERT_NE(nullptr, loc);
    const struct {
        char letter;
        const char* format;
    } directives[] = {{'x', "%x"}, {'X', "%X"}, {'c', "%c"}};
    for (struct tm t : {calendarTime(90, 10, 30, 22, 54, 56), calendarTime(101, 0, 5, 3, 4, 7)})
        for (const auto& d : directives)
            EXPECT_EQ(strftimeIn(loc, d.format, &t), snap.asString(&t, d.letter, RWZone::utc()).data())
                << d.format;
    freelocale(loc);
}

TEST(RWLocaleTemplateTest, DayMonthYearOrderComesFromTheTemplate)
{
    if (!prepareLocale())
        GTEST_SKIP() << "localedef cannot build the test locale here";
    RWLocaleSnapshot snap(kLocaleName);
    const struct {
        const char* text;
        int year, mon, mday;
    } cases[] = {{"30111990", 90, 10, 30}, {"05012001", 101, 0, 5}, {"5.1.2001", 101, 0, 5}};
    for (const auto& c : cases) {
        struct tm t {};
        ASSERT_TRUE(snap.stringToDate(RWCString(c.text), &t)) << c.text;
        EXPECT_EQ(c.year, t.tm_year) << c.text;
        EXPECT_EQ(c.mon, t.tm_mon) << c.text;
        EXPECT_EQ(c.mday, t.tm_mday) << c.text;
    }
}

}  // namespace
