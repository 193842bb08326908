// Tests of the STL reader: form detection, text and binary parsing, winding, failures and progress.
#include "geometry/readers/STLImport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "geometry/display/MemoryBlockC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "platform/sys.h"
#include "tests/geometry/mesh/MeshTestShapes.h"
#include "tests/support/BenchSupport.h"
#include "tests/support/TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Tri {
    Point3D a, b, c;
};

// Records what the reader hands over.
class RecordingImporter : public stlImporterI {
public:
    void beginImport(int estimate) override
    {
        ++begins;
        this->estimate = estimate;
    }
    bool addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3) override
    {
        tris.push_back({p1, p2, p3});
        return stopAfter < 0 || int(tris.size()) < stopAfter;
    }
    void endImport() override { ++ends; }

    std::vector<Tri> tris;
    int begins = 0;
    int ends = 0;
    int estimate = -1;
    int stopAfter = -1;
};

class RecordingProgress : public stlProgressI {
public:
    void reportProgress(float percent) override { values.push_back(percent); }
    std::vector<float> values;
};

const Point3D A(0, 0, 0), B(1, 0, 0), C(0, 1, 0);

std::string facetText(const Point3D& n, const Point3D& a, const Point3D& b, const Point3D& c)
{
    auto v = [](const Point3D& p) {
        return std::to_string(p.x()) + " " + std::to_string(p.y()) + " " + std::to_string(p.z());
    };
    return "facet normal " + v(n) + "\n outer loop\n  vertex " + v(a) + "\n  vertex " + v(b) + "\n  vertex " + v(c) +
           "\n endloop\nendfacet\n";
}

void putWord(std::string& s, uint32_t w, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        s += char(bigEndian ? (w >> (24 - 8 * i)) & 0xFF : (w >> (8 * i)) & 0xFF);
}

void putFloat(std::string& s, float f, bool bigEndian)
{
    uint32_t w;
    std::memcpy(&w, &f, 4);
    putWord(s, w, bigEndian);
}

void putPoint(std::string& s, const Point3D& p, bool bigEndian)
{
    putFloat(s, float(p.x()), bigEndian);
    putFloat(s, float(p.y()), bigEndian);
    putFloat(s, float(p.z()), bigEndian);
}

std::string binarySTL(const std::vector<Tri>& tris, const std::vector<Point3D>& normals, bool bigEndian,
                      const std::string& header = "binary", int64_t count = -1)
{
    std::string s = header;
    s.resize(80, ' ');
    putWord(s, count < 0 ? uint32_t(tris.size()) : uint32_t(count), bigEndian);
    for (size_t i = 0; i < tris.size(); ++i) {
        putPoint(s, normals[i], bigEndian);
        putPoint(s, tris[i].a, bigEndian);
        putPoint(s, tris[i].b, bigEndian);
        putPoint(s, tris[i].c, bigEndian);
        s += std::string(2, '\0');
    }
    return s;
}

int importText(const std::string& s, RecordingImporter& imp, stlProgressI* progress = nullptr)
{
    return importSTLString(s.data(), s.size(), &imp, progress);
}

void expectTri(const Tri& t, const Point3D& a, const Point3D& b, const Point3D& c)
{
    EXPECT_EQ(t.a, a);
    EXPECT_EQ(t.b, b);
    EXPECT_EQ(t.c, c);
}

}  // namespace

