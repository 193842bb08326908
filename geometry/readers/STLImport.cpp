// The STL reader: form detection, the text state machine and the binary parser.
#include "geometry/readers/STLImport.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <unistd.h>

#include "geometry/display/MemoryBlockC.h"
#include "math/NumberText.h"
#include "services/files/RegularFile.h"

namespace {

constexpr size_t kFileBufferSize = 50000;
constexpr size_t kMaxWord = 99;       // characters kept of one word
constexpr size_t kMaxFirstLine = 254;  // characters kept of the first line
constexpr int kAsciiReportSteps = 10000;
constexpr int kBinaryReportSteps = 1500;

// The progress of one import, owned by it, so that imports on several threads never meet.
struct ImportState {
    stlProgressI* progress = nullptr;
    uint64_t total = 0;
    int steps = 0;
    // Set by the imports, which decide the form themselves: text data that the decision calls
    // binary because it holds no facet at all reads as what it says, an empty model.
    bool emptyTextIsEmpty = false;

    explicit ImportState(stlProgressI* p = nullptr) : progress(p)
    {
        if (progress)
            progress->reportProgress(0.0f);
    }
};

void countStep(ImportState& state, const STLInputStreamC& in, int every)
{
    if (++state.steps < every)
        return;
    state.steps = 0;
    if (state.progress && state.total > 0)
        state.progress->reportProgress(float(double(in.position()) / double(state.total) * 100.0));
}

bool isSeparator(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// Text saved with classic Mac line ends has carriage returns alone between its lines.
bool isLineEnd(int c) { return c == '\n' || c == '\r'; }

// The next word, lower-cased when asked, at most kMaxWord characters kept (the rest of a longer
// word is skipped). Empty at the end of the data. The separator that ended the word is consumed
// and given in *ended (-1 at the end of the data).
size_t readWord(STLInputStreamC& in, char* word, bool lower, int* ended = nullptr)
{
    int c = in.get();
    while (c >= 0 && isSeparator(c))
        c = in.get();
    size_t n = 0;
    while (c >= 0 && !isSeparator(c)) {
        if (n < kMaxWord) {
            if (lower && c >= 'A' && c <= 'Z')
                c += 'a' - 'A';
            word[n++] = char(c);
        }
        c = in.get();
    }
    word[n] = '\0';
    if (ended)
        *ended = c;
    return n;
}

// Consumes the rest of the line however long it is, and its first line-end byte (the line feed
// of a CR LF pair is a separator to the next word); keeps at most kMaxFirstLine characters.
void skipLine(STLInputStreamC& in, char* line)
{
    size_t n = 0;
    int c;
    while ((c = in.get()) >= 0 && !isLineEnd(c)) {
        if (n < kMaxFirstLine)
            line[n++] = char(c);
    }
    line[n] = '\0';
}

// As atof in the "C" locale, after every ',' became '.'. Plain decimal numbers take the fast
// conversion; anything else (hexadecimal, a leading '+', no number at all) the runtime's.
double wordToNumber(char* word)
{
    char* p = word;
    for (; *p; ++p)
        if (*p == ',')
            *p = '.';
    if (word[0] != '+' && !std::strpbrk(word, "xX")) {
        double v;
        const auto r = std::from_chars(word, p, v);
        if (r.ec == std::errc())
            return v;
    }
    return stringToDouble(static_cast<const char*>(word));
}

// Whether every coordinate is a number a float holds finitely. STL keeps single precision (a
// binary file cannot even state more), and so does the mesh: a text coordinate beyond the
// float range would become an infinity there, a position no search can place, which every
// search of the part then compares.
bool isFloatPoint(const Point3D& p)
{
    return std::isfinite(float(p.x())) && std::isfinite(float(p.y())) && std::isfinite(float(p.z()));
}

// The corners of one facet in the winding its normal asks for (m: the facet's own winding
// normal as the form computes it); false for a coordinate that is not a finite number or is
// beyond the float range.
bool orderFacet(const Point3D& m, const Point3D& normal, const Point3D& p1, const Point3D& p2, const Point3D& p3,
                Point3D corners[3])
{
    if (!isFloatPoint(p1) || !isFloatPoint(p2) || !isFloatPoint(p3))
        return false;
    const bool keep = m.dot(normal) >= 0.0;
    corners[0] = keep ? p1 : p3;
    corners[1] = keep ? p2 : p1;
    corners[2] = keep ? p3 : p2;
    return true;
}

// Hands one facet on in the winding its normal asks for; a facet with a coordinate that is not a
// finite float is dropped. False when the importer wants to stop.
bool emitFacet(stlImporterI* importer, const Point3D& m, const Point3D& normal, const Point3D& p1, const Point3D& p2,
               const Point3D& p3)
{
    Point3D corners[3];
    if (!orderFacet(m, normal, p1, p2, p3, corners))
        return true;
    return importer->addTriangle(corners[0], corners[1], corners[2]);
}

int clampEstimate(uint64_t n) { return n > uint64_t(INT_MAX) ? INT_MAX : int(n); }

// Back to the start of text data, past the UTF-8 byte-order mark that editors may put before
// it: the mark is invisible and no part of the first word. Binary data keeps every byte.
void rewindText(STLInputStreamC& in)
{
    in.rewind();
    for (const int mark : {0xEF, 0xBB, 0xBF}) {
        if (in.get() != mark) {
            in.rewind();
            return;
        }
    }
}

// Whether the whole data is one text body without facets: a "solid" line, an "endsolid" line
// and nothing else but blanks, keywords in any case, as the text parser reads them.
bool isEmptyTextBody(STLInputStreamC& in)
{
    char line[kMaxFirstLine + 1];
    char word[kMaxWord + 1];
    rewindText(in);
    for (const char* keyword : {"solid", "endsolid"}) {
        int ended = -1;
        readWord(in, word, true, &ended);
        if (std::strcmp(word, keyword) != 0)
            return false;
        if (ended >= 0 && !isLineEnd(ended))
            skipLine(in, line);  // the body's name
    }
    return readWord(in, word, false) == 0;
}

bool isAsciiData(STLInputStreamC& in)
{
    char line[kMaxFirstLine + 1];
    char word[kMaxWord + 1];
    skipLine(in, line);
    readWord(in, word, true);
    return std::strncmp(word, "facet", 5) == 0;
}

}  // namespace

// ---- Streams ----

STLInputStreamC::STLInputStreamC(const char* data, size_t size) : memory(true)
{
    begin = cur = reinterpret_cast<const unsigned char*>(data);
    end = begin + (data ? size : 0);
    total = data ? size : 0;
}

STLInputStreamC::STLInputStreamC(const char* path)
{
    open(path);
}

bool STLInputStreamC::open(const char* path, uint64_t maxFileSize)
{
    if (file)
        std::fclose(file);
    file = nullptr;
    memory = false;
    begin = cur = end = nullptr;
    bufferStart = total = 0;
    uint64_t size = 0;
    const int fd = openRegularFile(path, &size);
    if (fd < 0)
        return false;
    if (size > maxFileSize || (file = ::fdopen(fd, "rb")) == nullptr) {
        ::close(fd);
        return false;
    }
    total = size;
    buffer.resize(kFileBufferSize);
    begin = cur = end = buffer.data();
    return true;
}

STLInputStreamC::~STLInputStreamC()
{
    if (file)
        std::fclose(file);
}

void STLInputStreamC::rewind()
{
    if (memory) {
        cur = begin;
        return;
    }
    if (!file)
        return;
    std::fseek(file, 0, SEEK_SET);
    bufferStart = 0;
    begin = cur = end = buffer.data();
}

bool STLInputStreamC::refill()
{
    if (!file)
        return false;
    bufferStart += uint64_t(end - begin);
    // Never beyond the size the file had when it was opened: a file that grows meanwhile (or
    // one whose size says nothing) cannot make the read go on for ever.
    const uint64_t left = total - bufferStart;
    const size_t want = left < buffer.size() ? size_t(left) : buffer.size();
    const size_t got = want ? std::fread(buffer.data(), 1, want, file) : 0;
    begin = cur = buffer.data();
    end = begin + got;
    return got > 0;
}

size_t STLInputStreamC::read(void* dst, size_t n)
{
    unsigned char* out = static_cast<unsigned char*>(dst);
    size_t done = 0;
    while (done < n) {
        if (cur == end && file && n - done >= buffer.size()) {
            // A read longer than the window goes straight to its destination.
            bufferStart += uint64_t(end - begin);
            begin = cur = end = buffer.data();
            const uint64_t left = total - bufferStart;
            const size_t want = left < n - done ? size_t(left) : n - done;
            const size_t got = want ? std::fread(out + done, 1, want, file) : 0;
            bufferStart += got;
            done += got;
            if (got == 0 || got < want)
                break;
            continue;
        }
        if (cur == end && !refill())
            break;
        size_t take = size_t(end - cur);
        if (take > n - done)
            take = n - done;
        std::memcpy(out + done, cur, take);
        cur += take;
        done += take;
    }
    return done;
}

// ---- Text STL ----

namespace {

// The 1-based line that holds byte `at`, counted afresh from the start: only a read that
// fails pays for it.
uint64_t lineAt(STLInputStreamC& in, uint64_t at)
{
    in.rewind();
    uint64_t line = 1;
    int before = -1;
    for (uint64_t i = 0; i < at; ++i) {
        const int c = in.get();
        if (c < 0)
            break;
        // CR, LF and CR LF each end one line.
        if (c == '\r' || (c == '\n' && before != '\r'))
            ++line;
        before = c;
    }
    return line;
}

// A file may hold several bodies, each "solid name ... endsolid name" (CAD programs write one
// per body): every block is read into the one importer, in file order, under the same rules.
int parseAscii(STLInputStreamC& in, stlImporterI* importer, ImportState& state, ReadStop* stop)
{
    enum Expect { Solid, Facet, Normal, OuterLoop, Vertex, VertexNumber, EndLoop, EndFacet, NextSolid };

    const uint64_t size = in.size();
    rewindText(in);
    importer->beginImport(clampEstimate(size / 40));

    char word[kMaxWord + 1];
    char line[kMaxFirstLine + 1];
    Point3D normal;
    Point3D p[3];
    int corner = 0;
    int axis = 0;
    int result = kSTLOk;
    bool go = true;
    Expect expect = Solid;
    int ended = -1;  // the separator after the last word read, -1 at the end of the data
    const auto next = [&](bool lower) { return readWord(in, word, lower, &ended); };
    // Ends the read with a format error, telling where: the line of the last word read.
    const auto fail = [&](const char* expected, const char* found) {
        result = kSTLFormatError;
        go = false;
        if (!stop)
            return;
        const uint64_t end = in.position() - (ended >= 0 ? 1 : 0);
        const uint64_t line = lineAt(in, end > 0 ? end - 1 : 0);
        if (found[0])
            stop->set(platform::Reason::StlExpected, line, expected, found);
        else
            stop->set(platform::Reason::StlExpectedAtEnd, line, expected);
    };
    const auto skipName = [&] {
        if (ended >= 0 && !isLineEnd(ended))
            skipLine(in, line);
    };
    while (go) {
        countStep(state, in, kAsciiReportSteps);
        const size_t n = next(expect != VertexNumber);
        switch (expect) {
        case Solid:
            if (std::strcmp(word, "solid") != 0) {
                if (n == 0)
                    go = false;
                else
                    fail("'solid'", word);
                break;
            }
            skipName();  // the body's name
            expect = Facet;
            break;
        case Facet:
            // endsolid may be followed by another body; any other word or the end of the data
            // closes the model
            if (std::strcmp(word, "facet") == 0) {
                expect = Normal;
            } else if (std::strcmp(word, "endsolid") == 0) {
                skipName();
                expect = NextSolid;
            } else {
                go = false;
            }
            break;
        case NextSolid:
            if (std::strcmp(word, "solid") == 0) {
                skipName();
                expect = Facet;
            } else {
                go = false;
            }
            break;
        case Normal: {
            if (std::strcmp(word, "normal") != 0) {
                fail("'normal'", word);
                break;
            }
            double v[3];
            bool complete = true;
            for (double& x : v) {
                if (next(false) == 0)
                    complete = false;
                x = wordToNumber(word);
            }
            if (!complete) {
                fail("a number", "");
                break;
            }
            normal = Point3D(v[0], v[1], v[2]);
            expect = OuterLoop;
            break;
        }
        case OuterLoop:
            if (std::strcmp(word, "outer") != 0) {
                fail("'outer loop'", word);
                break;
            }
            if (next(true) == 0 || std::strcmp(word, "loop") != 0) {
                fail("'loop'", word);
                break;
            }
            corner = 0;
            expect = Vertex;
            break;
        case Vertex:
            if (std::strcmp(word, "vertex") != 0) {
                fail("'vertex'", word);
                break;
            }
            axis = 0;
            expect = VertexNumber;
            break;
        case VertexNumber:
            if (n == 0) {
                fail("a number", "");
                break;
            }
            p[corner].component(axis) = wordToNumber(word);
            if (++axis == 3)
                expect = ++corner == 3 ? EndLoop : Vertex;
            break;
        case EndLoop:
            if (std::strcmp(word, "endloop") != 0) {
                fail("'endloop'", word);
                break;
            }
            expect = EndFacet;
            break;
        case EndFacet:
            if (std::strcmp(word, "endfacet") != 0) {
                fail("'endfacet'", word);
                break;
            }
            if (!emitFacet(importer, (p[1] - p[0]).cross(p[2] - p[0]), normal, p[0], p[1], p[2]))
                go = false;
            expect = Facet;
            break;
        }
    }
    importer->endImport();
    return result;
}

}  // namespace

// ---- Binary STL ----

namespace {

inline uint32_t wordLE(const unsigned char* b)
{
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
inline uint32_t wordBE(const unsigned char* b)
{
    return uint32_t(b[3]) | (uint32_t(b[2]) << 8) | (uint32_t(b[1]) << 16) | (uint32_t(b[0]) << 24);
}
inline double floatAt(const unsigned char* b, bool bigEndian)
{
    const uint32_t w = bigEndian ? wordBE(b) : wordLE(b);
    float f;
    std::memcpy(&f, &w, sizeof f);
    return double(f);
}
inline Point3D pointAt(const unsigned char* b, bool bigEndian)
{
    return Point3D(floatAt(b, bigEndian), floatAt(b + 4, bigEndian), floatAt(b + 8, bigEndian));
}

constexpr size_t kRecordSize = 50;
// Records handed to a run importer at a time: enough for many threads, little memory.
constexpr size_t kRunRecords = 65536;

int parseBinary(STLInputStreamC& in, stlImporterI* importer, ImportState& state, ReadStop* stop,
                stlFacetRunImporterI* runs)
{
    const uint64_t size = in.size();
    in.rewind();
    const int estimate = clampEstimate(size / 48);

    unsigned char header[80];
    unsigned char countBytes[4];
    const bool headerWhole =
        in.read(header, sizeof header) == sizeof header && in.read(countBytes, sizeof countBytes) == sizeof countBytes;
    const uint32_t countLE = headerWhole ? wordLE(countBytes) : 0;
    const uint32_t countBE = headerWhole ? wordBE(countBytes) : 0;
    // 64-bit arithmetic: count x 50 overflows 32 bits for counts above 85 million.
    const int64_t expected = int64_t(countBE) * 50 + 84;
    const int64_t diff = int64_t(size) - expected;
    const bool bigEndian = diff > -10 && diff < 10;
    const uint32_t count = bigEndian ? countBE : countLE;
    // Data whose records would run short may be a text model without facets, which the form's
    // decision takes for binary: it is empty, as a binary one of no facet is. Asked before any
    // record is read, so that no triangle made of its text reaches the importer.
    if ((!headerWhole || uint64_t(count) * kRecordSize + 84 > size) && state.emptyTextIsEmpty && isEmptyTextBody(in)) {
        importer->beginImport(estimate);
        importer->endImport();
        return kSTLOk;
    }
    if (!headerWhole) {
        if (stop)
            stop->set(platform::Reason::StlInsideHeader, groupedNumber(size));
        return kSTLFormatError;
    }
    if (in.position() != 84) {
        // The text check read on: back to the first record.
        in.rewind();
        in.read(header, sizeof header);
        in.read(countBytes, sizeof countBytes);
    }

    importer->beginImport(estimate);
    int result = kSTLOk;
    unsigned char facet[50];
    const auto cutShort = [&](uint32_t i) {
        result = kSTLFormatError;
        const std::string held = groupedNumber((size - 84) / 50), at = groupedNumber(84 + uint64_t(i) * 50);
        if (stop && count == 1)
            stop->set(platform::Reason::StlShortOfOne, held, at);
        else if (stop)
            stop->set(platform::Reason::StlShort, groupedNumber(count), held, at);
    };
    uint32_t i = 0;
    // Runs of whole records, while whole ones are there; the plain loop below sees to the rest
    // (a record cut short, the failure), as it does for every other importer.
    if (runs && !state.progress) {
        std::vector<unsigned char> chunk;
        while (i < count) {
            const size_t want = std::min<size_t>(count - i, kRunRecords);
            const unsigned char* records = in.take(want * kRecordSize);
            size_t whole = want;
            size_t asked = want * kRecordSize;
            size_t got = asked;
            if (!records) {
                // Only whole records are read here: a record cut short stays in the stream
                const uint64_t left = in.size() - in.position();
                asked = size_t(std::min<uint64_t>(want, left / kRecordSize)) * kRecordSize;
                chunk.resize(asked);
                got = asked > 0 ? in.read(chunk.data(), asked) : 0;
                whole = got / kRecordSize;
                records = chunk.data();
            }
            if (whole > 0 && !runs->addFacetRecords(records, whole, bigEndian)) {
                importer->endImport();
                return result;
            }
            i += uint32_t(whole);
            if (got < asked) {
                // The file shrank while being read: what came of the cut record is all there is.
                const size_t partial = got - whole * kRecordSize;
                Point3D corners[3];
                if (partial < 48 || !facetFromRecord(records + whole * kRecordSize, bigEndian, corners) ||
                    importer->addTriangle(corners[0], corners[1], corners[2]))
                    cutShort(i);
                importer->endImport();
                return result;
            }
            if (whole < want)
                break;
        }
    }
    // The count is not trusted: nothing is reserved from it, and a short read ends the loop.
    for (; i < count; ++i) {
        countStep(state, in, kBinaryReportSteps);
        // Most facets lie whole in the stream's window and are read in place.
        const unsigned char* whole = in.take(50);
        const unsigned char* f = whole ? whole : facet;
        if (!whole && in.read(facet, 48) < 48) {
            cutShort(i);
            break;
        }
        Point3D corners[3];
        if (facetFromRecord(f, bigEndian, corners) && !importer->addTriangle(corners[0], corners[1], corners[2]))
            break;
        if (!whole && in.read(facet + 48, 2) < 2) {
            cutShort(i);
            break;
        }
    }
    importer->endImport();
    return result;
}

}  // namespace

bool facetFromRecord(const unsigned char* record, bool bigEndian, Point3D corners[3])
{
    const Point3D normal = pointAt(record, bigEndian);
    const Point3D p1 = pointAt(record + 12, bigEndian);
    const Point3D p2 = pointAt(record + 24, bigEndian);
    const Point3D p3 = pointAt(record + 36, bigEndian);
    return orderFacet(p1.cross(p2), normal, p1, p2, p3, corners);
}

// ---- Entry points ----

namespace {

int parse(STLInputStreamC& in, bool ascii, stlImporterI* importer, ImportState& state, ReadStop* stop,
          stlFacetRunImporterI* runs = nullptr)
{
    return ascii ? parseAscii(in, importer, state, stop) : parseBinary(in, importer, state, stop, runs);
}

int parseFile(const char* path, bool ascii, stlImporterI* importer, ImportState& state, uint64_t maxFileSize,
              ReadStop* stop = nullptr, stlFacetRunImporterI* runs = nullptr)
{
    STLInputStreamC in;
    if (!in.open(path, maxFileSize))
        return kSTLCannotReopen;
    return parse(in, ascii, importer, state, stop, runs);
}

}  // namespace

int parseAsciiSTL(STLInputStreamC& in, stlImporterI* importer)
{
    ImportState state;
    return parseAscii(in, importer, state, nullptr);
}

int parseBinarySTL(STLInputStreamC& in, stlImporterI* importer)
{
    ImportState state;
    return parseBinary(in, importer, state, nullptr, nullptr);
}

int parseAsciiSTLString(const char* data, size_t size, stlImporterI* importer)
{
    STLInputStreamC in(data, size);
    return parseAsciiSTL(in, importer);
}

int parseBinarySTLString(const char* data, size_t size, stlImporterI* importer)
{
    STLInputStreamC in(data, size);
    return parseBinarySTL(in, importer);
}

int parseAsciiSTLFile(const char* path, stlImporterI* importer, uint64_t maxFileSize)
{
    ImportState state;
    return parseFile(path, true, importer, state, maxFileSize);
}

int parseBinarySTLFile(const char* path, stlImporterI* importer, uint64_t maxFileSize)
{
    ImportState state;
    return parseFile(path, false, importer, state, maxFileSize);
}

namespace {

int importString(const char* data, size_t size, stlImporterI* importer, stlProgressI* progress, ReadStop* stop,
                 stlFacetRunImporterI* runs)
{
    if (!importer)
        return kSTLFormatError;
    ImportState state(progress);
    state.emptyTextIsEmpty = true;
    STLInputStreamC in(data, size);
    const bool ascii = isAsciiData(in);
    state.total = in.size();
    return parse(in, ascii, importer, state, stop, runs);
}

int importFile(const char* path, stlImporterI* importer, stlProgressI* progress, ReadStop* stop, uint64_t maxFileSize,
               stlFacetRunImporterI* runs)
{
    if (!importer)
        return kSTLFormatError;
    ImportState state(progress);
    state.emptyTextIsEmpty = true;
    bool ascii;
    {
        STLInputStreamC probe;
        if (!probe.open(path, maxFileSize))
            return kSTLCannotOpen;
        ascii = isAsciiData(probe);
        state.total = probe.size();
    }
    return parseFile(path, ascii, importer, state, maxFileSize, stop, runs);
}

}  // namespace

int importSTLString(const char* data, size_t size, stlImporterI* importer, stlProgressI* progress, ReadStop* stop)
{
    return importString(data, size, importer, progress, stop, nullptr);
}

int importSTLString(const char* data, size_t size, stlFacetRunImporterI* importer, stlProgressI* progress,
                    ReadStop* stop)
{
    return importString(data, size, importer, progress, stop, importer);
}

int importSTLString(const char* data, size_t size, stlImporterI* importer, stlProgressI* progress)
{
    return importSTLString(data, size, importer, progress, nullptr);
}

int importSTLString(const MemoryBlockC& data, stlImporterI* importer, stlProgressI* progress, ReadStop* stop)
{
    return importSTLString(data.GetData(), data.GetSize(), importer, progress, stop);
}

int importSTLString(const MemoryBlockC& data, stlImporterI* importer, stlProgressI* progress)
{
    return importSTLString(data, importer, progress, nullptr);
}

int importSTLFile(const char* path, stlImporterI* importer, stlProgressI* progress, uint64_t maxFileSize)
{
    return importSTLFile(path, importer, progress, nullptr, maxFileSize);
}

int importSTLFile(const char* path, stlImporterI* importer, stlProgressI* progress, ReadStop* stop,
                  uint64_t maxFileSize)
{
    return importFile(path, importer, progress, stop, maxFileSize, nullptr);
}

int importSTLFile(const char* path, stlFacetRunImporterI* importer, stlProgressI* progress, ReadStop* stop,
                  uint64_t maxFileSize)
{
    return importFile(path, importer, progress, stop, maxFileSize, importer);
}
