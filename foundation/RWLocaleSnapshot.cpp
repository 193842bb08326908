// RWLocaleSnapshot: copies a C library locale once, then formats and parses by itself.
#include "foundation/RWLocaleSnapshot.h"

#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/RWLocaleText.h"

using rwlocale::equalsIgnoringCase;
using rwlocale::findIgnoringCase;
using rwlocale::format;
using rwlocale::isDigit;
using rwlocale::toRW;
using rwlocale::upper;
using rwlocale::view;

namespace {

// Ten four-character money patterns: 'm' number, '$' symbol, '-' sign text, ' ' a blank written
// only with the sign-by-space flag, '(' parentheses around the whole amount.
const char kMoneyPatterns[] = "(m $-m $m $-m- $m $-($ m-$ m$ m--$ m$ -m";
const char kIntlPattern[] = "$-m ";

// The strftime letter whose sample identifies each piece kind; kinds 18 and 19 have none.
const char kKindLetters[18] = {'Y', 'y', 'j', 'S', 'M', 'I', 'H', 'm', 'B', 'b', 'A', 'a', 'p', 'd', 'Z', 'U', 'W', 'w'};
enum Kind {
    kYear = 0, kYear2 = 1, kYearDay = 2, kSecond = 3, kMinute = 4, kHour12 = 5, kHour = 6, kMonth = 7,
    kMonthName = 8, kMonthAbb = 9, kWeekday = 10, kWeekAbb = 11, kAmPm = 12, kDay = 13, kZone = 14,
    kWeekSun = 15, kWeekMon = 16, kWeekdayNum = 17, kDayBlank = 18, kMonthBlank = 19
};

const long kMaxLong32 = 2147483647L;

std::string strftimeText(const char* fmt, const struct tm* t)
{
    char buffer[256];
    size_t n = std::strftime(buffer, sizeof buffer, fmt, t);
    return std::string(buffer, n);
}

std::string stripTrailingBlanks(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

bool hasDigit(std::string_view s)
{
    for (char c : s)
        if (isDigit(c))
            return true;
    return false;
}

signed char clampDigits(char v) { return (v < 0 || v > 18) ? 0 : static_cast<signed char>(v); }

double powerOfTen(int n)
{
    double v = 1;
    for (int i = 0; i < n; ++i)
        v *= 10;
    return v;
}

int groupSize(std::string_view grouping, size_t index)
{
    if (grouping.empty())
        return 0;
    if (index >= grouping.size())
        index = grouping.size() - 1;
    return static_cast<unsigned char>(grouping[index]) & 0x0F;
}

// Inserts sep between the groups of a run of digits, walking left from the last digit.
std::string groupDigits(std::string_view digits, std::string_view grouping, std::string_view sep)
{
    if (grouping.empty() || sep.empty())
        return std::string(digits);
    std::string reversed;
    size_t groupIndex = 0;
    int size = groupSize(grouping, 0);
    int count = 0;
    for (size_t i = digits.size(); i-- > 0;) {
        if (size > 0 && count == size) {
            reversed.append(sep.rbegin(), sep.rend());
            count = 0;
            if (groupIndex + 1 < grouping.size())
                size = groupSize(grouping, ++groupIndex);
        }
        reversed += digits[i];
        ++count;
    }
    return std::string(reversed.rbegin(), reversed.rend());
}

// A number printed with "%.*f" rewritten with the locale's grouping, separator and decimal point.
std::string localiseNumber(const std::string& printed, std::string_view grouping, std::string_view sep,
                           std::string_view decimalPoint, bool showpoint)
{
    size_t pos = 0;
    std::string out;
    if (pos < printed.size() && printed[pos] == '-') {
        out += '-';
        ++pos;
    }
    size_t digitsStart = pos;
    while (pos < printed.size() && isDigit(printed[pos]))
        ++pos;
    if (pos == digitsStart)
        return printed;  // inf or nan
    out += groupDigits(std::string_view(printed).substr(digitsStart, pos - digitsStart), grouping, sep);
    if (pos < printed.size()) {
        out.append(decimalPoint);
        out.append(printed, pos + 1, std::string::npos);
    } else if (showpoint) {
        out.append(decimalPoint);
    }
    return out;
}

// Reads digit runs, each optionally followed by the separator; notes the digit count at each
// separator. Fails when more than maxNotes separators are met.
bool readGroupedDigits(std::string_view text, size_t& pos, std::string_view sep, size_t maxNotes,
                       std::string& digits, std::vector<size_t>& notes)
{
    for (;;) {
        while (pos < text.size() && isDigit(text[pos]))
            digits += text[pos++];
        if (sep.empty() || text.substr(pos, sep.size()) != sep)
            return true;
        if (notes.size() >= maxNotes)
            return false;
        notes.push_back(digits.size());
        pos += sep.size();
    }
}

// Whether the separators noted in a number match the grouping; may move pos back onto a
// trailing blank separator, which then is not part of the number.
bool groupingMatches(std::vector<size_t> notes, size_t digitCount, std::string_view grouping, std::string_view sep,
                     size_t& pos)
{
    if (notes.empty())
        return true;
    if (notes.back() == digitCount) {
        if (sep.empty() || sep[0] != ' ')
            return false;
        notes.pop_back();
        pos -= sep.size();
        if (notes.empty())
            return true;
    }
    if (grouping.empty())
        return false;
    size_t end = digitCount;
    size_t groupIndex = 0;
    for (size_t k = notes.size(); k-- > 0;) {
        if (end - notes[k] != static_cast<size_t>(groupSize(grouping, groupIndex)))
            return false;
        end = notes[k];
        ++groupIndex;
    }
    // The leading group: at least one digit and no more than its size.
    return end >= 1 && end <= static_cast<size_t>(groupSize(grouping, groupIndex));
}

// Reads a field of a numeric date; sawSeparator persists over the fields of one text.
bool readDateField(std::string_view text, size_t& pos, size_t maxDigits, size_t namePos, size_t nameLen,
                   bool& sawSeparator, unsigned& value)
{
    for (;;) {
        if (nameLen > 0 && pos == namePos) {
            pos += nameLen;
            continue;
        }
        if (pos >= text.size())
            return false;
        if (isDigit(text[pos]))
            break;
        sawSeparator = true;
        ++pos;
    }
    value = 0;
    size_t n = 0;
    while (n < maxDigits && pos < text.size() && isDigit(text[pos])) {
        value = value * 10 + static_cast<unsigned>(text[pos++] - '0');
        ++n;
    }
    // A number longer than its field after a separator.
    return !(sawSeparator && pos < text.size() && isDigit(text[pos]));
}

bool isTimeBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

void skipTimeBlanks(std::string_view text, size_t& pos)
{
    while (pos < text.size() && isTimeBlank(text[pos]))
        ++pos;
}

// "AM" or "PM" in any letter case: 'A' or 'P', 0 when absent.
char readMeridian(std::string_view text, size_t& pos)
{
    if (pos + 1 < text.size() && upper(text[pos + 1]) == 'M') {
        int c = upper(text[pos]);
        if (c == 'A' || c == 'P') {
            pos += 2;
            return static_cast<char>(c);
        }
    }
    return 0;
}

// One or two digits; false when none.
bool readTimeField(std::string_view text, size_t& pos, unsigned& value)
{
    if (pos >= text.size() || !isDigit(text[pos]))
        return false;
    value = static_cast<unsigned>(text[pos++] - '0');
    if (pos < text.size() && isDigit(text[pos]))
        value = value * 10 + static_cast<unsigned>(text[pos++] - '0');
    return true;
}

bool isTimeSeparator(std::string_view text, size_t pos)
{
    return pos < text.size() && (text[pos] == ':' || text[pos] == '.');
}

RWFmtPiece* insertPiece(RWFmtPiece* head, RWFmtPiece* piece)
{
    // After pieces at the same position (their holes lay right before the cut text), before
    // those further on.
    if (!head || head->position > piece->position) {
        piece->next = head;
        return piece;
    }
    RWFmtPiece* p = head;
    while (p->next && p->next->position <= piece->position)
        p = p->next;
    piece->next = p->next;
    p->next = piece;
    return head;
}

}  // namespace

RWLocaleSnapshot::RWLocaleSnapshot(const char* localeName)
{
    // Copy the current name first: the next setlocale call overwrites the library's buffer.
    std::string remembered;
    if (const char* current = std::setlocale(LC_ALL, nullptr))
        remembered = current;
    if (localeName)
        std::setlocale(LC_ALL, localeName);
    if (const char* now = std::setlocale(LC_ALL, nullptr))
        locale_name = RWCString(now);

    const struct lconv* lc = std::localeconv();
    auto copy = [](const char* s) { return RWCString(s ? s : ""); };
    decimal_point = copy(lc->decimal_point);
    thousands_sep = copy(lc->thousands_sep);
    grouping = copy(lc->grouping);
    int_curr_symbol = copy(lc->int_curr_symbol);
    currency_symbol = copy(lc->currency_symbol);
    mon_decimal_point = copy(lc->mon_decimal_point);
    mon_thousands_sep = copy(lc->mon_thousands_sep);
    mon_grouping = copy(lc->mon_grouping);
    positive_sign = copy(lc->positive_sign);
    negative_sign = copy(lc->negative_sign);
    int_frac_digits = clampDigits(lc->int_frac_digits);
    frac_digits = clampDigits(lc->frac_digits);
    p_cs_precedes = static_cast<signed char>(lc->p_cs_precedes);
    p_sep_by_space = static_cast<signed char>(lc->p_sep_by_space);
    n_cs_precedes = static_cast<signed char>(lc->n_cs_precedes);
    n_sep_by_space = static_cast<signed char>(lc->n_sep_by_space);
    p_sign_posn = static_cast<signed char>(lc->p_sign_posn);
    n_sign_posn = static_cast<signed char>(lc->n_sign_posn);
    if (n_sign_posn < 0 || n_sign_posn > 4)
        n_sign_posn = 0;
    if (p_sign_posn < 0 || p_sign_posn > 4)
        p_sign_posn = 1;

    // The reference time: Friday 30 November 1990, 22:54:56.
    struct tm ref {};
    ref.tm_year = 90;
    ref.tm_mon = 10;
    ref.tm_mday = 30;
    ref.tm_hour = 22;
    ref.tm_min = 54;
    ref.tm_sec = 56;
    ref.tm_wday = 5;
    ref.tm_yday = -1;
    ref.tm_isdst = -1;
    std::mktime(&ref);
    ref.tm_hour = 22;
    ref.tm_min = 54;

    struct tm t = ref;
    for (int i = 0; i < 7; ++i) {
        t.tm_wday = i;
        weekdays[i] = toRW(strftimeText("%A", &t));
        weekAbbs[i] = toRW(strftimeText("%a", &t));
    }
    t = ref;
    for (int i = 0; i < 12; ++i) {
        t.tm_mon = i;
        std::string name = strftimeText("%B", &t);
        std::string abb = stripTrailingBlanks(strftimeText("%b", &t));
        monthNamesWithDigits += hasDigit(name) + hasDigit(abb);
        monthNames[i] = toRW(name);
        monthAbbs[i] = toRW(abb);
    }
    t = ref;
    t.tm_hour = 5;
    am = toRW(strftimeText("%p", &t));
    t.tm_hour = 15;
    pm = toRW(strftimeText("%p", &t));

    std::string samples[18];
    for (int k = 0; k < 18; ++k) {
        const char fmt[3] = {'%', kKindLetters[k], '\0'};
        samples[k] = strftimeText(fmt, &ref);
    }

    struct {
        Template* tpl;
        const char* format;
        bool padTest;
    } const formats[4] = {
        {&timeFormat, "%X", false},
        {&dateFormat, "%x", true},
        {&dateTimeFormat, "%c", true},
        {&longFormat, "%#c", true},
    };
    for (const auto& f : formats) {
        const std::string printed = strftimeText(f.format, &ref);
        std::string text = printed;
        RWFmtPiece* head = nullptr;
        for (int k = 0; k < 18; ++k) {
            const std::string& sample = samples[k];
            if (sample.empty())
                continue;
            const size_t at = text.find(sample);
            if (at == std::string::npos)
                continue;
            text.erase(at, sample.size());
            const int cut = static_cast<int>(at);
            const int len = static_cast<int>(sample.size());
            // The new hole goes before every hole that lay after the cut text, even one right
            // behind it ("%d%m%Y"); only then do those move left.
            RWFmtPiece* piece = new RWFmtPiece(k, cut);
            head = insertPiece(head, piece);
            for (RWFmtPiece* p = piece->next; p; p = p->next)
                p->position = p->position - len < cut ? cut : p->position - len;
        }
        if (f.padTest) {
            for (RWFmtPiece* p = head; p; p = p->next) {
                if (p->kind != kDay && p->kind != kMonth)
                    continue;
                struct tm probe = ref;
                if (p->kind == kDay)
                    probe.tm_mday = 2;
                else
                    probe.tm_mon = 1;
                const std::string again = strftimeText(f.format, &probe);
                size_t i = 0;
                while (i < again.size() && i < printed.size() && again[i] == printed[i])
                    ++i;
                if (i < again.size() && i < printed.size() && again[i] == ' ' && isDigit(printed[i]))
                    p->kind = p->kind == kDay ? kDayBlank : kMonthBlank;
            }
        }
        f.tpl->text = toRW(text);
        f.tpl->pieces = head;
    }

    // The order of the numeric date fields, from the date template.
    int counter = 0, yearAt = 0, monthAt = 0, dayAt = 0;
    for (const RWFmtPiece* p = dateFormat.pieces; p; p = p->next) {
        switch (p->kind) {
        case kYear:
        case kYear2:
            if (!yearAt)
                yearAt = ++counter;
            break;
        case kMonth:
        case kMonthName:
        case kMonthAbb:
        case kMonthBlank:
            if (!monthAt)
                monthAt = ++counter;
            break;
        case kDay:
        case kDayBlank:
            if (!dayAt)
                dayAt = ++counter;
            break;
        default:
            break;
        }
    }
    if (!yearAt)
        yearAt = ++counter;
    dateOrder = (yearAt < monthAt ? 2 : 0) + (monthAt < dayAt ? 1 : 0);

    posPattern = kMoneyPatterns + p_sign_posn * 4 + (p_cs_precedes & 1) * 20;
    negPattern = kMoneyPatterns + n_sign_posn * 4 + (n_cs_precedes & 1) * 20;
    fracScale = powerOfTen(frac_digits);
    intFracScale = powerOfTen(int_frac_digits);

    if (localeName)
        std::setlocale(LC_ALL, remembered.c_str());
}

RWLocaleSnapshot::~RWLocaleSnapshot()
{
    delete timeFormat.pieces;
    delete dateFormat.pieces;
    delete dateTimeFormat.pieces;
    delete longFormat.pieces;
}

RWCString RWLocaleSnapshot::pieceText(int kind, const struct tm* t, const RWZone& zone) const
{
    switch (kind) {
    case kYear:
        return toRW(format("%04d", t->tm_year + 1900));
    case kYear2:
        return toRW(format("%02d", (t->tm_year + 1900) % 100));
    case kYearDay:
        return toRW(format("%03d", t->tm_yday + 1));
    case kSecond:
        return toRW(format("%02d", t->tm_sec));
    case kMinute:
        return toRW(format("%02d", t->tm_min));
    case kHour12: {
        int h = t->tm_hour;
        if (h == 0)
            h = 12;
        else if (h > 12)
            h -= 12;
        return toRW(format("%02d", h));
    }
    case kHour:
        return toRW(format("%02d", t->tm_hour));
    case kMonth:
        return toRW(format("%02d", t->tm_mon + 1));
    case kMonthName:
        return t->tm_mon >= 0 && t->tm_mon < 12 ? monthNames[t->tm_mon] : RWCString();
    case kMonthAbb:
        return t->tm_mon >= 0 && t->tm_mon < 12 ? monthAbbs[t->tm_mon] : RWCString();
    case kWeekday:
        return t->tm_wday >= 0 && t->tm_wday < 7 ? weekdays[t->tm_wday] : RWCString();
    case kWeekAbb:
        return t->tm_wday >= 0 && t->tm_wday < 7 ? weekAbbs[t->tm_wday] : RWCString();
    case kAmPm:
        return t->tm_hour >= 12 ? pm : am;
    case kDay:
        return toRW(format("%02d", t->tm_mday));
    case kZone:
        if (t->tm_isdst == 0)
            return zone.timeZoneName();
        if (t->tm_isdst == 1)
            return zone.altZoneName();
        return RWCString();
    case kWeekSun:
        return toRW(format("%02d", (t->tm_yday - t->tm_wday + 7) / 7));
    case kWeekMon:
        return toRW(format("%02d", (t->tm_yday - (t->tm_wday + 6) % 7 + 7) / 7));
    case kWeekdayNum:
        return toRW(format("%1d", t->tm_wday));
    case kDayBlank:
        return toRW(format("%2d", t->tm_mday));
    case kMonthBlank:
        return toRW(format("%2d", t->tm_mon + 1));
    default:
        return RWCString();
    }
}

RWCString RWLocaleSnapshot::fillTemplate(const Template& tpl, const struct tm* t, const RWZone& zone) const
{
    std::string_view text = view(tpl.text);
    std::string out;
    size_t from = 0;
    for (const RWFmtPiece* p = tpl.pieces; p; p = p->next) {
        size_t at = static_cast<size_t>(p->position);
        if (at > text.size())
            at = text.size();
        if (at > from) {
            out.append(text.substr(from, at - from));
            from = at;
        }
        RWCString piece = pieceText(p->kind, t, zone);
        out.append(piece.data(), piece.length());
    }
    out.append(text.substr(from));
    return toRW(out);
}

RWCString RWLocaleSnapshot::asString(const struct tm* t, char letter, const RWZone& zone) const
{
    switch (letter) {
    case 'A': return pieceText(kWeekday, t, zone);
    case 'a': return pieceText(kWeekAbb, t, zone);
    case 'B': return pieceText(kMonthName, t, zone);
    case 'b': return pieceText(kMonthAbb, t, zone);
    case 'p': return pieceText(kAmPm, t, zone);
    case 'Z': return pieceText(kZone, t, zone);
    case 'H': return pieceText(kHour, t, zone);
    case 'I': return pieceText(kHour12, t, zone);
    case 'M': return pieceText(kMinute, t, zone);
    case 'S': return pieceText(kSecond, t, zone);
    case 'U': return pieceText(kWeekSun, t, zone);
    case 'W': return pieceText(kWeekMon, t, zone);
    case 'Y': return pieceText(kYear, t, zone);
    case 'd': return pieceText(kDay, t, zone);
    case 'j': return pieceText(kYearDay, t, zone);
    case 'm': return pieceText(kMonth, t, zone);
    case 'w': return pieceText(kWeekdayNum, t, zone);
    case 'y': return pieceText(kYear2, t, zone);
    case 'X': return fillTemplate(timeFormat, t, zone);
    case 'x': return fillTemplate(dateFormat, t, zone);
    case 'c': return fillTemplate(dateTimeFormat, t, zone);
    case 'C': return fillTemplate(longFormat, t, zone);
    default: return RWCString();
    }
}

RWCString RWLocaleSnapshot::asString(double value, int precision, bool showpoint) const
{
    return toRW(localiseNumber(format("%.*f", precision, value), view(grouping), view(thousands_sep),
                               view(decimal_point), showpoint));
}

RWCString RWLocaleSnapshot::asString(unsigned long value) const
{
    return toRW(groupDigits(format("%lu", value), view(grouping), view(thousands_sep)));
}

RWCString RWLocaleSnapshot::asString(long value) const
{
    const unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    std::string out = value < 0 ? "-" : "";
    out += groupDigits(format("%lu", magnitude), view(grouping), view(thousands_sep));
    return toRW(out);
}

RWCString RWLocaleSnapshot::moneyNumber(double value, int fracDigits) const
{
    return toRW(localiseNumber(format("%.*f", fracDigits, value), view(mon_grouping), view(mon_thousands_sep),
                               view(mon_decimal_point), false));
}

RWCString RWLocaleSnapshot::moneyAsString(double amount, CurrSymbol symbol) const
{
    const bool negative = amount < 0;
    if (negative)
        amount = -amount;
    const char* pattern;
    RWCString symbolText;
    bool space;
    RWCString number;
    const RWCString& signText = negative ? negative_sign : positive_sign;
    if (symbol == INTL) {
        symbolText = int_curr_symbol;
        pattern = kIntlPattern;
        space = false;
        number = moneyNumber(amount / intFracScale, int_frac_digits);
    } else {
        if (symbol == LOCAL)
            symbolText = currency_symbol;
        pattern = negative ? negPattern : posPattern;
        space = (negative ? n_sep_by_space : p_sep_by_space) != 0;
        number = moneyNumber(amount / fracScale, frac_digits);
    }
    std::string out;
    bool parenthesis = false;
    for (int i = 0; i < 4; ++i) {
        switch (pattern[i]) {
        case 'm':
            out.append(number.data(), number.length());
            break;
        case '$':
            out.append(symbolText.data(), symbolText.length());
            break;
        case '-':
            out.append(signText.data(), signText.length());
            break;
        case ' ':
            if (space)
                out += ' ';
            break;
        case '(':
            out += '(';
            parenthesis = true;
            break;
        default:
            break;
        }
    }
    if (parenthesis)
        out += ')';
    return toRW(out);
}

bool RWLocaleSnapshot::stringToNum(const RWCString& str, long* out) const
{
    std::string_view text = view(str);
    size_t pos = 0;
    rwlocale::skipSpaces(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    std::string digits;
    std::vector<size_t> notes;
    if (pos >= text.size() || !isDigit(text[pos]))
        return false;
    readGroupedDigits(text, pos, view(thousands_sep), SIZE_MAX, digits, notes);
    if (!groupingMatches(notes, digits.size(), view(grouping), view(thousands_sep), pos))
        return false;
    rwlocale::skipSpaces(text, pos);
    if (pos != text.size())
        return false;
    long magnitude = 0;
    for (char c : digits) {
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kMaxLong32)
            return false;
    }
    *out = negative ? -magnitude : magnitude;
    return true;
}

bool RWLocaleSnapshot::stringToNum(const RWCString& str, double* out) const
{
    std::string_view text = view(str);
    if (text.size() >= 256)
        return false;
    size_t pos = 0;
    rwlocale::skipSpaces(text, pos);
    std::string collected;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        collected += text[pos++];
    std::string digits;
    std::vector<size_t> notes;
    if (pos < text.size() && isDigit(text[pos]))
        readGroupedDigits(text, pos, view(thousands_sep), SIZE_MAX, digits, notes);
    if (!groupingMatches(notes, digits.size(), view(grouping), view(thousands_sep), pos))
        return false;
    collected += digits;
    const std::string_view point = view(decimal_point);
    if (!point.empty() && text.substr(pos, point.size()) == point) {
        pos += point.size();
        std::string fraction;
        while (pos < text.size() && isDigit(text[pos]))
            fraction += text[pos++];
        if (digits.empty() && fraction.empty())
            return false;
        const char* radix = std::localeconv()->decimal_point;
        collected += (radix && *radix) ? radix : ".";
        collected += fraction;
    } else if (digits.empty()) {
        return false;
    }
    if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
        collected += text[pos++];
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            collected += text[pos++];
        if (pos >= text.size() || !isDigit(text[pos]))
            return false;
        while (pos < text.size() && isDigit(text[pos]))
            collected += text[pos++];
    }
    rwlocale::skipSpaces(text, pos);
    if (pos != text.size())
        return false;
    char* end = nullptr;
    const double value = std::strtod(collected.c_str(), &end);
    if (end != collected.c_str() + collected.size())
        return false;
    *out = value;
    return true;
}