TEST(STLImport, TextFacetsKeepOrStartAtThirdVertexByStatedNormal)
{
    struct Case {
        const char* what;
        std::string text;
        int result;
        bool reversed;  // stated normal against the winding
    };
    const std::string body = facetText(Point3D(0, 0, 1), A, B, C);
    const Case cases[] = {
        {"plain", "solid x\n" + body + "endsolid x\n", 0, false},
        {"normal against winding", "solid x\n" + facetText(Point3D(0, 0, -1), A, B, C) + "endsolid\n", 0, true},
        {"upper case, CR LF", "SOLID X\r\nFACET NORMAL 0 0 1\r\nOUTER LOOP\r\nVERTEX 0 0 0\r\nVERTEX 1 0 0\r\n"
                              "VERTEX 0 1 0\r\nENDLOOP\r\nENDFACET\r\nENDSOLID X\r\n", 0, false},
        {"tabs and no endsolid", "solid\n\tfacet\tnormal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0\tvertex 0 1 0"
                                 " endloop endfacet", 0, false},
        {"decimal commas", "solid c\nfacet normal 0 0 -0,5\nouter loop\nvertex 0 0 0\nvertex 1,0 0 0\n"
                           "vertex 0 1,0 0\nendloop\nendfacet\n", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingImporter imp;
        EXPECT_EQ(importText(c.text, imp), c.result);
        ASSERT_EQ(imp.tris.size(), 1u);
        if (c.reversed)
            expectTri(imp.tris[0], C, A, B);
        else
            expectTri(imp.tris[0], A, B, C);
        EXPECT_EQ(imp.begins, 1);
        EXPECT_EQ(imp.ends, 1);
        EXPECT_EQ(imp.estimate, int(c.text.size() / 40));
    }
}

TEST(STLImport, MalformedOrTruncatedTextIsFormatErrorKeepingEarlierFacetsAndSaysWhere)
{
    const std::string good = "solid t\n" + facetText(Point3D(0, 0, 1), A, B, C);  // lines 1 to 8
    struct Case {
        const char* what;
        std::string tail;
        const char* stop;
    };
    const Case cases[] = {
        {"cut in a vertex line", "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0",
         "ASCII STL line 12: expected a number but the data ends"},
        {"cut in a normal line", "facet normal 0 0", "ASCII STL line 9: expected a number but the data ends"},
        {"cut before endloop", "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0\n",
         "ASCII STL line 9: expected 'endloop' but the data ends"},
        {"cut before endfacet", "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop",
         "ASCII STL line 9: expected 'endfacet' but the data ends"},
        {"wrong keyword", "facet normal 0 0 1 outer loop vertex 0 0 0 vertx 1 0 0 vertex 0 1 0 endloop endfacet",
         "ASCII STL line 9: expected 'vertex' but found 'vertx'"},
        {"missing outer", "facet normal 0 0 1 loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet",
         "ASCII STL line 9: expected 'outer loop' but found 'loop'"},
        {"wrong keyword after CRLF lines", "facet normal 0 0 1\r\n outer loop\r\n  VERTX 0 0 0\r\n",
         "ASCII STL line 11: expected 'vertex' but found 'vertx'"},
        {"... after CR lines", "facet normal 0 0 1\r outer loop\r  VERTX 0 0 0\r",
         "ASCII STL line 11: expected 'vertex' but found 'vertx'"},
        // A later body follows the first one's rules.
        {"broken second body", "endsolid t\nsolid u\nfacet normal 0 0 1\n outer loop\n  vertx 0 0 0\n",
         "ASCII STL line 13: expected 'vertex' but found 'vertx'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingImporter imp;
        const std::string text = good + c.tail;
        EXPECT_EQ(importText(text, imp), kSTLFormatError);
        EXPECT_EQ(imp.tris.size(), 1u);
        EXPECT_EQ(imp.ends, 1);
        RecordingImporter again;
        ReadStop stop;
        EXPECT_EQ(importSTLString(text.data(), text.size(), &again, nullptr, &stop), kSTLFormatError);
        EXPECT_EQ(stop.text(), c.stop);
    }
    // A file tells the same place.
    TempDir dir;
    RecordingImporter imp;
    ReadStop stop;
    EXPECT_EQ(importSTLFile(dir.write("m.stl", good + cases[4].tail).c_str(), &imp, nullptr, &stop), kSTLFormatError);
    EXPECT_EQ(stop.text(), cases[4].stop);
}

namespace {

// The text with every line feed made a carriage return.
std::string crLines(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', '\r');
    return text;
}

}  // namespace

TEST(STLImport, TextFirstWordAndModelEnd)
{
    const std::string facet = facetText(Point3D(0, 0, 1), A, B, C);
    struct Case {
        const char* what;
        std::string text;
        int result;
        size_t tris;
    };
    const Case cases[] = {
        // Detected as text by its second line, but the first word must be solid.
        {"first word not solid", "model x\n" + facet, kSTLFormatError, 0},
        {"solid word glued to more", "solidworks x\n" + facet, kSTLFormatError, 0},
        // Any word where facet is expected ends the model without error.
        {"other word after a facet", "solid x\n" + facet + "solid y\n" + facet, kSTLOk, 1},
        // After endsolid (and the body's name, if any) a further solid starts another body.
        {"three bodies", "solid a\n" + facet + "endsolid a\nsolid b\n" + facet + facet + "endsolid\nsolid c\n" + facet,
         kSTLOk, 4},
        {"keywords in any case, blank lines, CRLF",
         "SOLID a\r\n" + facet + "EndSolid a b c\r\n\r\n\r\nSolid b\r\n" + facet + "ENDSOLID\r\n", kSTLOk, 2},
        {"any other word after a body ends the read", "solid a\n" + facet + "endsolid a\nfoo\nsolid b\n" + facet,
         kSTLOk, 1},
        {"an empty body between two", "solid a\n" + facet + "endsolid a\nsolid b\nendsolid b\nsolid c\n" + facet, kSTLOk, 2},
        // A body without facets has no "facet" after its first line, so the form reads binary;
        // as binary it runs short, and it is the empty model it says it is.
        {"one body without facets", "solid e\nendsolid e\n", kSTLOk, 0},
        {"... in any case, without names, blank lines, CRLF", "\r\n\r\nSOLID\r\n\r\n\r\nEndSolid\r\n\r\n", kSTLOk, 0},
        // Classic Mac line ends: a carriage return alone ends the first line as well.
        {"CR line ends", "solid a\r" + crLines(facet) + "endsolid a\rsolid b\r" + crLines(facet) + "endsolid b\r",
         kSTLOk, 2},
        {"... without a name", "solid\r" + crLines(facet), kSTLOk, 1},
        {"... a body without facets", "solid e\rendsolid e\r", kSTLOk, 0},
        {"... nor names", "solid\rendsolid\r", kSTLOk, 0},
        {"... after a byte-order mark", "\xEF\xBB\xBFsolid x\r" + crLines(facet), kSTLOk, 1},
        {"... longer than a binary header, no triangle made of its text",
         "solid " + std::string(300, 'n') + "\n  endsolid " + std::string(300, 'n'), kSTLOk, 0},
        // Text saved with the UTF-8 byte-order mark before it reads as the text it is.
        {"a byte-order mark before solid", "\xEF\xBB\xBFsolid x\n" + facet, kSTLOk, 1},
        {"... before a body without facets", "\xEF\xBB\xBFsolid e\nendsolid e\n", kSTLOk, 0},
        {"... before another first word", "\xEF\xBB\xBFmodel x\n" + facet, kSTLFormatError, 0},
        {"... twice", "\xEF\xBB\xBF\xEF\xBB\xBFsolid x\n" + facet, kSTLFormatError, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingImporter imp;
        EXPECT_EQ(importText(c.text, imp), c.result);
        EXPECT_EQ(imp.tris.size(), c.tris);
        EXPECT_EQ(imp.begins, 1);
        EXPECT_EQ(imp.ends, 1);
    }
}

TEST(STLImport, LongSolidNameAndLongWordsStayBounded)
{
    // A name far beyond the first line's 254 characters still reads as text.
    const std::string name(5000, 'n');
    RecordingImporter imp;
    EXPECT_EQ(importText("solid " + name + "\n" + facetText(Point3D(0, 0, 1), A, B, C), imp), 0);
    EXPECT_EQ(imp.tris.size(), 1u);

    // A number word longer than 99 characters is cut, not split into two words.
    RecordingImporter imp2;
    const std::string longNumber = "1." + std::string(300, '0');
    EXPECT_EQ(importText("solid\nfacet normal 0 0 1 outer loop vertex 0 0 0 vertex " + longNumber +
                             " 0 0 vertex 0 1 0 endloop endfacet\n",
                         imp2),
              0);
    ASSERT_EQ(imp2.tris.size(), 1u);
    EXPECT_EQ(imp2.tris[0].b, B);
}

TEST(STLImport, BinaryLittleAndBigEndianGiveTheSameTriangles)
{
    const std::vector<Tri> tris = {{A, B, C}, {Point3D(0, 0, 1), Point3D(1, 0, 1), Point3D(1, 1, 1)}};
    const std::vector<Point3D> normals = {Point3D(0, 0, 1), Point3D(0, 0, 1)};
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big endian" : "little endian");
        RecordingImporter imp;
        const std::string data = binarySTL(tris, normals, big);
        EXPECT_EQ(importText(data, imp), 0);
        ASSERT_EQ(imp.tris.size(), 2u);
        expectTri(imp.tris[0], A, B, C);
        EXPECT_EQ(imp.estimate, int(data.size() / 48));
    }
}

TEST(STLImport, BinaryWindingFollowsFirstTwoVerticesCrossedAgainstNormal)
{
    // p1 x p2 for (1,0,0), (0,1,0) is +z: a -z normal starts the triangle at its third vertex.
    const Point3D p1(1, 0, 0), p2(0, 1, 0), p3(1, 1, 0);
    RecordingImporter imp;
    EXPECT_EQ(importText(binarySTL({{p1, p2, p3}, {p1, p2, p3}}, {Point3D(0, 0, 1), Point3D(0, 0, -1)}, false), imp), 0);
    ASSERT_EQ(imp.tris.size(), 2u);
    expectTri(imp.tris[0], p1, p2, p3);
    expectTri(imp.tris[1], p3, p1, p2);
}

TEST(STLImport, BinaryWhoseHeaderBeginsWithSolidIsStillBinary)
{
    // A byte-order mark is no text mark in a binary header, nor is a line ended by a carriage
    // return when no "facet" follows it: every header byte stays ignored.
    for (const char* header : {"solid exported by a CAD program\n", "\xEF\xBB\xBFsolid exported\n", "solid x\rby a CAD program\r"}) {
        RecordingImporter imp;
        const std::string data = binarySTL({{A, B, C}}, {Point3D(0, 0, 1)}, false, header);
        EXPECT_EQ(importText(data, imp), 0);
        ASSERT_EQ(imp.tris.size(), 1u);
        expectTri(imp.tris[0], A, B, C);
    }
}

TEST(STLImport, ShortOrLyingBinaryIsFormatErrorAndSaysWhere)
{
    const std::string one = binarySTL({{A, B, C}}, {Point3D(0, 0, 1)}, false);
    struct Case {
        const char* what;
        std::string data;
        size_t tris;
        int begins;
        const char* stop;
    };
    const Case cases[] = {
        {"shorter than the header", one.substr(0, 50), 0, 0, "binary STL of 50 bytes ends inside its 84-byte header"},
        {"no room for the count", one.substr(0, 83), 0, 0, "binary STL of 83 bytes ends inside its 84-byte header"},
        {"cut inside a facet", one.substr(0, 84 + 30), 0, 1,
         "binary STL declares 1 triangle but holds 0 (reading stopped at byte 84)"},
        {"cut in the attribute", one.substr(0, 84 + 49), 1, 1,
         "binary STL declares 1 triangle but holds 0 (reading stopped at byte 84)"},
        // A count of four billion allocates nothing and stops at the first short read.
        {"count of 4 billion", binarySTL({{A, B, C}}, {Point3D(0, 0, 1)}, false, "x", 0xFFFFFFF0LL), 1, 1,
         "binary STL declares 4,294,967,280 triangles but holds 1 (reading stopped at byte 134)"},
        // Only a text body without facets and nothing else stands for an empty model.
        {"a solid line alone", "solid e\n", 0, 0, "binary STL of 8 bytes ends inside its 84-byte header"},
        {"more after the endsolid line", "solid e\nendsolid e\nx\n", 0, 0,
         "binary STL of 21 bytes ends inside its 84-byte header"},
        {"endsolid glued to more", "solid e\nendsolidx\n", 0, 0, "binary STL of 18 bytes ends inside its 84-byte header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingImporter imp;
        EXPECT_EQ(importText(c.data, imp), kSTLFormatError);
        EXPECT_EQ(imp.tris.size(), c.tris);
        EXPECT_EQ(imp.begins, c.begins);
        EXPECT_EQ(imp.ends, c.begins);
        RecordingImporter again;
        ReadStop stop;
        EXPECT_EQ(importSTLString(c.data.data(), c.data.size(), &again, nullptr, &stop), kSTLFormatError);
        EXPECT_EQ(stop.text(), c.stop);
    }
    RecordingImporter empty;
    EXPECT_EQ(importSTLString(nullptr, 0, &empty, nullptr), kSTLFormatError);
    EXPECT_EQ(empty.begins, 0);
}

TEST(STLImport, BigEndianCountTestDoesNotOverflow)
{
    // Count bytes 05 1E B8 53: read big-endian 85,899,347, whose x 50 + 84 wraps 32 bits to 138,
    // within 10 of the 134-byte size. Computed in 64 bits the file stays little-endian, so its
    // one facet reads as written (then the huge little-endian count runs out: format error).
    std::string data = binarySTL({{A, B, C}}, {Point3D(0, 0, 1)}, false);
    const uint32_t be = 85899347u;
    for (int i = 0; i < 4; ++i)
        data[80 + i] = char((be >> (24 - 8 * i)) & 0xFF);
    ASSERT_EQ(data.size(), 134u);
    RecordingImporter imp;
    EXPECT_EQ(importText(data, imp), kSTLFormatError);
    ASSERT_EQ(imp.tris.size(), 1u);
    expectTri(imp.tris[0], A, B, C);
}

TEST(STLImport, NonFiniteTrianglesAreSkippedAndImporterMayStop)
{
    const double inf = std::numeric_limits<double>::infinity();
    RecordingImporter imp;
    const std::string data =
        binarySTL({{A, B, C}, {A, Point3D(inf, 0, 0), C}, {A, B, Point3D(0, 2, 0)}},
                  {Point3D(0, 0, 1), Point3D(0, 0, 1), Point3D(0, 0, 1)}, false);
    EXPECT_EQ(importText(data, imp), 0);
    EXPECT_EQ(imp.tris.size(), 2u);

    // In text, a coordinate beyond the float range is no finite float either: the mesh would
    // hold an infinity there, which every search of the part compares (20,000 such facets took
    // over a second, quadratically). The largest float still holds.
    RecordingImporter text;
    EXPECT_EQ(importText("solid\n" + facetText(Point3D(0, 0, 1), A, Point3D(NAN, 0, 0), C) +
                             facetText(Point3D(0, 0, 1), A, B, C) +
                             facetText(Point3D(0, 0, 1), A, Point3D(0, -1e39, 0), C) +
                             facetText(Point3D(0, 0, 1), A, B, Point3D(0, 0, 3.4028234e38)) +
                             facetText(Point3D(0, 0, 1), Point3D(1e39, 0, 0), B, C) +
                             facetText(Point3D(0, 0, 1), A, B, Point3D(0, 0, -1e39)) +
                             facetText(Point3D(0, 0, 1e39), A, B, C),  // only a normal beyond it
                         text),
              0);
    ASSERT_EQ(text.tris.size(), 3u);
    expectTri(text.tris[0], A, B, C);
    expectTri(text.tris[2], A, B, C);

    RecordingImporter stopping;
    stopping.stopAfter = 1;
    EXPECT_EQ(importText(data, stopping), 0);
    EXPECT_EQ(stopping.tris.size(), 1u);
    EXPECT_EQ(stopping.ends, 1);
}

TEST(STLImport, ProgressStartsAtZeroAndStaysWithinHundred)
{
    std::vector<Tri> tris(4000, Tri{A, B, C});
    std::vector<Point3D> normals(4000, Point3D(0, 0, 1));
    RecordingProgress progress;
    RecordingImporter imp;
    EXPECT_EQ(importText(binarySTL(tris, normals, false), imp, &progress), 0);
    ASSERT_EQ(progress.values.size(), 3u);  // 0, then every 1500 facets
    EXPECT_EQ(progress.values[0], 0.0f);
    EXPECT_GT(progress.values[1], 30.0f);
    EXPECT_LT(progress.values[2], 100.0f);
}

TEST(STLImport, FilesReadLikeMemoryAndMissingFileIsOne)
{
    TempDir dir;
    const std::string text = "solid f\n" + facetText(Point3D(0, 0, 1), A, B, C) + "endsolid f\n";
    const std::string bin = binarySTL({{A, B, C}}, {Point3D(0, 0, 1)}, true);
    for (const std::string& data : {text, bin}) {
        RecordingImporter imp;
        EXPECT_EQ(importSTLFile(dir.write("m.stl", data).c_str(), &imp, nullptr), 0);
        ASSERT_EQ(imp.tris.size(), 1u);
        expectTri(imp.tris[0], A, B, C);
    }
    RecordingImporter empty;
    EXPECT_EQ(importSTLFile(dir.write("e.stl", "solid " + std::string(100, 'e') + "\nendsolid\n").c_str(), &empty, nullptr), 0);
    EXPECT_EQ(empty.tris.size(), 0u);
    EXPECT_EQ(empty.ends, 1);
    // The binary parser called directly reads what it is told: to it such text is a short header.
    const std::string emptyText = "solid e\nendsolid e\n";
    RecordingImporter direct;
    EXPECT_EQ(parseBinarySTLString(emptyText.data(), emptyText.size(), &direct), kSTLFormatError);
    EXPECT_EQ(parseBinarySTLFile(dir.write("t.stl", emptyText).c_str(), &direct), kSTLFormatError);
    EXPECT_EQ(direct.begins, 0);
    RecordingImporter imp;
    EXPECT_EQ(importSTLFile(dir.file("missing.stl").c_str(), &imp, nullptr), kSTLCannotOpen);
    EXPECT_EQ(importSTLFile(dir.path().c_str(), &imp, nullptr), kSTLCannotOpen);
    EXPECT_EQ(parseBinarySTLFile(dir.file("missing.stl").c_str(), &imp), kSTLCannotReopen);
    EXPECT_EQ(imp.begins, 0);
}

// Facets that straddle the file stream's 50000-byte window are read like those within it.
TEST(STLImport, LargeBinaryFilesReadLikeMemoryAcrossTheStreamWindow)
{
    TempDir dir;
    std::vector<Tri> tris;
    std::vector<Point3D> normals;
    for (int i = 0; i < 2500; ++i) {
        const Point3D a(i * 0.5, i % 7, -i * 0.25), b = a + Point3D(1, 0.5, 0), c = a + Point3D(0, 1, 0.75);
        tris.push_back({a, b, c});
        normals.push_back(i % 3 == 0 ? Point3D(0, 0, -1) : Point3D(0, 0, 1));  // every third flips the winding
    }
    for (bool bigEndian : {false, true}) {
        const std::string whole = binarySTL(tris, normals, bigEndian);
        // Whole; and cut inside the last attribute, which still delivers the last facet.
        for (const std::string& data : {whole, whole.substr(0, whole.size() - 1)}) {
            SCOPED_TRACE(testing::Message() << "big endian " << bigEndian << ", bytes " << data.size());
            RecordingImporter fromMemory, fromFile;
            const int expected = data.size() == whole.size() ? kSTLOk : kSTLFormatError;
            EXPECT_EQ(importText(data, fromMemory), expected);
            EXPECT_EQ(importSTLFile(dir.write("big.stl", data).c_str(), &fromFile, nullptr), expected);
            ASSERT_EQ(fromMemory.tris.size(), tris.size());
            ASSERT_EQ(fromFile.tris.size(), tris.size());
            for (size_t i = 0; i < tris.size(); ++i) {
                const Tri& t = fromFile.tris[i];
                expectTri(fromMemory.tris[i], t.a, t.b, t.c);
                const Point3D m = Point3D(Point3Df(tris[i].a)).cross(Point3D(Point3Df(tris[i].b)));
                const Tri want = m.dot(normals[i]) >= 0.0 ? tris[i] : Tri{tris[i].c, tris[i].a, tris[i].b};
                expectTri(t, Point3D(Point3Df(want.a)), Point3D(Point3Df(want.b)), Point3D(Point3Df(want.c)));
            }
        }
    }
}

TEST(STLImport, SpecialFilesAndFilesAboveTheLimitCannotOpen)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe.stl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string bin = binarySTL({{A, B, C}}, {Point3D(0, 0, 1)}, false);
    const std::string path = dir.write("m.stl", bin);
    RecordingImporter imp;
    ::alarm(30);  // a reader that blocks on the FIFO fails here rather than hanging the suite
    for (const std::string& name : {fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(importSTLFile(name.c_str(), &imp, nullptr), kSTLCannotOpen) << name;
        EXPECT_EQ(parseAsciiSTLFile(name.c_str(), &imp), kSTLCannotReopen) << name;
    }
    ::alarm(0);
    EXPECT_EQ(importSTLFile(path.c_str(), &imp, nullptr, bin.size() - 1), kSTLCannotOpen);
    EXPECT_EQ(imp.begins, 0);
    EXPECT_EQ(importSTLFile(path.c_str(), &imp, nullptr, bin.size()), kSTLOk);
    EXPECT_EQ(imp.tris.size(), 1u);
}

TEST(STLImport, ImportsOnSeveralThreadsKeepTheirOwnProgress)
{
    // Each thread's file has its own facet count, so that progress fed from another import's
    // state shows as a wrong share or a wrong number of reports.
    TempDir dir;
    constexpr int kThreads = 8;
    std::vector<std::string> paths;
    for (int t = 0; t < kThreads; ++t) {
        const size_t n = 3000 + 1000 * size_t(t);
        paths.push_back(dir.write("m" + std::to_string(t) + ".stl",
                                  binarySTL(std::vector<Tri>(n, Tri{A, B, C}), std::vector<Point3D>(n, Point3D(0, 0, 1)), false)));
    }
    std::vector<std::vector<float>> reports(kThreads);
    std::vector<size_t> counts(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                RecordingImporter imp;
                RecordingProgress progress;
                importSTLFile(paths[size_t(t)].c_str(), &imp, &progress);
                counts[size_t(t)] = imp.tris.size();
                reports[size_t(t)] = progress.values;
            }
        });
    for (std::thread& th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t) {
        const size_t n = 3000 + 1000 * size_t(t);
        EXPECT_EQ(counts[size_t(t)], n);
        ASSERT_EQ(reports[size_t(t)].size(), 1 + n / 1500) << t;
        for (size_t i = 1; i < reports[size_t(t)].size(); ++i)
            EXPECT_NEAR(reports[size_t(t)][i], 100.0 * double(84 + 50 * (1500 * i - 1)) / double(84 + 50 * n), 0.5);
    }
}

TEST(STLImport, MeshPartReadsTextAndBinaryToTheSameMeshAndFailsOnFormatError)
{
    // Two triangles of a square, the second stated with a reversed normal.
    const Point3D d(1, 1, 0);
    const std::string text = "solid sq\n" + facetText(Point3D(0, 0, 1), A, B, d) +
                             facetText(Point3D(0, 0, -1), A, C, d) + "endsolid sq\n";
    const std::string bin = binarySTL({{A, B, d}, {A, C, d}}, {Point3D(0, 0, 1), Point3D(0, 0, -1)}, false);

    FEMeshPartC fromText, fromBinary;
    MemoryBlockC block;
    ASSERT_TRUE(block.Allocate(uint32_t(text.size())));
    std::memcpy(block.GetData(), text.data(), text.size());
    EXPECT_TRUE(fromText.readSTLFromString(block, 15.0f, nullptr));
    EXPECT_TRUE(fromBinary.readSTLFromString(bin.data(), bin.size(), 15.0f, nullptr));
    EXPECT_EQ(fromText.getFaceCount(), 2u);
    EXPECT_EQ(fromText.getVertexCount(), 4u);
    EXPECT_EQ(fromText.getEdgeCount(), fromBinary.getEdgeCount());
    for (FEMeshFaceC *f = fromText.getFirstFace(), *g = fromBinary.getFirstFace(); f || g;
         f = f->getNext(), g = g->getNext()) {
        ASSERT_TRUE(f && g);
        EXPECT_EQ(f->getNormal(), g->getNormal());
    }

    FEMeshPartC truncated;
    EXPECT_FALSE(truncated.readSTLFromString(bin.data(), bin.size() - 10, 15.0f, nullptr));
    EXPECT_EQ(truncated.getFaceCount(), 1u);  // kept; the caller discards the part

    TempDir dir;
    FEMeshPartC fromFile;
    EXPECT_TRUE(fromFile.readSTLFromFile(dir.write("sq.stl", bin).c_str(), 15.0f, nullptr));
    EXPECT_EQ(fromFile.getFaceCount(), 2u);
    EXPECT_FALSE(fromFile.readSTLFromFile(dir.file("none.stl").c_str(), 15.0f, nullptr));
}

namespace {

// A soup of facets that exercises every way corners meet: shared corners, copies nudged just
// within and just beyond the merge tolerance (1e-5) on one axis, degenerate facets, corners that
// are not finite numbers or do not fit a float, stated normals of every direction and none.
std::vector<Tri> soup(std::mt19937& rng, size_t count, std::vector<Point3D>& normals)
{
    std::uniform_real_distribution<double> coord(-3.0, 3.0);
    std::vector<Point3D> pool;
    for (size_t i = 0; i < count / 3 + 4; ++i)
        pool.push_back(Point3D(float(coord(rng)), float(coord(rng)), float(coord(rng))));
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto corner = [&]() {
        Point3D p = pool[rng() % pool.size()];
        const unsigned kind = rng() % 40;
        const double nudge[] = {0.9e-5, 1.0e-5, 1.1e-5, -0.9e-5, -1.1e-5, 2e-7};
        if (kind < 6) {
            const int axis = int(rng() % 3);
            p.component(axis) = double(float(p.component(axis) + nudge[kind]));
        } else if (kind == 6) {
            p.component(int(rng() % 3)) = rng() % 2 ? nan : -inf;
        } else if (kind == 7) {
            p.component(int(rng() % 3)) = 1e39;  // beyond a float
        } else if (kind == 8) {
            p = Point3D(0.0, -0.0, 0.0);  // the same point as 0, 0, 0 with other bits
        }
        return p;
    };
    std::vector<Tri> tris;
    normals.clear();
    for (size_t i = 0; i < count; ++i) {
        Tri t{corner(), corner(), corner()};
        if (rng() % 25 == 0)
            t.c = t.a;  // degenerate
        tris.push_back(t);
        const unsigned n = rng() % 4;
        normals.push_back(n == 0 ? Point3D(0, 0, 0) : Point3D(coord(rng), coord(rng), coord(rng)));
    }
    return tris;
}

// A soup whose corners lie on and beside the edges of the vertex store's grid cells for the
// tolerance t (a tolerance either way, half of one, a few floats off), each with up to three
// others within t: searches span one cell or several, and find several candidates in several
// chains. Any t that is not a usable tolerance places them as for 2e-5.
std::vector<Tri> cellEdgeSoup(std::mt19937& rng, size_t count, double t, std::vector<Point3D>& normals)
{
    if (!(t > 0.0) || !std::isfinite(t))
        t = 2e-5;
    const double cell = 64.0 * t;
    std::uniform_int_distribution<int> cellNumber(-40, 40), floats(-3, 3);
    const double offsets[] = {0.0, t, -t, 0.5 * t, -0.5 * t, 1.5 * t, -1.5 * t, 0.0};
    auto nudged = [&](double v) {
        float f = float(v);
        for (int n = floats(rng); n != 0; n += n > 0 ? -1 : 1)
            f = std::nextafter(f, n > 0 ? 1e30f : -1e30f);
        return double(f);
    };
    auto onEdge = [&]() {
        // The first value of a cell, found as the grid finds it.
        double lo = cellNumber(rng) * cell, hi = lo + cell;
        const int64_t first = FEMeshVertexHashC::cellOf(lo, cell);
        while (hi - lo > 1e-3 * t) {
            const double mid = lo + (hi - lo) / 2;
            (FEMeshVertexHashC::cellOf(mid, cell) > first ? hi : lo) = mid;
        }
        return nudged(hi + offsets[rng() % std::size(offsets)]);
    };
    std::vector<Point3D> pool;
    while (pool.size() < count / 2 + 4) {
        const Point3D p(onEdge(), rng() % 3 ? onEdge() : nudged(cellNumber(rng) * 0.37 * cell), onEdge());
        pool.push_back(p);
        for (unsigned k = rng() % 4; k > 0; --k) {
            Point3D q = p;
            for (int axis = 0; axis < 3; ++axis)
                q.component(axis) = nudged(p.component(axis) + offsets[rng() % std::size(offsets)]);
            pool.push_back(q);
        }
    }
    std::vector<Tri> tris;
    normals.clear();
    for (size_t i = 0; i < count; ++i) {
        if (!tris.empty() && rng() % 2)
            tris.push_back({tris.back().b, tris.back().a, pool[rng() % pool.size()]});  // a shared edge
        else
            tris.push_back({pool[rng() % pool.size()], pool[rng() % pool.size()], pool[rng() % pool.size()]});
        normals.push_back(Point3D(0, 0, 0));
    }
    return tris;
}

// The data in a block of its own, as the viewer fetches a file.
void fill(MemoryBlockC& block, const std::string& data)
{
    ASSERT_TRUE(block.Allocate(uint32_t(data.size())));
    std::memcpy(block.GetData(), data.data(), data.size());
}

// The bytes of the block's pages wholly inside its data that are not zero.
size_t bytesLeft(const MemoryBlockC& block)
{
    const size_t page = 4096;
    const uintptr_t start = reinterpret_cast<uintptr_t>(block.GetData());
    size_t left = 0;
    for (size_t i = (page - start % page) % page; i + page <= block.GetSize(); ++i)
        left += block.GetData()[i] != 0;
    return left;
}

// The mesh of the facet by facet read: the part as any other importer.
std::string plainRead(const std::string& data, bool* ok = nullptr, ReadStop* stop = nullptr)
{
    FEMeshPartC part;
    const int result = importSTLString(data.data(), data.size(), static_cast<stlImporterI*>(&part), nullptr, stop);
    if (ok)
        *ok = result == kSTLOk;
    return meshtest::structure(part);
}

}  // namespace

// The mesh part reads binary facets in runs prepared on several threads; the mesh must be the one
// the facet by facet read builds, record for record, at every size around the pieces and runs,
// for soups full of near and exact merges, and for short or lying files with the same reasons.
TEST(STLImport, MeshPartReadsBinaryRunsToExactlyTheMeshOfTheFacetByFacetRead)
{
    std::mt19937 rng(4711);
    const size_t sizes[] = {1, 2, 3, 100, 4095, 4096, 4097, 8191, 8192, 8193, 65535, 65536, 65537, 131073};
    TempDir dir;
    for (size_t size : sizes) {
        std::vector<Point3D> normals;
        const std::vector<Tri> tris = soup(rng, size, normals);
        const bool bigEndian = size % 2 == 1;
        const std::string data = binarySTL(tris, normals, bigEndian);
        const std::string expected = plainRead(data);

        FEMeshPartC fromMemory;
        EXPECT_TRUE(fromMemory.readSTLFromString(data.data(), data.size(), 15.0f, nullptr)) << size;
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(fromMemory), expected), "") << size;

        if (size > 2 && size < 65535)
            continue;  // a file is read in whole runs, like memory
        // Read from a block given back as it is read: the same mesh, and the block's pages gone.
        FEMeshPartC consuming;
        MemoryBlockC block;
        fill(block, data);
        EXPECT_TRUE(consuming.readSTLConsuming(block, nullptr)) << size;
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(consuming), expected), "") << size;
        EXPECT_EQ(block.GetSize(), data.size());
        if (size > 8192) {
            EXPECT_EQ(bytesLeft(block), 0u) << size;
        }

        FEMeshPartC fromFile;
        EXPECT_TRUE(fromFile.readSTLFromFile(dir.write("soup.stl", data).c_str(), 15.0f, nullptr)) << size;
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(fromFile), expected), "") << size;
    }

    // Cut inside the last record (before and after its 48 bytes of coordinates), or a count
    // above what the data holds: the same triangles, the same failure, the same reason.
    std::vector<Point3D> normals;
    const std::vector<Tri> tris = soup(rng, 70000, normals);
    const std::string whole = binarySTL(tris, normals, false);
    const std::string cases[] = {whole.substr(0, whole.size() - 1), whole.substr(0, whole.size() - 3),
                                 whole.substr(0, whole.size() - 60), binarySTL(tris, normals, false, "lying", 90000)};
    for (const std::string& data : cases) {
        bool ok = true;
        ReadStop plainStop;
        const std::string expected = plainRead(data, &ok, &plainStop);
        EXPECT_FALSE(ok);

        FEMeshPartC fromMemory;
        ReadStop stop;
        MemoryBlockC block;
        fill(block, data);
        EXPECT_FALSE(fromMemory.readSTLFromString(block, 15.0f, nullptr, &stop));
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(fromMemory), expected), "") << data.size();
        EXPECT_TRUE(stop.stopped());
        EXPECT_EQ(stop.text(), plainStop.text());

        // Given back as it is read: the records after the last whole run are still read.
        FEMeshPartC consuming;
        ReadStop consumingStop;
        MemoryBlockC consumed;
        fill(consumed, data);
        EXPECT_FALSE(consuming.readSTLConsuming(consumed, &consumingStop));
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(consuming), expected), "") << data.size();
        EXPECT_EQ(consumingStop.text(), plainStop.text());

        FEMeshPartC fromFile;
        EXPECT_FALSE(fromFile.readSTLFromFile(dir.write("cut.stl", data).c_str(), 15.0f, nullptr));
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(fromFile), expected), "") << data.size();
    }
}

