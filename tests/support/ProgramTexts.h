// ProgramTexts: the texts the program can write on standard error, read from its source, and the
// texts that the tables of README.md list, so that a test can hold each side to the other.
//
// A text is read from the source by its shape: the fixed characters of the string literals it is
// made of, and "anything" (kAny) for every other piece (a name, a number, the system's words).
// The source is read as tokens, comments left out. A text is an expression in one of these
// places (the "sinks") in the .cpp and .h files below host/, viewer/, platform/, geometry/ and
// services/:
//   - an argument of a call: SetFailureReason(where, TEXT), failure(TEXT), OnError(TEXT),
//     finish(result, outcome, TEXT), the transfer's done(outcome, TEXT) in platform/net/HttpGet.cpp,
//     and stop->set(FORMAT, LINE, TEXT), which ReadStop::text()
//     makes "FORMAT line N: TEXT" (or "FORMAT TEXT" with the literal line 0);
//   - the right side of an assignment to why, what or error, or (also as a member) to a name
//     that ends in "Text", "Failure" or "Reason" (stopText, FetchFailure, FailureReason);
//   - a return statement in a function whose name holds "failure", "reason" or "why" in any
//     case, or that is outcomeText, fileErrorText, fitToAddressSpace, TooLarge or
//     UnknownModelType;
//   - a "std::cerr << ..." chain below host/: each line it writes, "tavoplex: " taken off.
// An expression's shape: a ternary gives both branches (its condition is dropped); the operands
// of '+' (and of '<<') are joined; a string or char literal is its text; a name defined in the
// source as a string literal constant is that literal; std::string(X), RWCString(X),
// fromText(X), WidenText(X), std::move(X) and escapeControlCharacters(X) are X; anything else,
// and any comparison, is kAny. Shapes without a letter (a quoted name alone, a text passed on)
// say nothing and are dropped. A text that a function returns or that goes into `error` may be
// followed by more from its caller ("cannot connect to the server" gets " (...)"): its shape
// ends in kAny.
//
// The README's texts are the `quoted` pieces of the first column of the table rows under
// "### When something goes wrong", "tavoplex: " taken off, "..." read as kAny. A text of the
// code and one of the README match when some text has both shapes.
//
// Code that gives a text some other way (a new function or variable of another name) is read
// only once these rules name it: extend them with it.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace programtexts {

constexpr char kAny = '\x01';

struct Text {
    std::string shape;  // fixed characters and kAny
    std::string where;  // "file:line" or "README.md line N"
};

// The shape as a person reads it: "..." for kAny.
inline std::string shown(const std::string& shape)
{
    std::string out;
    for (char c : shape)
        out += c == kAny ? std::string("...") : std::string(1, c);
    return out;
}

// Whether some text has both shapes.
inline bool match(const std::string& a, const std::string& b)
{
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<char>> reach(n + 1, std::vector<char>(m + 1, 0));
    reach[0][0] = 1;
    for (size_t i = 0; i <= n; ++i)
        for (size_t j = 0; j <= m; ++j) {
            if (!reach[i][j])
                continue;
            const bool anyA = i < n && a[i] == kAny, anyB = j < m && b[j] == kAny;
            if (anyA) {
                reach[i + 1][j] = 1;
                if (j < m)
                    reach[i][j + 1] = 1;
            }
            if (anyB) {
                reach[i][j + 1] = 1;
                if (i < n)
                    reach[i + 1][j] = 1;
            }
            if (i < n && j < m && !anyA && !anyB && a[i] == b[j])
                reach[i + 1][j + 1] = 1;
        }
    return reach[n][m] != 0;
}

namespace detail {

enum class Kind { Str, Chr, Name, Number, Punct };

struct Token {
    Kind kind;
    std::string text;  // a literal's characters, escapes decoded
    int line;
};

inline std::string decodeEscapes(const std::string& body)
{
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            out += body[i];
            continue;
        }
        const char e = body[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'x': {
            size_t end = i + 1;
            while (end < body.size() && std::isxdigit(static_cast<unsigned char>(body[end])))
                ++end;
            out += char(std::stoi(body.substr(i + 1, end - i - 1), nullptr, 16));
            i = end - 1;
            break;
        }
        default: out += e; break;
        }
    }
    return out;
}

