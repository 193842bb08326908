// XMLDocumentC's reader: the byte tokenizer, the element parser and entity decoding.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <istream>
#include <memory>
#include <streambuf>
#include <vector>

#include "services/files/RegularFile.h"
#include "services/xml/XMLContentHandlerI.h"
#include "services/xml/XMLDocumentC.h"

namespace {

enum TokenKind { TokenNone = 0, TokenStart = 1, TokenEnd = 2, TokenText = 3, TokenComment = 4, TokenDeclaration = 5 };

// Reads a text in place, without copying it.
class MemoryInBuf : public std::streambuf {
public:
    MemoryInBuf(const char* text, size_t length)
    {
        char* begin = const_cast<char*>(text);
        setg(begin, begin, begin + length);
    }
};

inline bool isWhiteSpace(int c)
{
    return c == '\n' || c == ' ' || c == '\r' || c == '\t' || c == 0xFF;
}

inline bool isLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

const char* const entityTexts[5] = {"&amp;", "&lt;", "&gt;", "&apos;", "&quot;"};
const char entityChars[5] = {'&', '<', '>', '\'', '"'};

}  // namespace

void XMLDocumentC::recordError(const char* message)
{
    error = true;
    errorMessage = message;
    errorLine = line;
}

void XMLDocumentC::recordError(const RWCString& message)
{
    error = true;
    errorMessage = message;
    errorLine = line;
}

RWCString XMLDocumentC::getDeclaredEncoding() const
{
    const std::string text(header.data(), header.length());
    if (text.size() < 5 || text.compare(0, 4, "?xml") != 0 || !isWhiteSpace(text[4]))
        return RWCString();
    for (size_t at = text.find("encoding", 5); at != std::string::npos; at = text.find("encoding", at + 8)) {
        if (!isWhiteSpace(static_cast<unsigned char>(text[at - 1])))
            continue;
        size_t i = at + 8;
        while (i < text.size() && isWhiteSpace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == text.size() || text[i] != '=')
            continue;
        do
            ++i;
        while (i < text.size() && isWhiteSpace(static_cast<unsigned char>(text[i])));
        const size_t close = i < text.size() && (text[i] == '"' || text[i] == '\'') ? text.find(text[i], i + 1)
                                                                                      : std::string::npos;
        return close == std::string::npos ? RWCString() : RWCString(text.data() + i + 1, close - i - 1);
    }
    return RWCString();
}

bool XMLDocumentC::parseString(const char* text)
{
    reset();
    if (!text) {
        error = true;
        errorMessage = "Can't open file!";
        return false;
    }
    const size_t length = std::strlen(text);
    MemoryInBuf buffer(text, length);
    std::istream stream(&buffer);
    XMLDomContentHandler handler(&root);
    // The stream stands for the input; its bytes are read in place, straight from the text.
    return runParse(stream, &handler, text, text + length);
}

bool XMLDocumentC::parseString(const RWCString& text)
{
    return parseString(text.data());
}

bool XMLDocumentC::parseFile(const RWCString& fileName)
{
    reset();
    // Only a regular file of at most the size limit is read: a FIFO, a device or a folder is no
    // file to parse, and neither is more data than a real document ever holds.
    std::string bytes;
    if (!readRegularFile(fileName.data(), bytes, maxFileSize)) {
        error = true;
        errorMessage = "Can't open file!";
        return false;
    }
    MemoryInBuf buffer(bytes.data(), bytes.size());
    std::istream stream(&buffer);
    XMLDomContentHandler handler(&root);
    return runParse(stream, &handler, bytes.data(), bytes.data() + bytes.size());
}

bool XMLDocumentC::parse(std::istream& in)
{
    reset();
    XMLDomContentHandler handler(&root);
    return runParse(in, &handler);
}

bool XMLDocumentC::parse(std::istream& in, XMLContentHandlerI* handler)
{
    reset();
    return runParse(in, handler);
}

bool XMLDocumentC::runParse(std::istream& in, XMLContentHandlerI* handler, const char* begin, const char* end)
{
    input = &in;
    if (begin) {
        source = nullptr;
        cursor = begin;
        limit = end;
    } else {
        source = in.rdbuf();
        cursor = limit = nullptr;
    }
    line = 1;
    if (begin || source) {
        parseElement(handler);
    } else {
        error = true;
        errorMessage = "Can't open file!";
    }
    input = nullptr;
    source = nullptr;
    cursor = limit = nullptr;
    chunk = std::string();
    return !error;
}

bool XMLDocumentC::refill()
{
    if (!source)
        return false;
    if (chunk.empty())
        chunk.resize(64 * 1024);
    std::streamsize n = source->sgetn(chunk.data(), std::streamsize(chunk.size()));
    if (n <= 0)
        return false;
    cursor = chunk.data();
    limit = cursor + n;
    return true;
}

