// RWLocale and RWLocaleDefault: formatting and parsing of numbers, money, dates and times.
#pragma once

#include <ctime>
#include <ios>

#include "foundation/RWCString.h"
#include "foundation/RWZone.h"

class RWLocale {
public:
    enum CurrSymbol { NONE = 0, LOCAL = 1, INTL = 2 };

    virtual ~RWLocale();
    // One formatting directive: the letter of a % directive.
    virtual RWCString asString(const struct tm* t, char letter, const RWZone& zone = RWZone::local()) const = 0;
    virtual RWCString asString(double value, int precision = 6, bool showpoint = false) const = 0;
    virtual RWCString asString(unsigned long value) const = 0;
    virtual RWCString asString(long value) const = 0;
    // amount counts the smallest unit of the currency (cents).
    virtual RWCString moneyAsString(double amount, CurrSymbol symbol = LOCAL) const = 0;
    // Parsers answer false and leave their output untouched on failure.
    virtual bool stringToNum(const RWCString& text, long* out) const = 0;
    virtual bool stringToNum(const RWCString& text, double* out) const = 0;
    virtual bool stringToDate(const RWCString& text, struct tm* t) const = 0;  // tm_year, tm_mon, tm_mday
    virtual bool stringToTime(const RWCString& text, struct tm* t) const = 0;  // tm_hour, tm_min, tm_sec
    virtual bool stringToMoney(const RWCString& text, double* out, CurrSymbol symbol = LOCAL) const = 0;
    virtual int monthIndex(const RWCString& name) const = 0;    // 1 to 12, 0 when unknown
    virtual int weekdayIndex(const RWCString& name) const = 0;  // 1 (Monday) to 7, 0 when unknown

    // Formats t by a format text of % directives ("%%" gives one '%').
    RWCString asString(const struct tm* t, const char* format, const RWZone& zone = RWZone::local()) const;

    // The process-wide locale: a snapshot of the "C" locale unless replaced.
    static const RWLocale& global();
    // Installs loc and hands back the previous one (not deleted).
    static const RWLocale* global(const RWLocale* loc);
    // The locale to use with a standard stream.
    static const RWLocale& of(std::ios_base& stream);
};

// Built-in English names and fixed formats.
class RWLocaleDefault : public RWLocale {
public:
    using RWLocale::asString;

    RWCString asString(const struct tm* t, char letter, const RWZone& zone = RWZone::local()) const override;
    RWCString asString(double value, int precision = 6, bool showpoint = false) const override;
    RWCString asString(unsigned long value) const override;
    RWCString asString(long value) const override;
    RWCString moneyAsString(double amount, CurrSymbol symbol = LOCAL) const override;
    bool stringToNum(const RWCString& text, long* out) const override;
    bool stringToNum(const RWCString& text, double* out) const override;
    bool stringToDate(const RWCString& text, struct tm* t) const override;
    bool stringToTime(const RWCString& text, struct tm* t) const override;
    bool stringToMoney(const RWCString& text, double* out, CurrSymbol symbol = LOCAL) const override;
    int monthIndex(const RWCString& name) const override;
    int weekdayIndex(const RWCString& name) const override;
};