inline std::vector<Token> tokens(const std::string& source)
{
    static const char* const kPunct[] = {"::", "->", "<<", ">>", "==", "!=", "<=", ">=", "&&", "||", "+=", "-=",
                                         "++", "--", "*=", "|=", "&="};
    std::vector<Token> out;
    int line = 1;
    for (size_t i = 0; i < source.size();) {
        const char c = source[i];
        const auto rest = [&](const char* s) { return source.compare(i, std::strlen(s), s) == 0; };
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (rest("//")) {
            i = source.find('\n', i);
            i = i == std::string::npos ? source.size() : i;
        } else if (rest("/*")) {
            const size_t end = source.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? source.size() : end + 2;
            line += int(std::count(source.begin() + long(i), source.begin() + long(stop), '\n'));
            i = stop;
        } else if (c == '"' || c == '\'') {
            size_t end = i + 1;
            while (end < source.size() && source[end] != c)
                end += source[end] == '\\' ? 2 : 1;
            out.push_back({c == '"' ? Kind::Str : Kind::Chr, decodeEscapes(source.substr(i + 1, end - i - 1)), line});
            i = end + 1;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t end = i;
            while (end < source.size() && (std::isalnum(static_cast<unsigned char>(source[end])) || source[end] == '_'))
                ++end;
            const std::string word = source.substr(i, end - i);
            i = end;
            // A prefix of a literal (u8"", L"") belongs to it.
            if (i < source.size() && (source[i] == '"' || source[i] == '\'') && (word == "L" || word == "u8"))
                continue;
            out.push_back({Kind::Name, word, line});
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t end = i;
            while (end < source.size() && (std::isalnum(static_cast<unsigned char>(source[end])) || source[end] == '.' ||
                                           source[end] == '\''))
                ++end;
            out.push_back({Kind::Number, source.substr(i, end - i), line});
            i = end;
        } else {
            std::string p(1, c);
            for (const char* multi : kPunct)
                if (rest(multi)) {
                    p = multi;
                    break;
                }
            out.push_back({Kind::Punct, p, line});
            i += p.size();
        }
    }
    return out;
}

using Range = std::pair<size_t, size_t>;  // [first, last) of the tokens

inline bool is(const std::vector<Token>& t, size_t i, const char* text)
{
    return i < t.size() && (t[i].kind == Kind::Punct || t[i].kind == Kind::Name) && t[i].text == text;
}

// The index of the bracket that closes the one at `open`, or the end.
inline size_t closing(const std::vector<Token>& t, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (is(t, i, "(") || is(t, i, "[") || is(t, i, "{"))
            ++depth;
        else if ((is(t, i, ")") || is(t, i, "]") || is(t, i, "}")) && --depth == 0)
            return i;
    }
    return t.size();
}

// The pieces of [r) between the separators at bracket depth 0.
inline std::vector<Range> split(const std::vector<Token>& t, Range r, const char* separator)
{
    std::vector<Range> parts;
    size_t from = r.first;
    for (size_t i = r.first; i < r.second; ++i) {
        if (is(t, i, "(") || is(t, i, "[") || is(t, i, "{"))
            i = closing(t, i);
        else if (is(t, i, separator)) {
            parts.push_back({from, i});
            from = i + 1;
        }
    }
    parts.push_back({from, r.second});
    return parts;
}

// The end of the expression that starts at `from`: the ';' or ',' at depth 0, or an unmatched
// closing bracket.
inline size_t expressionEnd(const std::vector<Token>& t, size_t from)
{
    for (size_t i = from; i < t.size(); ++i) {
        if (is(t, i, "(") || is(t, i, "[") || is(t, i, "{"))
            i = closing(t, i);
        else if (is(t, i, ";") || is(t, i, ",") || is(t, i, ")") || is(t, i, "]") || is(t, i, "}"))
            return i;
    }
    return t.size();
}

class Reader {
public:
    Reader(const std::vector<Token>& t, const std::map<std::string, std::string>& constants)
        : t(t), constants(constants)
    {
    }