inline int XMLDocumentC::readChar()
{
    if (cursor == limit && !refill())
        return -1;
    int c = (unsigned char)*cursor++;
    if (c == '\n')
        ++line;
    return c;
}

// Appends the bytes before the next `stop` to the token and leaves the cursor on the stop
// byte; false when the input ended first.
bool XMLDocumentC::appendUntil(std::string& token, char stop)
{
    for (;;) {
        if (cursor == limit && !refill())
            return false;
        const char* hit = static_cast<const char*>(std::memchr(cursor, stop, size_t(limit - cursor)));
        const char* spanEnd = hit ? hit : limit;
        line += int32_t(std::count(cursor, spanEnd, '\n'));
        token.append(cursor, spanEnd);
        cursor = spanEnd;
        if (hit)
            return true;
    }
}

int XMLDocumentC::readToken(std::string& token)
{
    token.clear();
    if (error)
        return TokenNone;
    for (;;) {
        int c = readChar();
        if (c < 0)
            return TokenNone;
        if (isWhiteSpace(c))
            continue;
        if (c == '>') {
            recordError("Found '>' at begin of token!");
            continue;
        }
        if (c != '<') {
            // Text runs up to the next '<', which stays for the next token.
            token.push_back(char(c));
            appendUntil(token, '<');
            return TokenText;
        }
        int next = readChar();
        if (next < 0)
            return TokenNone;
        if (next == '>' || next == '<') {
            recordError("Found illegal character at begin of token!");
            continue;
        }
        int kind = TokenStart;
        if (next == '/') {
            kind = TokenEnd;
        } else if (next == '!') {
            int dropped = readChar();
            if (dropped < 0)
                return TokenNone;
            if (dropped == '-')
                return readComment(token);
            kind = TokenDeclaration;
        } else {
            token.push_back(char(next));
        }
        // Start tags, end tags and declarations run up to the next '>', which is dropped;
        // the end of the input ends them with what was gathered.
        if (appendUntil(token, '>'))
            ++cursor;
        return kind;
    }
}

int XMLDocumentC::readComment(std::string& token)
{
    // A comment ends at the first "-->", however many dashes run before it.
    int dashes = 0;
    for (;;) {
        int c = readChar();
        if (c < 0)
            return TokenComment;
        if (c == '-') {
            ++dashes;
            continue;
        }
        if (c == '>' && dashes >= 2)
            return TokenComment;
        dashes = 0;
        token.push_back(char(c));
    }
}

RWCString XMLDocumentC::tagNameOf(const std::string& token)
{
    size_t blank = token.find(' ');
    if (blank == std::string::npos)
        return RWCString(token.data(), token.size());
    return RWCString(token.data(), blank);
}

bool XMLDocumentC::isValidName(const char* name, size_t length)
{
    if (length == 0)
        return false;
    unsigned char first = (unsigned char)name[0];
    if (!isLetter(first) && first != '_')
        return false;
    for (size_t i = 1; i < length; ++i) {
        unsigned char c = (unsigned char)name[i];
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '-' && c != '_' && c != ':')
            return false;
    }
    return true;
}

int XMLDocumentC::lookupEntity(const char* name, size_t length)
{
    for (int i = 0; i < 5; ++i) {
        const char* entity = entityTexts[i];
        size_t entityLength = std::strlen(entity);
        if (entityLength != length + 2)
            continue;
        bool same = true;
        for (size_t k = 0; k < length && same; ++k) {
            unsigned char a = (unsigned char)name[k], b = (unsigned char)entity[k + 1];
            if (a >= 'A' && a <= 'Z')
                a = (unsigned char)(a - 'A' + 'a');
            same = a == b;
        }
        if (same)
            return (unsigned char)entityChars[i];
    }
    // A numeric reference: hexadecimal unless it starts with '#', where an 'x' after the
    // '#' switches back to hexadecimal. Only a value from 1 to 255 names a byte; anything
    // larger (however many digits) is no entity and stays in the text as written.
    bool hex = true;
    unsigned value = 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)name[i];
        if (i == 0 && c == '#') {
            hex = false;
            continue;
        }
        if (i == 1 && c == 'x') {
            hex = true;
            continue;
        }
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 255)
            return 0;
    }
    return int(value);
}