// Read from a block given back as the reading passes it, the file and the mesh made of it are
// never both whole in memory: at its highest the reading holds far less than the file beyond
// the mesh alone (what is left once the block is freed).
TEST(STLImport, MeshPartReadConsumingNeverHoldsTheWholeFileBesideTheMesh)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator holds memory its own way";
#else
    MemoryBlockC block;
    {
        std::vector<Tri> tris;
        std::vector<Point3D> normals;
        benchsupport::torusTriangles(400, 500, [&](const Point3D& a, const Point3D& b, const Point3D& c) {
            tris.push_back({a, b, c});
            normals.push_back(Point3D(0, 0, 0));
        });
        fill(block, binarySTL(tris, normals, false));
    }
    const double file = double(block.GetSize()) / 1048576.0;
    auto residentMB = [] { return double(benchsupport::residentBytes()) / 1048576.0; };
    // Memory freed before, which the allocator may still hold (after other tests it keeps tens
    // of megabytes), would count at the peak but could go back by the end.
    platform::sys::returnFreedMemory();
    benchsupport::resetPeakMemory();
    if (benchsupport::peakMemoryMB() > residentMB() + 1.0)
        GTEST_SKIP() << "the peak of resident memory cannot be reset here";
    FEMeshPartC part;
    ASSERT_TRUE(part.readSTLConsuming(block, nullptr));
    const double peak = benchsupport::peakMemoryMB();
    block.Free();
    EXPECT_LT(peak - residentMB(), file / 2) << file << " MB of file";
    EXPECT_EQ(part.getFaceCount(), 400u * 500u * 2u);