    // The shapes an expression can have.
    std::vector<std::string> shapes(Range r) const
    {
        while (r.second > r.first && is(t, r.first, "(") && closing(t, r.first) == r.second - 1)
            r = {r.first + 1, r.second - 1};
        if (r.first >= r.second)
            return {""};
        // cond ? a : b
        for (size_t i = r.first; i < r.second; ++i) {
            if (is(t, i, "(") || is(t, i, "[") || is(t, i, "{")) {
                i = closing(t, i);
            } else if (is(t, i, "?")) {
                int nested = 0;
                for (size_t j = i + 1; j < r.second; ++j) {
                    if (is(t, j, "(") || is(t, j, "[") || is(t, j, "{"))
                        j = closing(t, j);
                    else if (is(t, j, "?"))
                        ++nested;
                    else if (is(t, j, ":") && nested-- == 0) {
                        std::vector<std::string> both = shapes({i + 1, j});
                        const std::vector<std::string> other = shapes({j + 1, r.second});
                        both.insert(both.end(), other.begin(), other.end());
                        return both;
                    }
                }
                return {std::string(1, kAny)};
            }
        }
        static const std::set<std::string> kComparisons = {"==", "!=", "<=", ">=", "&&", "||"};
        for (size_t i = r.first; i < r.second; ++i) {
            if (is(t, i, "(") || is(t, i, "[") || is(t, i, "{"))
                i = closing(t, i);
            else if (t[i].kind == Kind::Punct && kComparisons.count(t[i].text))
                return {std::string(1, kAny)};
        }
        const std::vector<Range> operands = split(t, r, "+");
        if (operands.size() == 1)
            return operandShapes(r);
        std::vector<std::string> joined = {""};
        for (const Range& operand : operands) {
            std::vector<std::string> next;
            for (const std::string& head : joined)
                for (const std::string& tail : shapes(operand))
                    if (next.size() < 256)
                        next.push_back(head + tail);
            joined = next;
        }
        return joined;
    }

private:
    // The shapes of an operand that is no sum.
    std::vector<std::string> operandShapes(Range r) const
    {
        const std::vector<std::string> any = {std::string(1, kAny)};
        bool literals = true;
        std::string text;
        for (size_t i = r.first; i < r.second; ++i) {
            literals = literals && (t[i].kind == Kind::Str || (t[i].kind == Kind::Chr && r.second - r.first == 1));
            text += t[i].text;
        }
        if (literals)
            return {text};
        if (is(t, r.first, "{") && closing(t, r.first) == r.first + 1)
            return {""};
        // A (qualified) name, or a call of one.
        size_t i = r.first;
        std::string name;
        while (i < r.second && t[i].kind == Kind::Name) {
            name = t[i].text;
            if (!is(t, i + 1, "::"))
                break;
            i += 2;
        }
        if (i + 1 == r.second && t[i].kind == Kind::Name) {
            const auto constant = constants.find(name);
            return constant != constants.end() ? std::vector<std::string>{constant->second} : any;
        }
        static const std::set<std::string> kWrappers = {"string", "RWCString", "fromText", "WidenText", "move",
                                                        "escapeControlCharacters"};
        if (i < r.second && t[i].kind == Kind::Name && is(t, i + 1, "(") && closing(t, i + 1) == r.second - 1 &&
            kWrappers.count(name)) {
            const std::vector<Range> args = split(t, {i + 2, r.second - 1}, ",");
            if (args.size() == 1)
                return shapes(args[0]);
        }
        return any;
    }

    const std::vector<Token>& t;
    const std::map<std::string, std::string>& constants;
};

inline std::string tidy(std::string shape)
{
    std::string out;
    for (char c : shape)
        if (c != kAny || out.empty() || out.back() != kAny)
            out += c;
    return out;
}