void XMLDocumentC::decodeEntities(std::string& text) const
{
    if (text.empty() || entityFlags == 0)
        return;
    if (text.find('&') == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    size_t amp = std::string::npos;
    for (char c : text) {
        if (c == ';' && amp != std::string::npos) {
            int decoded = lookupEntity(out.data() + amp + 1, out.size() - amp - 1);
            size_t at = amp;
            amp = std::string::npos;
            if (decoded != 0) {
                out.resize(at);
                out.push_back(char(decoded));
                continue;
            }
            out.push_back(c);
            continue;
        }
        if (c == '&')
            amp = out.size();
        out.push_back(c);
    }
    text.swap(out);
}

void XMLDocumentC::parseStartTag(const std::string& token, const RWCString& tagName, XMLContentHandlerI* handler)
{
    // tagName is the text before the first blank; without a blank there are no attributes
    // and the name is taken as it is.
    const size_t blank = tagName.length();
    if (blank == token.size())
        return;
    if (!isValidName(tagName.data(), tagName.length()))
        recordError("Invalid tag name!");

    std::string attributeName;
    std::string value;
    char quote = 0;
    bool inValue = false;
    bool sawSpace = true;
    bool recorded = false;
    const size_t n = token.size();
    for (size_t i = blank + 1; i < n; ++i) {
        char c = token[i];
        if (!inValue) {
            if (c == '=') {
                size_t j = i + 1;
                while (j < n && isWhiteSpace((unsigned char)token[j]))
                    ++j;
                if (j < n) {
                    i = j;
                } else {
                    i = n - 1;
                }
                quote = token[i];
                if (attributeName.empty()) {
                    recordError("Error in attributes!");
                    return;
                }
                if (quote != '"' && quote != '\'') {
                    recordError("Missing quotes in attributes!");
                    return;
                }
                if (!sawSpace) {
                    recordError("Missing white space before name in attributes!");
                    return;
                }
                inValue = true;
            } else if (isWhiteSpace((unsigned char)c)) {
                if (attributeName.empty())
                    sawSpace = true;
            } else {
                attributeName.push_back(c);
            }
        } else if (c == quote) {
            if (!isValidName(attributeName.data(), attributeName.size())) {
                recordError("Invalid name in attribute!");
                recorded = true;
            }
            decodeEntities(value);
            if (!handler->attribute(RWCString(attributeName.data(), attributeName.size()),
                                    RWCString(value.data(), value.size()))) {
                recordError(handler->getErrorMessage());
                return;
            }
            attributeName.clear();
            value.clear();
            sawSpace = false;
            inValue = false;
        } else {
            value.push_back(c);
        }
    }
    if ((inValue || !attributeName.empty()) && !recorded && !error)
        recordError("Error in attributes!");
}

void XMLDocumentC::parseElement(XMLContentHandlerI* handler)
{
    // The open elements, innermost last; the top level has none. Kept on the heap so
    // that a deeply nested input costs no stack.
    std::vector<RWCString> open;
    std::string token;
    for (;;) {
        if (error)
            return;
        int kind = readToken(token);
        if (kind == TokenNone)
            return;  // the end of the input (an element left open there is no failure)
        if (token.empty() && kind != TokenComment) {
            recordError("Empty token!");
            return;
        }
        switch (kind) {
        case TokenStart: {
            if (token[0] == '?') {
                header = RWCString(token.data(), token.size());
                if (token.size() == 1 || token.back() != '?') {
                    recordError("Missing closing ? in header!");
                    return;
                }
                break;
            }
            if (header.length() == 0 && requireHeader) {
                recordError("Missing <?xml header!");
                return;
            }
            bool empty = token.back() == '/';
            if (empty)
                token.pop_back();
            if (!handler)
                break;
            const RWCString tagName = tagNameOf(token);
            if (!handler->startElement(tagName))
                recordError(handler->getErrorMessage());
            parseStartTag(token, tagName, handler);
            if (empty) {
                if (!handler->endElement(tagName))
                    recordError(handler->getErrorMessage());
            } else if (open.size() >= size_t(maxNestingDepth)) {
                recordError("Elements nested too deeply!");
                return;
            } else {
                open.push_back(tagName);
            }
            break;
        }
        case TokenText: {
            decodeEntities(token);
            if (handler && !handler->characters(RWCString(token.data(), token.size()))) {
                recordError(handler->getErrorMessage());
                return;
            }
            break;
        }
        case TokenEnd: {
            if (!open.empty() && token.size() == open.back().length()
                && std::memcmp(token.data(), open.back().data(), token.size()) == 0) {
                if (!handler->endElement(open.back()))
                    recordError(handler->getErrorMessage());
                open.pop_back();
                break;
            }
            recordError("End token != start token!");
            return;
        }
        case TokenComment:
            break;
        case TokenDeclaration: {
            if (checkDoctype && doctype.length() != 0
                && token.find(doctype.data(), 0, doctype.length()) == std::string::npos) {
                recordError(RWCString("Wrong DOCTYPE expected: ") + doctype + RWCString(" got: ")
                            + RWCString(token.data(), token.size()));
                return;
            }
            doctype = token.size() > 6 ? RWCString(token.data() + 6, token.size() - 6) : RWCString();
            break;
        }
        }
    }
}