#endif
}

// A closed torus: every edge is paired and every corner found again many times over.
TEST(STLImport, MeshPartReadsABinaryTorusToExactlyTheMeshOfTheFacetByFacetRead)
{
    std::vector<Tri> tris;
    std::vector<Point3D> normals;
    const int rings = 300, segments = 150;
    auto point = [&](int i, int j) {
        const double u = 2.0 * meshtest::kPi * (i % rings) / rings, v = 2.0 * meshtest::kPi * (j % segments) / segments;
        const double d = 50.0 + 20.0 * std::cos(v);
        return Point3D(d * std::cos(u), d * std::sin(u), 20.0 * std::sin(v));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const Point3D a = point(i, j), b = point(i + 1, j), c = point(i + 1, j + 1), d = point(i, j + 1);
            tris.push_back({a, b, c});
            tris.push_back({a, c, d});
            normals.push_back(crossProduct(b - a, c - a));
            normals.push_back(crossProduct(c - a, d - a));
        }
    const std::string data = binarySTL(tris, normals, false);
    FEMeshPartC part;
    ASSERT_TRUE(part.readSTLFromString(data.data(), data.size(), 15.0f, nullptr));
    EXPECT_EQ(part.getVertexCount(), size_t(rings * segments));
    EXPECT_TRUE(part.isManifold());
    EXPECT_EQ(meshtest::firstDifference(meshtest::structure(part), plainRead(data)), "");
}

