// Locale set-up shared by the tests: compiling locales with localedef, probing and calendar times.
// Include it in the one source of a test executable (it defines the leak checker's suppressions).
#pragma once

#include <fcntl.h>
#include <locale.h>
#include <spawn.h>
#include <sys/wait.h>

#include <ctime>
#include <string>

extern char** environ;

// The C library keeps a small copy of LOCPATH for each locale it loads from there, and never frees
// it; the leak checker of sanitized builds is told so.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:__argz_add_sep\n";
}

namespace testlocales {

// True when the C library can load the named locale now.
inline bool localeInstalled(const char* name)
{
    locale_t loc = newlocale(LC_ALL_MASK, name, nullptr);
    if (!loc)
        return false;
    freelocale(loc);
    return true;
}

// Runs "localedef -i source -f UTF-8 out" with its output thrown away. Gives localedef's exit
// status, or -1 when it could not be run or did not exit normally. localedef also exits non-zero
// after mere warnings, so a caller may still look for what it wrote.
inline int runLocaledef(const char* source, const std::string& out)
{
    const char* argv[] = {"localedef", "-i", source, "-f", "UTF-8", out.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int rc = posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// strftime in the given C library locale.
inline std::string strftimeIn(locale_t loc, const char* fmt, const struct tm* t)
{
    char buffer[256];
    size_t n = strftime_l(buffer, sizeof buffer, fmt, t, loc);
    return std::string(buffer, n);
}

// The locale tests' reference time: Friday 30 November 1990, 22:54:56, standard time.
inline struct tm referenceTime()
{
    struct tm t {};
    t.tm_year = 90;
    t.tm_mon = 10;
    t.tm_mday = 30;
    t.tm_hour = 22;
    t.tm_min = 54;
    t.tm_sec = 56;
    t.tm_wday = 5;
    t.tm_yday = 333;
    t.tm_isdst = 0;
    return t;
}

// A UTC calendar time with its weekday and day of the year filled in.
inline struct tm calendarTime(int year, int mon, int mday, int hour, int min, int sec)
{
    struct tm t {};
    t.tm_year = year;
    t.tm_mon = mon;
    t.tm_mday = mday;
    t.tm_hour = hour;
    t.tm_min = min;
    t.tm_sec = sec;
    timegm(&t);  // fills tm_wday and tm_yday
    t.tm_isdst = 0;
    return t;
}

}  // namespace testlocales
