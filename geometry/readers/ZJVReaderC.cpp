// ZJVReaderC: the tokenizer, the part and structure blocks and the library's loading facilities.
#include "geometry/readers/ZJVReaderC.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "math/NumberText.h"
#include "math/TransformMatrix.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/mesh/FEMeshThreadC.h"
#include "geometry/readers/ReadStop.h"
#include "services/PercentEscapes.h"
#include "services/archive/ZipReaderC.h"
#include "services/objects/refHandle.h"

namespace {

// A text stream's buffer that takes at most limit bytes; one more fails the stream.
class CappedTextBuf : public std::streambuf {
public:
    explicit CappedTextBuf(size_t limit) : limit_(limit) {}
    const std::string& bytes() const { return bytes_; }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (n < 0 || size_t(n) > limit_ - bytes_.size())
            return 0;
        bytes_.append(s, size_t(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }

private:
    size_t limit_;
    std::string bytes_;
};

constexpr double kPartTolerance = 0.0001;

// Where the carriage returns from `from` on end. A carriage return ends a line unless only
// carriage returns stand between it and a line feed: text written with CR LF (or CR CR LF)
// line ends reads as it always has, and CR-only text has lines as an editor shows them.
uint32_t carriageReturnsEnd(const char* data, uint32_t size, uint32_t from)
{
    while (from < size && data[from] == '\r')
        ++from;
    return from;
}

// The 1-based line of the byte at `at`, its line ends counted as the tokenizer finds them.
uint64_t lineOf(const char* data, uint32_t size, const char* at)
{
    const uint32_t stop = uint32_t(at - data);
    uint64_t line = 1;
    for (uint32_t i = 0; i < stop; ++i) {
        if (data[i] == '\n') {
            ++line;
        } else if (data[i] == '\r') {
            const uint32_t end = carriageReturnsEnd(data, size, i);
            if (end >= size || data[end] != '\n')
                line += std::min(end, stop) - i;  // each of them ends a line
            i = end - 1;  // before a line feed, the line feed counts the line
        }
    }
    return line;
}

bool isKeyword(const char* s, size_t n, const char* keyword)
{
    return std::strlen(keyword) == n && std::memcmp(s, keyword, n) == 0;
}

// A token as a NUL-terminated text for the runtime's conversions (short ones stay on the stack).
class TokenText {
public:
    TokenText(const char* s, size_t n)
    {
        if (n < sizeof local) {
            std::memcpy(local, s, n);
            local[n] = '\0';
            text = local;
        } else {
            heap.assign(s, n);
            text = heap.c_str();
        }
    }
    const char* c_str() const { return text; }

private:
    char local[64];
    std::string heap;
    const char* text;
};

double tokenToDouble(const char* s, size_t n) { return stringToDouble(TokenText(s, n).c_str()); }
int tokenToInt(const char* s, size_t n) { return stringToInt(TokenText(s, n).c_str()); }

// A number read as double and kept as the float it narrows to.
double narrowed(double v) { return double(float(v)); }

bool isFinitePoint(const Point3D& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

RWCString stripQuotes(const RWCString& s) { return RWCString(s.strip(RWCString::both, '"')); }

// Twelve numbers: the three axis columns, then the translation column. Numbers a short block
// leaves out keep the identity's values.
struct ColumnMatrix {
    double m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

    TransformMatrix toMatrix() const
    {
        TransformMatrix t;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                t.at(row, col) = m[3 * col + row];
        return t;
    }
};

// The unit axis least aligned with d.
Point3D leastAlignedAxis(const Point3D& d)
{
    const double ax = std::fabs(d.x()), ay = std::fabs(d.y()), az = std::fabs(d.z());
    if (ax <= ay && ax <= az)
        return Point3D(1, 0, 0);
    if (ay <= az)
        return Point3D(0, 1, 0);
    return Point3D(0, 0, 1);
}

// The working collections of one part block.
struct PartBlock {
    std::vector<Point3D> points;
    std::vector<feColor> colours;
    std::unordered_map<int, int> faceColours;  // face number -> colour table index
    RWCString name;
    RWCString identifier;
    feColor colour;

    PartBlock() { points.reserve(10000); }
};

}  // namespace

int ZJVReaderC::nextChar()
{
    if (position >= GetSize())
        return kEnd;
    return static_cast<unsigned char>(GetData()[position++]);
}

int ZJVReaderC::nextTokenView(const char*& start, size_t& length)
{
    const char* data = GetData();
    const uint32_t size = GetSize();
    const uint32_t first = position;
    start = data ? data + first : "";
    uint32_t p = first;
    for (;;) {
        if (p >= size) {
            position = size;
            length = 0;
            return TokenEnd;
        }
        const char c = data[p++];
        if (c == '{') {
            position = p;
            length = p - 1 - first;
            return TokenOpen;
        }
        if (c == '}') {
            length = p - 1 - first;
            if (length == 0) {
                position = p;
                return TokenClose;
            }
            position = p - 1;  // the brace closes the block on the next call
            return TokenPlain;
        }
        if (c == '\r') {
            const uint32_t at = p - 1;
            // A run of them that ends no line was found so at its first byte, whose call ended
            // there: the rest of the run needs no second look.
            if (at != first || at == 0 || data[at - 1] != '\r') {
                const uint32_t end = carriageReturnsEnd(data, size, p);
                if (end < size && data[end] == '\n') {
                    p = end;  // CR LF: the carriage returns stay in the token
                    continue;
                }
            }
            position = p;
            length = at - first;
            return TokenPlain;
        }
        if (c == ' ' || c == '\n') {
            position = p;
            length = p - 1 - first;
            return TokenPlain;
        }
    }
}

int ZJVReaderC::nextToken(RWCString& token)
{
    const char* s;
    size_t n;
    const int code = nextTokenView(s, n);
    token = RWCString(s, n);
    return code;
}

double ZJVReaderC::nextDouble()
{
    const char* s;
    size_t n;
    nextTokenView(s, n);
    return counting ? 0.0 : tokenToDouble(s, n);
}

int ZJVReaderC::nextInt()
{
    const char* s;
    size_t n;
    nextTokenView(s, n);
    return tokenToInt(s, n);
}

void ZJVReaderC::skipBlock()
{
    const char* s;
    size_t n;
    while (nextTokenView(s, n) == TokenPlain) {
    }
}

bool ZJVReaderC::nextBlock(const char*& keyword, size_t& length)
{
    for (;;) {
        const int code = nextTokenView(keyword, length);
        if (code == TokenClose || code == TokenEnd)
            return false;
        if (code == TokenOpen)
            return true;
    }
}

void ZJVReaderC::rewind()
{
    // Editors may save text with the mark before it; it is no part of the first block's keyword.
    const char* data = GetData();
    position = GetSize() >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

void ZJVReaderC::parse(FEDisplayPartListC* list) { parse(list, nullptr); }

void ZJVReaderC::parse(FEDisplayPartListC* list, ReadStop* stop)
{
    target = list;
    position = 0;
    partLimitHit = false;
    placementLimitHit = false;
    if (!target)
        return;
    if (partLimit != SIZE_MAX || placementLimit != SIZE_MAX) {
        // Counting costs a walk over the text; building the parts and instances of a text over
        // a limit would cost gigabytes before the limit was found.
        readBlocks(true, nullptr);
        if (partLimitHit || placementLimitHit)
            return;
    }
    readBlocks(false, stop);
}

void ZJVReaderC::readBlocks(bool count, ReadStop* stop)
{
    counting = count;
    rewind();
    partsSoFar = target->partCount();
    placementsSoFar = target->instanceCount();
    const char* s;
    size_t n;
    for (;;) {
        const int code = nextTokenView(s, n);
        if (code == TokenEnd)
            break;
        const bool block = code == TokenOpen && (isKeyword(s, n, "P") || isKeyword(s, n, "S"));
        // Empty tokens and stray carriage returns come from ordinary line ends.
        if (stop && !stop->stopped() && !block && size_t(std::count(s, s + n, '\r')) != n) {
            const uint64_t line = lineOf(GetData(), GetSize(), s);
            const std::string token(s, n > 40 ? 40 : n);
            if (code == TokenOpen)
                stop->set(platform::Reason::ZjvUnknownBlock, line, token);
            else
                stop->set(platform::Reason::ZjvNoPartBlock, line, token);
        }
        if (code != TokenOpen)
            continue;
        if (isKeyword(s, n, "P")) {
            if (partsSoFar >= partLimit) {
                partLimitHit = true;
                break;
            }
            ++partsSoFar;
            if (counting) {
                parsePart(nullptr);
                continue;
            }
            refHandle<FEDisplayPartC> part(new FEDisplayPartC);
            const bool ok = parsePart(part.get());
            target->getParts().append(part);
            if (!ok)
                break;
        } else if (isKeyword(s, n, "S")) {
            if (!parseStructure())
                break;
        }
    }
    counting = false;
}

bool ZJVReaderC::parsePart(FEMeshPartC* part)
{
    // Without a part (the count) every handler takes its tokens and nothing more.
    std::optional<PartBlock> block;
    if (part) {
        block.emplace();
        part->setTolerance(kPartTolerance);
    }
    const char* s;
    size_t n;
    // A single handler's operand: one token, then the call that takes the block's brace.
    const auto single = [&](const char*& text, size_t& length) {
        nextTokenView(text, length);
        nextTokenView(s, n);
    };
    while (nextBlock(s, n)) {
        if (isKeyword(s, n, "N")) {
            const char* text;
            size_t length;
            single(text, length);
            if (block)
                block->name = stripQuotes(RWCString(text, length));
        } else if (isKeyword(s, n, "C")) {
            double c[4];
            for (double& v : c)
                v = nextDouble();
            nextTokenView(s, n);
            if (block)
                block->colour = feColor(float(c[0] / 255.0), float(c[1] / 255.0), float(c[2] / 255.0), float(c[3] / 255.0));
        } else if (isKeyword(s, n, "MID")) {
            const char* text;
            size_t length;
            single(text, length);
            if (block)
                block->identifier = percentDecode(stripQuotes(RWCString(text, length)));
        } else if (isKeyword(s, n, "PL")) {
            double v[3];
            int k = 0;
            while (nextTokenView(s, n) == TokenPlain) {
                if (!block)
                    continue;
                v[k++] = narrowed(tokenToDouble(s, n));
                if (k == 3) {
                    block->points.emplace_back(v[0], v[1], v[2]);
                    k = 0;
                }
            }
        } else if (isKeyword(s, n, "COLS")) {
            while (nextTokenView(s, n) == TokenPlain) {
                if (!block)
                    continue;
                const uint32_t packed = uint32_t(tokenToInt(s, n));
                block->colours.emplace_back(float(((packed >> 16) & 0xFF) / 255.0), float(((packed >> 8) & 0xFF) / 255.0),
                                            float((packed & 0xFF) / 255.0), float(((packed >> 24) & 0xFF) / 255.0));
            }
        } else if (isKeyword(s, n, "CF")) {
            int pair[2];
            int k = 0;
            while (nextTokenView(s, n) == TokenPlain) {
                if (!block)
                    continue;
                pair[k++] = tokenToInt(s, n);
                if (k == 2) {
                    block->faceColours[pair[0]] = pair[1];
                    k = 0;
                }
            }
        } else if (isKeyword(s, n, "NL")) {
            // Normals come from the faces; the list's values are not needed.
            skipBlock();
        } else if (isKeyword(s, n, "FL3")) {
            int face = 0;
            int index[3];
            int k = 0;
            while (nextTokenView(s, n) == TokenPlain) {
                if (!block)
                    continue;
                index[k++] = tokenToInt(s, n);
                if (k < 3)
                    continue;
                k = 0;
                const size_t count = block->points.size();
                // Compared unsigned, so a negative index is out of range too.
                if (uint32_t(index[0]) < count && uint32_t(index[1]) < count && uint32_t(index[2]) < count) {
                    const Point3D& p1 = block->points[uint32_t(index[0])];
                    const Point3D& p2 = block->points[uint32_t(index[1])];
                    const Point3D& p3 = block->points[uint32_t(index[2])];
                    if (isFinitePoint(p1) && isFinitePoint(p2) && isFinitePoint(p3)) {
                        FEMeshFaceC* before = part->getLastFace();
                        part->addTriangle(p1, p2, p3);
                        FEMeshFaceC* added = part->getLastFace();
                        if (added && added != before) {
                            const auto it = block->faceColours.find(face);
                            // A colour index outside the table leaves the face without a colour.
                            if (it != block->faceColours.end() && it->second >= 0 &&
                                size_t(it->second) < block->colours.size()) {
                                const feColor& c = block->colours[size_t(it->second)];
                                added->setFaceInfo(new FEMeshFaceInfoColorC(c.r(), c.g(), c.b(), c.alpha(), c.hue(),
                                                                            c.lightness(), c.saturation()));
                            }
                        }
                        part->endFace();
                    }
                }
                ++face;  // skipped triples keep their numbers
            }
        } else if (isKeyword(s, n, "NL3") || isKeyword(s, n, "LLF") || isKeyword(s, n, "LLR")) {
            skipBlock();
        } else if (isKeyword(s, n, "THRL")) {
            while (nextTokenView(s, n) == TokenPlain) {
                const char* first = s;
                const size_t firstLength = n;
                double v[7];
                for (double& x : v)
                    x = narrowed(nextDouble());
                if (!block)
                    continue;
                const bool flag = tokenToInt(first, firstLength) != 0;
                const Point3D p1(v[0], v[1], v[2]);
                const Point3D p2(v[3], v[4], v[5]);
                const double d = v[6];
                // A thread without a usable diameter or axis cannot be drawn.
                if (!isFinitePoint(p1) || !isFinitePoint(p2) || !std::isfinite(d) || !(d > 0.0))
                    continue;
                const double length = (p2 - p1).length();
                if (!std::isfinite(length))
                    continue;
                // The frame must be orthonormal, or an oblique thread is drawn with a wrong radius.
                const Point3D axis = length > 0.0 ? (p2 - p1).normalized() : Point3D(0, 0, 1);
                Point3D x = axis.cross(Point3D(axis.y(), axis.z(), -axis.x()));
                if (x.length() < 0.1)  // the helper is (nearly) parallel to the axis
                    x = axis.cross(leastAlignedAxis(axis));
                x = x.normalized();
                const Point3D y = x.cross(axis).normalized();
                TransformMatrix m;
                const Point3D columns[4] = {x, y, axis, p1};
                for (int col = 0; col < 4; ++col) {
                    m.at(0, col) = columns[col].x();
                    m.at(1, col) = columns[col].y();
                    m.at(2, col) = columns[col].z();
                }
                part->addThread(new FEMeshThreadC(m, length, d, d, flag, 0.0, length, 1.0, d / 2.0, d / 2.0));
            }
        } else {
            skipBlock();
        }
    }

    if (!block)
        return true;
    part->setName(block->name);
    part->setMID(block->identifier);
    part->setColor(block->colour);
    part->finalize(-1.0);
    part->smoothNormals();
    return true;
}

bool ZJVReaderC::parseStructure()
{
    int partNumber = 0;
    TransformMatrix base;
    TransformMatrix exploded;
    const char* s;
    size_t n;
    while (nextBlock(s, n)) {
        if (isKeyword(s, n, "N")) {
            nextTokenView(s, n);  // the structure's name is not kept
            nextTokenView(s, n);
        } else if (isKeyword(s, n, "M") || isKeyword(s, n, "ME")) {
            const bool exploding = n == 2;
            ColumnMatrix columns;
            int k = -1;  // the first token is the part number
            while (nextTokenView(s, n) == TokenPlain) {
                if (k < 0) {
                    if (!exploding)
                        partNumber = tokenToInt(s, n);
                } else if (k < 12 && !counting) {
                    columns.m[k] = tokenToDouble(s, n);
                }
                ++k;
            }
            if (!exploding) {
                base = columns.toMatrix();
                continue;
            }
            // An instance of a part not read (yet) is left out rather than failing the load.
            if (partNumber < 0 || size_t(partNumber) >= partsSoFar)
                continue;
            if (placementsSoFar >= placementLimit) {
                placementLimitHit = true;
                return false;
            }
            ++placementsSoFar;
            if (counting)
                continue;
            exploded = columns.toMatrix();
            FEDisplayPartC* part = target->getPart(size_t(partNumber));
            target->getInstances().append(new FEDisplayPartRefC(partNumber, part, base, exploded));
        } else {
            skipBlock();
        }
    }
    return true;
}

bool ZJVReaderC::parseFirstPart(FEMeshPartC* part)
{
    rewind();
    const char* s;
    size_t n;
    for (;;) {
        const int code = nextTokenView(s, n);
        if (code == TokenEnd || (code == TokenOpen && isKeyword(s, n, "P")))
            break;
    }
    if (part)
        parsePart(part);
    return true;
}

bool ZJVReaderC::mergeIntoPart(FEMeshPartC* into)
{
    if (!into)
        return false;
    auto list = std::make_unique<FEDisplayPartListC>();
    parse(list.get());
    target = nullptr;
    const size_t count = list->instanceCount();
    if (count == 0)
        return false;
    if (count == 1) {
        const FEDisplayPartRefC* instance = list->getInstance(0);
        into->copyFrom(*instance->GetPart());
        into->transform(instance->GetMatrix().getData());
        return true;
    }
    for (size_t i = 0; i < count; ++i) {
        const FEDisplayPartRefC* instance = list->getInstance(i);
        refHandle<FEMeshPartC> placed(new FEMeshPartC);
        placed->copyFrom(*instance->GetPart());
        placed->transform(instance->GetMatrix().getData());
        into->copyFrom(*placed.get());
    }
    return true;
}

bool ZJVReaderC::loadFile(const char* path)
{
    // The buffer's size is a 32-bit count with room for the NUL after the data.
    const uint64_t limit = maxUnpackedSize < uint64_t(UINT32_MAX) - 1 ? maxUnpackedSize : uint64_t(UINT32_MAX) - 1;
    CappedTextBuf text{size_t(limit)};
    std::ostream out(&text);
    ZipReaderC zip;
    // open checks the archive's end record before minizip reads anything else of the file.
    bool ok = zip.open(path) == ZipOk && zip.goToFirstFile() == ZipOk && zip.openCurrentFile(nullptr) == ZipOk;
    if (ok) {
        ok = zip.extractCurrentFile(&out, 0, false) == ZipOk;
        // Reports a checksum or size mismatch once the whole entry has been read.
        if (zip.closeCurrentFile() != ZipOk)
            ok = false;
    }
    zip.close();
    if (!ok)
        return false;
    const std::string& bytes = text.bytes();
    if (!Allocate(uint32_t(bytes.size())))
        return false;
    if (!bytes.empty())
        std::memcpy(GetData(), bytes.data(), bytes.size());
    return true;
}