// Corners of a piece that repeat an earlier corner's position take its vertex without searching
// only while that vertex stays the hash's answer. Ladders of three positions a little under the
// tolerance apart straddle the edge of two hash chains (x 100 crosses an integer between the
// first two), so the middle one first finds the lower rung in the neighbouring chain and, once
// the upper rung exists in its own chain, finds that one instead; the rungs come in random
// order close together, again far later in the file, with copies of 0 and -0 and with corners
// that are not finite numbers. Below and above the size where the hash searches its grid.
TEST(STLImport, MeshPartRunsTakeRepeatedCornersOnlyWhileTheirVertexStaysTheAnswer)
{
    std::mt19937 rng(1913);
    std::uniform_real_distribution<double> coord(-3.0, 3.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const size_t ladders : {40, 3000}) {
        std::vector<std::vector<Point3D>> rungs;
        for (size_t l = 0; l < ladders; ++l) {
            const double steps[] = {0.9e-5, 1.0e-5, 0.5e-5};
            const double step = steps[rng() % 3];
            const double n = double(int(rng() % 2000) - 1000);
            const float first = float(n / 100.0 - 0.4e-5);
            const float middle = float(double(first) + step), last = float(double(middle) + step);
            rungs.push_back({Point3D(first, 0.0, 0.0), Point3D(middle, 0.0, 0.0), Point3D(last, 0.0, 0.0)});
        }
        auto filler = [&]() { return Point3D(float(coord(rng)), float(coord(rng)), 5.0 + float(coord(rng))); };
        auto odd = [&]() {
            switch (rng() % 4) {
            case 0:
                return Point3D(nan, 1.0, 2.0);
            case 1:
                return Point3D(1.0, -inf, 2.0);
            case 2:
                return Point3D(0.0, 0.0, 0.0);
            default:
                return Point3D(-0.0, 0.0, -0.0);
            }
        };
        std::vector<Tri> tris;
        std::vector<Point3D> normals;
        auto add = [&](const Point3D& a, const Point3D& b, const Point3D& c) {
            tris.push_back({a, b, c});
            normals.push_back(Point3D(0, 0, 0));
        };
        // Twice over the ladders: the second time in another batch of the run, far from the first.
        for (int pass = 0; pass < 2; ++pass)
            for (const std::vector<Point3D>& ladder : rungs) {
                const int facets = 2 + int(rng() % 5);
                for (int f = 0; f < facets; ++f) {
                    Point3D corners[3] = {ladder[rng() % 3], filler(), rng() % 8 == 0 ? odd() : filler()};
                    if (rng() % 3 == 0)
                        corners[1] = ladder[rng() % 3];
                    std::shuffle(std::begin(corners), std::end(corners), rng);
                    add(corners[0], corners[1], corners[2]);
                }
                // A repeat of the whole facet: every corner found again within the piece.
                if (rng() % 4 == 0)
                    tris.push_back(tris.back()), normals.push_back(normals.back());
            }
        const std::string data = binarySTL(tris, normals, false);
        FEMeshPartC part;
        ASSERT_TRUE(part.readSTLFromString(data.data(), data.size(), 15.0f, nullptr));
        EXPECT_EQ(meshtest::firstDifference(meshtest::structure(part), plainRead(data)), "") << ladders;
    }
}