inline bool saysSomething(const std::string& shape)
{
    return std::any_of(shape.begin(), shape.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

inline bool namesReasonFunction(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("failure") != std::string::npos || lower.find("reason") != std::string::npos ||
           lower.find("why") != std::string::npos || name == "outcomeText" || name == "TooLarge" ||
           name == "UnknownModelType" || name == "fileErrorText" || name == "fitToAddressSpace";
}

}  // namespace detail

// The texts the source below `root` gives, as the head of this file describes.
inline std::vector<Text> codeTexts(const std::string& root)
{
    using namespace detail;
    struct File {
        std::string name;
        std::vector<Token> tokens;
    };
    std::vector<File> files;
    for (const char* folder : {"host", "viewer", "platform", "geometry", "services"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root + "/" + folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            files.push_back({std::filesystem::relative(entry.path(), root).string(), tokens(text.str())});
        }
    // Names defined as a string literal: `const char Name[] = "..."`, `const char* kName = "..."`.
    std::map<std::string, std::string> constants;
    for (const File& f : files) {
        const auto& t = f.tokens;
        for (size_t i = 2; i + 1 < t.size(); ++i) {
            size_t at = 0;
            if (t[i].kind == Kind::Name && is(t, i + 1, "[") && is(t, i + 2, "]") && is(t, i + 3, "="))
                at = i + 4;
            else if (t[i].kind == Kind::Name && is(t, i - 1, "*") && is(t, i - 2, "char") && is(t, i + 1, "="))
                at = i + 2;
            std::string text;
            for (; at > 0 && at < t.size() && t[at].kind == Kind::Str; ++at)
                text += t[at].text;
            if (at > 0 && is(t, at, ";"))
                constants[t[i].text] = text;
        }
    }

    std::vector<Text> found;
    for (const File& f : files) {
        const auto& t = f.tokens;
        const Reader reader(t, constants);
        const auto add = [&](Range r, const std::string& before, bool open) {
            for (const std::string& s : reader.shapes(r)) {
                const std::string shape = tidy(before + s + (open ? std::string(1, kAny) : std::string()));
                if (saysSomething(shape))
                    found.push_back({shape, f.name + ":" + std::to_string(t[r.first < t.size() ? r.first : 0].line)});
            }
        };
        const auto argument = [&](size_t open, size_t index) -> Range {
            const std::vector<Range> args = split(t, {open + 1, closing(t, open)}, ",");
            return index < args.size() ? args[index] : Range{open, open};
        };
        const bool host = f.name.rfind("host/", 0) == 0;
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i].kind != Kind::Name)
                continue;
            const std::string& name = t[i].text;
            const bool member = i > 0 && (is(t, i - 1, ".") || is(t, i - 1, "->"));
            if (is(t, i + 1, "(")) {
                if (name == "SetFailureReason")
                    add(argument(i + 1, 1), "", false);
                else if (name == "failure" || name == "OnError")
                    add(argument(i + 1, 0), "", false);
                else if (name == "finish")
                    add(argument(i + 1, 2), "", false);
                else if (name == "done" && f.name == "platform/net/HttpGet.cpp")
                    add(argument(i + 1, 1), "", false);
                else if (name == "set" && member && i > 1 && is(t, i - 2, "stop")) {
                    const Range line = argument(i + 1, 1);
                    const bool noLine = line.second == line.first + 1 && t[line.first].text == "0";
                    for (const std::string& format : reader.shapes(argument(i + 1, 0)))
                        add(argument(i + 1, 2), format + (noLine ? " " : std::string(" line ") + kAny + ": "), false);
                } else if (namesReasonFunction(name)) {
                    // A definition: its return statements.
                    size_t body = closing(t, i + 1) + 1;
                    while (is(t, body, "const") || is(t, body, "noexcept") || is(t, body, "override"))
                        ++body;
                    if (!is(t, body, "{"))
                        continue;
                    const size_t end = closing(t, body);
                    for (size_t j = body; j < end; ++j)
                        if (is(t, j, "return"))
                            add({j + 1, expressionEnd(t, j + 1)}, "", true);
                }
            } else if (is(t, i + 1, "=")) {
                const auto endsWith = [&](const char* tail) {
                    return name.size() > std::strlen(tail) && name.compare(name.size() - std::strlen(tail), std::string::npos, tail) == 0;
                };
                if (((name == "why" || name == "what" || name == "error") && !member) || endsWith("Text") ||
                    endsWith("Failure") || endsWith("Reason"))
                    add({i + 2, expressionEnd(t, i + 2)}, "", name == "error");
            } else if (host && name == "cerr" && is(t, i + 1, "<<")) {
                const size_t end = expressionEnd(t, i + 2);
                const std::vector<Range> operands = split(t, {i + 2, end}, "<<");
                std::vector<std::string> joined = {""};
                for (const Range& operand : operands) {
                    std::vector<std::string> next;
                    for (const std::string& head : joined)
                        for (const std::string& tail : reader.shapes(operand))
                            next.push_back(head + tail);
                    joined = next;
                }
                for (const std::string& written : joined) {
                    std::istringstream lines(written);
                    for (std::string line; std::getline(lines, line);) {
                        if (line.rfind("tavoplex: ", 0) == 0)
                            line.erase(0, 10);
                        line = tidy(line);
                        if (saysSomething(line))
                            found.push_back({line, f.name + ":" + std::to_string(t[i].line)});
                    }
                }
            }
        }
    }
    return found;
}

// The texts that README.md's tables of messages and reasons list.
inline std::vector<Text> readmeTexts(const std::string& readme)
{
    std::ifstream in(readme, std::ios::binary);
    std::vector<Text> found;
    bool inSection = false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.rfind("#", 0) == 0)
            inSection = line.rfind("### When something goes wrong", 0) == 0;
        if (!inSection || line.rfind("|", 0) != 0)
            continue;
        // The first cell: up to the first '|' outside a quoted piece.
        bool quoted = false;
        std::string piece;
        for (size_t i = 1; i < line.size() && (quoted || line[i] != '|'); ++i) {
            if (line[i] == '`') {
                if (quoted) {
                    if (piece.rfind("tavoplex: ", 0) == 0)
                        piece.erase(0, 10);
                    std::string shape;
                    for (size_t at = 0; at < piece.size(); ++at) {
                        if (piece.compare(at, 3, "...") == 0) {
                            shape += kAny;
                            at += 2;
                        } else {
                            shape += piece[at];
                        }
                    }
                    found.push_back({detail::tidy(shape), "README.md line " + std::to_string(number)});
                    piece.clear();
                }
                quoted = !quoted;
            } else if (quoted) {
                piece += line[i];
            }
        }
    }
    return found;
}

}  // namespace programtexts