bool RWLocaleSnapshot::stringToDate(const RWCString& str, struct tm* t) const
{
    std::string_view text = view(str);
    unsigned month = 0;
    size_t namePos = 0;
    size_t nameLen = 0;
    if (monthNamesWithDigits == 0) {
        for (int i = 11; i >= 0 && month == 0; --i) {
            for (const RWCString* name : {&monthNames[i], &monthAbbs[i]}) {
                size_t at = findIgnoringCase(text, view(*name));
                if (at != std::string_view::npos) {
                    month = static_cast<unsigned>(i + 1);
                    namePos = at;
                    nameLen = name->length();
                    break;
                }
            }
        }
    }
    enum { Year = 0, Month = 1, Day = 2 };
    static const int kNumeric[4][3] = {{Day, Month, Year}, {Month, Day, Year}, {Year, Day, Month}, {Year, Month, Day}};
    static const int kNamed[4][2] = {{Day, Year}, {Day, Year}, {Year, Day}, {Year, Day}};
    const int order = (locale_name == "C" && month == 0) ? 1 : dateOrder;
    const int* fields = month ? kNamed[order] : kNumeric[order];
    const int fieldCount = month ? 2 : 3;
    static const size_t kMaxDigits[3] = {4, 2, 2};

    unsigned values[3] = {0, month, 0};
    size_t pos = 0;
    bool sawSeparator = false;
    for (int i = 0; i < fieldCount; ++i)
        if (!readDateField(text, pos, kMaxDigits[fields[i]], namePos, nameLen, sawSeparator, values[fields[i]]))
            return false;
    for (size_t i = pos; i < text.size(); ++i) {
        if (nameLen > 0 && i >= namePos && i < namePos + nameLen)
            continue;
        if (isDigit(text[i]))
            return false;
    }
    return rwlocale::storeDate(values[Month], values[Day], values[Year], t);
}