// The same under any tolerance the part is given before its read (none, wide, unusable), and
// for a second read into a part that holds the first's mesh: the repeated corners of a run
// must take what the facet by facet read finds, vertices of the earlier read among them. The
// facet by facet read is made twice: as the part reads, and walking the vertex chains and the
// incident lists only, which no grid cell placement or search shortcut can lead astray.
TEST(STLImport, MeshPartRunsMatchTheFacetByFacetReadUnderAnyToleranceAndOnASecondRead)
{
    std::mt19937 rng(2207);
    const double tolerances[] = {0.0, 2e-5, 0.05, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-3};
    for (const double tolerance : tolerances) {
        for (const size_t size : {900, 9000}) {
            for (const bool onCellEdges : {false, true}) {
                std::vector<Point3D> normals[2];
                const std::vector<Tri> first =
                    onCellEdges ? cellEdgeSoup(rng, size, tolerance, normals[0]) : soup(rng, size, normals[0]);
                const std::vector<Tri> second =
                    onCellEdges ? cellEdgeSoup(rng, size, tolerance, normals[1]) : soup(rng, size, normals[1]);
                const std::string data[2] = {binarySTL(first, normals[0], false), binarySTL(second, normals[1], false)};
                FEMeshPartC plain, walk, runs;
                walk.getVertexHash().setIndexEnabled(false);
                walk.setFanIndexThreshold(std::numeric_limits<unsigned>::max());
                for (FEMeshPartC* part : {&plain, &walk, &runs})
                    part->setTolerance(tolerance);
                for (const std::string& d : data) {
                    importSTLString(d.data(), d.size(), static_cast<stlImporterI*>(&plain), nullptr, nullptr);
                    importSTLString(d.data(), d.size(), static_cast<stlImporterI*>(&walk), nullptr, nullptr);
                    EXPECT_TRUE(runs.readSTLFromString(d.data(), d.size(), 15.0f, nullptr));
                    const std::string read = meshtest::structure(runs);
                    EXPECT_EQ(meshtest::firstDifference(read, meshtest::structure(plain)), "")
                        << "tolerance " << tolerance << " size " << size << " cell edges " << onCellEdges;
                    EXPECT_EQ(meshtest::firstDifference(read, meshtest::structure(walk)), "")
                        << "tolerance " << tolerance << " size " << size << " cell edges " << onCellEdges;
                    if (std::isfinite(tolerance) && tolerance > 0.0) {
                        // Merged, moved and purged vertices before the next read.
                        for (FEMeshPartC* part : {&plain, &walk, &runs})
                            part->finalize(tolerance);
                    }
                }
            }
        }
    }
}
