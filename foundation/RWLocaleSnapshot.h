// RWLocaleSnapshot: a locale that copies, once, the conventions of a named C library locale.
#pragma once

#include <ctime>

#include "foundation/RWCString.h"
#include "foundation/RWLocale.h"
#include "foundation/RWZone.h"

// One hole of a format template: what goes in and where in the template text.
struct RWFmtPiece {
    RWFmtPiece* next = nullptr;  // pieces are kept in ascending position; each deletes its successor
    int kind = 0;
    int position = 0;

    RWFmtPiece(int k, int pos) : kind(k), position(pos) {}
    ~RWFmtPiece() { delete next; }
    RWFmtPiece(const RWFmtPiece&) = delete;
    RWFmtPiece& operator=(const RWFmtPiece&) = delete;
};

class RWLocaleSnapshot : public RWLocale {
public:
    using RWLocale::asString;

    // A null name takes the C library's current locale. The library's locale is the same afterwards.
    explicit RWLocaleSnapshot(const char* localeName = nullptr);
    ~RWLocaleSnapshot() override;
    RWLocaleSnapshot(const RWLocaleSnapshot&) = delete;
    RWLocaleSnapshot& operator=(const RWLocaleSnapshot&) = delete;

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

    // The name the C library reported for the snapshot's locale.
    const RWCString& localeName() const { return locale_name; }

    RWCString locale_name;
    RWCString decimal_point;
    RWCString thousands_sep;
    RWCString grouping;
    RWCString int_curr_symbol;
    RWCString currency_symbol;
    RWCString mon_decimal_point;
    RWCString mon_thousands_sep;
    RWCString mon_grouping;
    RWCString positive_sign;
    RWCString negative_sign;
    signed char int_frac_digits;
    signed char frac_digits;
    signed char p_cs_precedes;
    signed char p_sep_by_space;
    signed char n_cs_precedes;
    signed char n_sep_by_space;
    signed char p_sign_posn;
    signed char n_sign_posn;

private:
    struct Template {
        RWCString text;
        RWFmtPiece* pieces = nullptr;
    };

    RWCString pieceText(int kind, const struct tm* t, const RWZone& zone) const;
    RWCString fillTemplate(const Template& tpl, const struct tm* t, const RWZone& zone) const;
    RWCString moneyNumber(double value, int fracDigits) const;

    RWCString weekdays[7];
    RWCString weekAbbs[7];
    RWCString monthNames[12];
    RWCString monthAbbs[12];
    RWCString am;
    RWCString pm;
    int monthNamesWithDigits = 0;
    Template timeFormat;      // 'X'
    Template dateFormat;      // 'x'
    Template dateTimeFormat;  // 'c'
    Template longFormat;      // 'C'
    const char* posPattern = nullptr;
    const char* negPattern = nullptr;
    double fracScale = 1;
    double intFracScale = 1;
    int dateOrder = 1;  // 0 day-month-year, 1 month-day-year, 2 year-day-month, 3 year-month-day
};