bool RWLocaleSnapshot::stringToTime(const RWCString& str, struct tm* t) const
{
    std::string_view text = view(str);
    size_t pos = 0;
    skipTimeBlanks(text, pos);
    const char leading = readMeridian(text, pos);
    skipTimeBlanks(text, pos);
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    if (!readTimeField(text, pos, hour))
        return false;
    if (isTimeSeparator(text, pos)) {
        ++pos;
        if (!readTimeField(text, pos, minute))
            return false;
        if (isTimeSeparator(text, pos)) {
            ++pos;
            if (!readTimeField(text, pos, second))
                return false;
        }
    } else {
        if (!readTimeField(text, pos, minute))
            return false;
        readTimeField(text, pos, second);
    }
    skipTimeBlanks(text, pos);
    const char trailing = readMeridian(text, pos);
    skipTimeBlanks(text, pos);
    if (pos != text.size() || (leading && trailing))
        return false;
    return rwlocale::storeTime(hour, minute, second, leading ? leading : trailing, t);
}

bool RWLocaleSnapshot::stringToMoney(const RWCString& str, double* out, CurrSymbol symbol) const
{
    if (symbol == NONE)
        return false;
    const bool intl = symbol == INTL;
    const std::string_view symbolText = view(intl ? int_curr_symbol : currency_symbol);
    const std::string_view posSign = intl ? std::string_view() : view(positive_sign);
    const std::string_view negSign = intl ? std::string_view() : view(negative_sign);
    const int fraction = intl ? int_frac_digits : frac_digits;
    const int rounds = intl ? 1 : 3;
    const std::string_view point = view(mon_decimal_point);
    const std::string_view sep = view(mon_thousands_sep);

    std::string_view text = view(str);
    size_t pos = 0;
    rwlocale::skipSpaces(text, pos);
    char sign = 0;  // '(' , '-' or '+'
    if (pos < text.size() && text[pos] == '(') {
        sign = '(';
        ++pos;
    }
    bool sawSymbol = false;
    bool sawNumber = false;
    double value = 0;
    for (int round = 0; round < rounds; ++round) {
        if (pos >= text.size() || (sign && sawSymbol && sawNumber))
            break;
        if (!sawSymbol && pos < text.size() && !isDigit(text[pos]) && !symbolText.empty() &&
            text.substr(pos, symbolText.size()) == symbolText) {
            pos += symbolText.size();
            rwlocale::skipSpaces(text, pos);
            sawSymbol = true;
        }
        if (!sign && pos < text.size() && !isDigit(text[pos])) {
            if (text[pos] == '-' || text[pos] == '+') {
                sign = text[pos++];
            } else if (!negSign.empty() && text.substr(pos, negSign.size()) == negSign) {
                sign = '-';
                pos += negSign.size();
            } else if (!posSign.empty() && text.substr(pos, posSign.size()) == posSign) {
                sign = '+';
                pos += posSign.size();
            }
            if (sign)
                rwlocale::skipSpaces(text, pos);
        }
        if (!sawNumber && pos < text.size() && (isDigit(text[pos]) || (!point.empty() && text[pos] == point[0]))) {
            std::string digits;
            std::vector<size_t> notes;
            if (!readGroupedDigits(text, pos, sep, 10, digits, notes))
                return false;
            if (!groupingMatches(notes, digits.size(), view(mon_grouping), sep, pos))
                return false;
            double units = 0;
            for (char c : digits)
                units = units * 10 + (c - '0');
            if (fraction > 0 && !point.empty() && text.substr(pos, point.size()) == point) {
                pos += point.size();
                double cents = 0;
                for (int i = 0; i < fraction; ++i) {
                    if (pos >= text.size() || !isDigit(text[pos]))
                        return false;
                    cents = cents * 10 + (text[pos++] - '0');
                }
                value = units * powerOfTen(fraction) + cents;
            } else {
                if (digits.empty())
                    return false;
                value = units * powerOfTen(fraction);
            }
            rwlocale::skipSpaces(text, pos);
            sawNumber = true;
        }
    }
    if (sign == '(') {
        if (pos >= text.size() || text[pos] != ')')
            return false;
        ++pos;
        rwlocale::skipSpaces(text, pos);
    }
    if (pos != text.size() || !sawNumber)
        return false;
    *out = (sign == '-' || sign == '(') ? -value : value;
    return true;
}

int RWLocaleSnapshot::monthIndex(const RWCString& name) const
{
    auto strip = [](std::string_view s) {
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        return s;
    };
    const std::string_view n = strip(view(name));
    for (int i = 11; i >= 0; --i)
        if (equalsIgnoringCase(n, strip(view(monthAbbs[i]))) || equalsIgnoringCase(n, strip(view(monthNames[i]))))
            return i + 1;
    return 0;
}

int RWLocaleSnapshot::weekdayIndex(const RWCString& name) const
{
    const std::string_view n = view(name);
    for (int i = 6; i >= 0; --i)
        if (equalsIgnoringCase(n, view(weekAbbs[i])) || equalsIgnoringCase(n, view(weekdays[i])))
            return (i + 6) % 7 + 1;
    return 0;
}
