// Tests of the ZJV reader: tokens, every keyword of a part block, structures, threads and loading.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <malloc.h>
#include <minizip/zip.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/readers/ReadStop.h"
#include "geometry/readers/ZJVReaderC.h"
#include "services/archive/ZipWriterC.h"
#include "services/objects/refHandle.h"
#include "tests/support/BenchSupport.h"
#include "tests/support/TempDir.h"

namespace {

void fill(ZJVReaderC& reader, const std::string& text)
{
    ASSERT_TRUE(reader.buffer().Allocate(uint32_t(text.size())));
    if (!text.empty())
        std::memcpy(reader.buffer().GetData(), text.data(), text.size());
}

// Parses text into list and gives the list's first part (or null).
FEDisplayPartC* parseInto(FEDisplayPartListC& list, const std::string& text)
{
    ZJVReaderC reader;
    fill(reader, text);
    reader.parse(&list);
    return list.partCount() > 0 ? list.getPart(0) : nullptr;
}

// Three separate triangles (no shared edges, so finalising keeps them apart).
const char* kThreeTriangles = "PL{0 0 0 1 0 0 0 1 0 5 0 0 6 0 0 5 1 0 10 0 0 11 0 0 10 1 0}";

std::vector<FEMeshFaceC*> faces(const FEMeshPartC* part)
{
    std::vector<FEMeshFaceC*> out;
    for (FEMeshFaceC* f = part->getFirstFace(); f; f = f->getNext())
        out.push_back(f);
    return out;
}

// The colour of a face, or alpha -1 when it has none.
feColor faceColour(const FEMeshFaceC* f)
{
    auto* info = dynamic_cast<FEMeshFaceInfoColorC*>(f->getFaceInfo());
    return info ? info->getColor() : feColor(0, 0, 0, -1);
}

}  // namespace

TEST(ZJVReader, TokenizerCodesAndTokens)
{
    ZJVReaderC reader;
    fill(reader, "P{a b}  c\r\n}x{");
    struct Step {
        int code;
        const char* token;
    };
    const Step steps[] = {{0, "P"}, {2, "a"}, {2, "b"}, {1, ""}, {2, ""},  {2, ""},
                          {2, "c\r"}, {1, ""}, {0, "x"}, {3, ""}, {3, ""}};
    for (const Step& s : steps) {
        RWCString token("junk");
        EXPECT_EQ(reader.nextToken(token), s.code);
        EXPECT_EQ(token, s.token);
    }
    // A carriage return ends a line unless only carriage returns stand before a line feed.
    ZJVReaderC lines;
    fill(lines, "a\rb\r\r\nc\r\r}");
    const Step lineSteps[] = {{2, "a"}, {2, "b\r\r"}, {2, "c"}, {2, ""}, {1, ""}, {3, ""}};
    for (const Step& s : lineSteps) {
        RWCString token("junk");
        EXPECT_EQ(lines.nextToken(token), s.code);
        EXPECT_EQ(token, s.token);
    }
    ZJVReaderC chars;
    fill(chars, "a\xff");
    EXPECT_EQ(chars.nextChar(), 'a');
    EXPECT_EQ(chars.nextChar(), 0xff);
    EXPECT_EQ(chars.nextChar(), ZJVReaderC::kEnd);
    EXPECT_EQ(chars.nextChar(), ZJVReaderC::kEnd);
}

TEST(ZJVReader, ExamplePartReadsNameColourAndTriangle)
{
    FEDisplayPartListC list;
    FEDisplayPartC* part =
        parseInto(list, "P{N{Bracket}C{200 200 200 255}PL{0 0 0 10 0 0 0 10 0}FL3{0 1 2}}\n");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(list.partCount(), 1u);
    EXPECT_EQ(part->getName(), "Bracket");
    EXPECT_FLOAT_EQ(part->getColor().r(), float(200 / 255.0));
    EXPECT_FLOAT_EQ(part->getColor().alpha(), 1.0f);
    EXPECT_EQ(part->getFaceCount(), 1u);
    EXPECT_EQ(part->getVertexCount(), 3u);
    EXPECT_DOUBLE_EQ(part->getTolerance(), 0.0001);
    EXPECT_EQ(part->getMaxPoint(), Point3D(10, 10, 0));
    // Smoothed: the lone triangle's corners carry its normal.
    FEMeshHalfEdgeC* h = part->getFirstFace()->getFirstLoop()->getFirstHalfEdge();
    EXPECT_EQ(h->getNormal(), Point3Df(0, 0, 1));
}

TEST(ZJVReader, SingleBlocksNameColourAndIdentifier)
{
    FEDisplayPartListC list;
    FEDisplayPartC* part = parseInto(list, "P{N{\"\"Gear\"}MID{\"id%2fA%20b%zz\"}}P{C{0 0 255 128}}");
    ASSERT_EQ(list.partCount(), 2u);
    EXPECT_EQ(part->getName(), "Gear");
    EXPECT_EQ(part->getMID(), "id/A b%zz");
    EXPECT_EQ(part->getIdentifier(), "id/A b%zz");  // the identifier is the MID text
    EXPECT_EQ(part->getText(6), "id/A b%zz");
    EXPECT_EQ(part->getText(0), "");
    EXPECT_EQ(list.getPart(1)->getIdentifier(), "");
    EXPECT_EQ(part->getColor().alpha(), 0.0f);  // no "C": all components 0
    const feColor c = list.getPart(1)->getColor();
    EXPECT_EQ(c.b(), 1.0f);
    EXPECT_FLOAT_EQ(c.alpha(), float(128 / 255.0));
    EXPECT_FLOAT_EQ(c.hue(), 240.0f);
}

TEST(ZJVReader, PointListsAndTriangleIndices)
{
    struct Case {
        const char* what;
        std::string text;
        size_t faces;
        Point3D max;
    };
    const Case cases[] = {
        {"seven numbers give two points", "P{PL{0 0 0 1 0 0 9}FL3{0 1 2}}", 0, Point3D(-1e15, -1e15, -1e15)},
        {"several PL blocks add up", "P{PL{0 0 0 1 0 0}PL{0 2 0}FL3{0 1 2}}", 1, Point3D(1, 2, 0)},
        {"doubled blank is a 0", "P{PL{0 0 0 1 0 0 0  3}FL3{0 1 2}}", 1, Point3D(1, 0, 3)},
        {"negative and large indices skipped", "P{PL{0 0 0 1 0 0 0 1 0}FL3{-1 1 2 0 1 4294967299 0 1 2}}", 1,
         Point3D(1, 1, 0)},
        {"index of a point read later", "P{PL{0 0 0 1 0 0}FL3{0 1 2}PL{0 1 0}}", 0, Point3D(-1e15, -1e15, -1e15)},
        {"non-finite point skipped", "P{PL{0 0 0 1 0 0 0 1 0 inf 0 0}FL3{0 1 3 0 1 2}}", 1, Point3D(1, 1, 0)},
        {"incomplete triple dropped", "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2 0 1}}", 1, Point3D(1, 1, 0)},
        {"unknown keywords skipped", "P{XY{1 2 3}PL{0 0 0 1 0 0 0 1 0}NL{0 0 1}NL3{1}LLF{2}LLR{1 2 3 4}FL3{0 1 2}}",
         1, Point3D(1, 1, 0)},
        {"block closed by the end", "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2 ", 1, Point3D(1, 1, 0)},
        {"token cut by the end is dropped", "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2", 0, Point3D()},
        {"blanks around tokens", "P{\nPL{0 0 0 1 0 0 0 1 0 }\nFL3{0 1 2\n}\n}\n", 1, Point3D(1, 1, 0)},
        {"carriage returns alone end lines", "P{\rPL{0 0 0 1 0 0\r0 1 0}\rFL3{0 1\r2\r}\r}\r", 1, Point3D(1, 1, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FEDisplayPartListC list;
        FEDisplayPartC* part = parseInto(list, c.text);
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->getFaceCount(), c.faces);
        if (c.faces > 0) {
            EXPECT_EQ(part->getMaxPoint(), c.max);
        }
    }
}

TEST(ZJVReader, BlockStructureEdgeCasesAndTheFirstThingThatIsNoBlock)
{
    struct Case {
        const char* what;
        const char* text;
        size_t parts;
        const char* stop;  // the first top-level token that is no part or structure block
    };
    const Case cases[] = {
        {"empty buffer", "", 0, ""},
        {"blank before the brace", "P {PL{0 0 0}}", 0, "ZJV line 1: expected a part block 'P{' but found 'P'"},
        {"two parts", "P{}\r\nP{N{b}}\n", 2, ""},
        {"stray closes and words", "} x y P{} }", 1, "ZJV line 1: expected a part block 'P{' but found 'x'"},
        {"part left open", "P{N{a}", 1, ""},
        {"unknown block", "P{}\n\nX{1}\nwords", 1, "ZJV line 3: unknown block 'X{'"},
        {"... in CR-only lines", "P{}\r\rX{1}\rwords", 1, "ZJV line 3: unknown block 'X{'"},
        {"... in CR CR LF lines", "P{}\r\r\n\r\r\nX{1}\r\r\nwords", 1, "ZJV line 3: unknown block 'X{'"},
        {"byte-order mark before the text", "\xEF\xBB\xBFP{}\nP{}\n", 2, ""},
        {"... alone", "\xEF\xBB\xBF", 0, ""},
        // Lines are counted as the file has them, the mark's bytes included.
        {"... and an unknown block", "\xEF\xBB\xBF\nP{}\n\nX{1}", 1, "ZJV line 4: unknown block 'X{'"},
        {"... twice", "\xEF\xBB\xBF\xEF\xBB\xBFP{}", 0, "ZJV line 1: unknown block '\xEF\xBB\xBFP{'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FEDisplayPartListC list;
        parseInto(list, c.text);
        EXPECT_EQ(list.partCount(), c.parts);
        ZJVReaderC reader;
        fill(reader, c.text);
        FEDisplayPartListC again;
        ReadStop stop;
        reader.parse(&again, &stop);
        EXPECT_EQ(again.partCount(), c.parts);
        EXPECT_EQ(stop.stopped() ? stop.text() : "", c.stop);
    }
}

TEST(ZJVReader, FaceColoursFromSignedOrUnsignedPackedValues)
{
    // 0xFF0000FF: alpha 255, red 0, green 0, blue 255, as unsigned and as signed decimal.
    FEDisplayPartListC list;
    FEDisplayPartC* part = parseInto(list, std::string("P{") + kThreeTriangles +
                                               "COLS{4278190335 -16776961 16711680}CF{0 0 1 1 2 2}"
                                               "FL3{0 1 2 3 4 5 6 7 8}}");
    ASSERT_NE(part, nullptr);
    const auto fs = faces(part);
    ASSERT_EQ(fs.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        const feColor c = faceColour(fs[i]);
        EXPECT_EQ(c.r(), 0.0f);
        EXPECT_EQ(c.g(), 0.0f);
        EXPECT_EQ(c.b(), 1.0f);
        EXPECT_EQ(c.alpha(), 1.0f);
    }
    EXPECT_EQ(faceColour(fs[2]).r(), 1.0f);
    EXPECT_EQ(faceColour(fs[2]).alpha(), 0.0f);
}

TEST(ZJVReader, FaceNumbersCountSkippedTriplesAndRestartPerBlock)
{
    struct Case {
        const char* what;
        std::string body;
        std::vector<float> reds;  // per face; -1 none
    };
    const Case cases[] = {
        {"face 2 after a skipped triple", "CF{2 1}FL3{0 1 2 0 1 99 6 7 8}", {-1, 1}},
        {"two FL3 blocks count from 0", "CF{0 1}FL3{0 1 2}FL3{3 4 5 6 7 8}", {1, 1, -1}},
        {"later pair replaces earlier", "CF{0 1 0 0}FL3{0 1 2}", {0}},
        {"index outside the table", "CF{0 7 1 -1}FL3{0 1 2 3 4 5}", {-1, -1}},
        {"colour of a skipped triple goes nowhere", "CF{0 1}FL3{0 1 99 3 4 5}", {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FEDisplayPartListC list;
        FEDisplayPartC* part = parseInto(list, std::string("P{") + kThreeTriangles + "COLS{0 4294901760}" + c.body + "}");
        ASSERT_NE(part, nullptr);
        const auto fs = faces(part);
        ASSERT_EQ(fs.size(), c.reds.size());
        for (size_t i = 0; i < fs.size(); ++i) {
            const feColor col = faceColour(fs[i]);
            if (c.reds[i] < 0)
                EXPECT_EQ(col.alpha(), -1.0f) << "face " << i;
            else {
                EXPECT_NE(col.alpha(), -1.0f) << "face " << i;
                EXPECT_EQ(col.r(), c.reds[i]) << "face " << i;
            }
        }
    }
}

TEST(ZJVReader, ThreadsGetAnOrthonormalFrame)
{
    FEDisplayPartListC list;
    FEDisplayPartC* part = parseInto(list,
                                     "P{THRL{1 0 0 0 0 0 10 4 "    // along z
                                     "0 1 1 1 2 0 2 6 "            // oblique: (1,-1,1), helper parallel
                                     "0 5 5 5 5 5 5 2 "            // zero length still a thread
                                     "1 0 0 0 0 0 1 0 "            // no diameter: dropped
                                     "1 0 0 0 0 0 1 nan}}");       // dropped
    ASSERT_NE(part, nullptr);
    auto& threads = part->getThreads();
    ASSERT_EQ(threads.entries(), 3u);

    const FEMeshThreadC* t = threads[0];
    EXPECT_TRUE(t->getFlag());
    EXPECT_EQ(t->getParameter1(), 10.0);
    EXPECT_EQ(t->getParameter2(), 4.0);
    EXPECT_EQ(t->getParameter3(), 4.0);
    EXPECT_EQ(t->getParameter4(), 0.0);
    EXPECT_EQ(t->getParameter5(), 10.0);
    EXPECT_EQ(t->getParameter6(), 1.0);
    EXPECT_EQ(t->getParameter7(), 2.0);
    EXPECT_EQ(t->getEndPoint(), Point3D(0, 0, 10));
    const TransformMatrix m = t->getMatrix();
    EXPECT_EQ(m.at(0, 0), -1.0);  // X = D x (D.y, D.z, -D.x) = (0,0,1) x (0,1,0)
    EXPECT_EQ(m.at(1, 1), 1.0);

    const FEMeshThreadC* oblique = threads[1];
    EXPECT_FALSE(oblique->getFlag());
    const TransformMatrix o = oblique->getMatrix();
    const Point3D x(o.at(0, 0), o.at(1, 0), o.at(2, 0)), y(o.at(0, 1), o.at(1, 1), o.at(2, 1)),
        z(o.at(0, 2), o.at(1, 2), o.at(2, 2));
    EXPECT_NEAR(x.length(), 1.0, 1e-12);
    EXPECT_NEAR(y.length(), 1.0, 1e-12);
    EXPECT_NEAR(z.length(), 1.0, 1e-12);
    EXPECT_NEAR(x.dot(z), 0.0, 1e-12);
    EXPECT_NEAR(y.dot(z), 0.0, 1e-12);
    EXPECT_NEAR((oblique->getEndPoint() - Point3D(2, 0, 2)).length(), 0.0, 1e-6);

    EXPECT_EQ(threads[2]->getParameter1(), 0.0);
    EXPECT_EQ(threads[2]->getStartPoint(), Point3D(5, 5, 5));
    EXPECT_EQ(threads[2]->getEndPoint(), Point3D(5, 5, 5));
}

TEST(ZJVReader, StructurePlacesInstances)
{
    FEDisplayPartListC list;
    parseInto(list,
              "P{N{a}}P{N{b}}S{N{asm}"
              "M{1 1 0 0 0 1 0 0 0 1 5 6 7}ME{1 1 0 0 0 1 0 0 0 1 50 60 70}"
              "M{0 0 1 0 -1 0 0 0 0 1 1 2 3 99}ME{0}"
              "M{7}ME{}"          // a part not read: no instance
              "M{0 2}ME{x 1 0}}"  // short blocks keep the identity's numbers
              "S{ME{}}");         // no M: part 0 at identity
    ASSERT_EQ(list.instanceCount(), 4u);

    const FEDisplayPartRefC* first = list.getInstance(0);
    EXPECT_EQ(first->GetPartIndex(), 1);
    EXPECT_EQ(first->GetPart(), list.getPart(1));
    EXPECT_EQ(first->GetBaseMatrix().at(0, 3), 5.0);
    EXPECT_EQ(first->GetBaseMatrix().at(2, 3), 7.0);
    EXPECT_EQ(first->GetSecondMatrix().at(1, 3), 60.0);
    EXPECT_TRUE(first->GetMatrix().isEqual(first->GetBaseMatrix()));

    const TransformMatrix r = list.getInstance(1)->GetBaseMatrix();
    EXPECT_EQ(list.getInstance(1)->GetPartIndex(), 0);
    // Columns: x axis (0,1,0), y axis (-1,0,0), z axis (0,0,1), translation (1,2,3).
    const double expected[16] = {0, -1, 0, 1, 1, 0, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(r.getData()[i], expected[i]) << i;
    EXPECT_TRUE(list.getInstance(1)->GetSecondMatrix().isEqual(TransformMatrix()));

    const FEDisplayPartRefC* shortOne = list.getInstance(2);
    const double shortBase[16] = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(shortOne->GetBaseMatrix().getData()[i], shortBase[i]) << i;
    EXPECT_EQ(shortOne->GetSecondMatrix().at(0, 0), 1.0);
    EXPECT_EQ(shortOne->GetSecondMatrix().at(1, 0), 0.0);

    EXPECT_EQ(list.getInstance(3)->GetPartIndex(), 0);
    EXPECT_TRUE(list.getInstance(3)->GetBaseMatrix().isEqual(TransformMatrix()));
}

TEST(ZJVReader, FirstPartAndMergedInstances)
{
    const std::string text = "x{}P{N{tri}PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}P{N{other}}"
                             "S{M{0 1 0 0 0 1 0 0 0 1 0 0 0}ME{0}M{0 1 0 0 0 1 0 0 0 1 10 0 0}ME{0}}";
    ZJVReaderC reader;
    fill(reader, text);
    FEMeshPartC first;
    EXPECT_TRUE(reader.parseFirstPart(&first));
    EXPECT_EQ(first.getName(), "tri");
    EXPECT_EQ(first.getFaceCount(), 1u);

    FEMeshPartC merged;
    EXPECT_TRUE(reader.mergeIntoPart(&merged));
    EXPECT_EQ(merged.getFaceCount(), 2u);
    EXPECT_EQ(merged.getVertexCount(), 6u);
    Point3D lo, hi;
    EXPECT_TRUE(merged.getBoundingBox(lo, hi));
    EXPECT_EQ(lo, Point3D(0, 0, 0));
    EXPECT_EQ(hi, Point3D(11, 1, 0));
    // A byte-order mark is no part of the first block's keyword here either.
    fill(reader, "\xEF\xBB\xBFP{N{tri}}P{N{other}}");
    FEMeshPartC marked;
    EXPECT_TRUE(reader.parseFirstPart(&marked));
    EXPECT_EQ(marked.getName(), "tri");

    ZJVReaderC single;
    fill(single, "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}S{M{0 1 0 0 0 1 0 0 0 1 0 0 5}ME{0}}");
    FEMeshPartC one;
    EXPECT_TRUE(single.mergeIntoPart(&one));
    EXPECT_EQ(one.getFaceCount(), 1u);
    EXPECT_EQ(one.getFirstFace()->getFirstLoop()->getFirstHalfEdge()->getVertex()->getPosition().z(), 5.0f);

    ZJVReaderC none;
    fill(none, "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}");
    FEMeshPartC empty;
    EXPECT_FALSE(none.mergeIntoPart(&empty));
    EXPECT_EQ(empty.getFaceCount(), 0u);
}

TEST(ZJVReader, LoadFileTakesTheFirstArchiveEntry)
{
    TempDir dir;
    const std::string model = "P{N{zipped}PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}";
    const std::string path = dir.file("model.zip");
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const char* name : {"model.zjv", "second.txt"}) {
        ASSERT_EQ(zipOpenNewFileInZip(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6), ZIP_OK);
        const std::string& bytes = std::strcmp(name, "model.zjv") == 0 ? model : std::string("other");
        ASSERT_EQ(zipWriteInFileInZip(zip, bytes.data(), unsigned(bytes.size())), ZIP_OK);
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);

    ZJVReaderC reader;
    ASSERT_TRUE(reader.loadFile(path.c_str()));
    EXPECT_EQ(std::string(reader.buffer().GetData(), reader.buffer().GetSize()), model);
    EXPECT_EQ(reader.buffer().GetData()[model.size()], '\0');
    FEDisplayPartListC list;
    reader.parse(&list);
    ASSERT_EQ(list.partCount(), 1u);
    EXPECT_EQ(list.getPart(0)->getName(), "zipped");

    // Damaged, missing and non-archive files fail.
    std::string bytes = TempDir::read(path);
    const size_t at = bytes.find("second.txt");
    ASSERT_NE(at, std::string::npos);
    // Inside the first entry's compressed data: after the local header, its name and extra field.
    const size_t data = 30 + size_t(uint8_t(bytes[26])) + 256 * size_t(uint8_t(bytes[27])) +
                        size_t(uint8_t(bytes[28])) + 256 * size_t(uint8_t(bytes[29]));
    std::string damaged = bytes;
    damaged[data + 2] ^= 0x55;
    EXPECT_FALSE(ZJVReaderC().loadFile(dir.write("damaged.zip", damaged).c_str()));
    EXPECT_FALSE(ZJVReaderC().loadFile(dir.file("missing.zip").c_str()));
    EXPECT_FALSE(ZJVReaderC().loadFile(dir.write("plain.zjv", model).c_str()));
    EXPECT_FALSE(ZJVReaderC().loadFile(dir.write("cut.zip", bytes.substr(0, bytes.size() / 2)).c_str()));
}

TEST(ZJVReader, LoadFileCapsTheUnpackedSizeWhateverTheHeaderSays)
{
    TempDir dir;
    const std::string path = dir.file("big.zip");
    const std::string text(10000, ' ');
    {
        ZipWriterC writer;
        ASSERT_EQ(writer.openForWrite(path.c_str(), false), ZipOk);
        ASSERT_EQ(writer.openNewFile("big.zjv", time_t(0), 9), ZipOk);
        ASSERT_EQ(writer.write(text.data(), unsigned(text.size())), ZipOk);
        ASSERT_EQ(writer.closeFileInZip(), ZipOk);
        ASSERT_EQ(writer.close(), ZipOk);
    }
    // The same archive declaring 100 bytes, in its local header and its directory record.
    std::string lying = TempDir::read(path);
    for (size_t at : {size_t(22), lying.find(std::string("PK\1\2", 4)) + 24}) {
        lying[at] = 100;
        lying[at + 1] = lying[at + 2] = lying[at + 3] = 0;
    }
    const std::string lyingPath = dir.write("lying.zip", lying);
    const struct {
        const std::string& file;
        uint64_t cap;
        bool loads;
    } cases[] = {
        {path, 9999, false},
        {path, 10000, true},
        {path, ZJVReaderC::kDefaultMaxUnpackedSize, true},
        {lyingPath, 200, false},
        {lyingPath, 20000, false},
    };
    for (const auto& c : cases) {
        ZJVReaderC reader;
        reader.setMaxUnpackedSize(c.cap);
        EXPECT_EQ(reader.loadFile(c.file.c_str()), c.loads) << c.file << " " << c.cap;
        EXPECT_EQ(reader.buffer().GetSize(), c.loads ? text.size() : 0u);
    }
    EXPECT_EQ(ZJVReaderC().getMaxUnpackedSize(), uint64_t(1) << 30);
}

TEST(ZJVReader, LoadFileOpensOnlyRegularFiles)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe.zip");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string model = "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}";
    const std::string path = dir.file("model.zip");
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(zipOpenNewFileInZip(zip, "model.zjv", nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6), ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, model.data(), unsigned(model.size())), ZIP_OK);
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);

    ::alarm(30);  // a reader that blocks on the FIFO fails here rather than hanging the suite
    for (const std::string& name : {fifo, std::string("/dev/zero")})
        EXPECT_FALSE(ZJVReaderC().loadFile(name.c_str())) << name;
    ::alarm(0);
    ZJVReaderC reader;
    ASSERT_TRUE(reader.loadFile(path.c_str()));
    EXPECT_EQ(std::string(reader.buffer().GetData(), reader.buffer().GetSize()), model);
}

using benchsupport::residentBytes;

TEST(ZJVReader, SmallPartBlocksCostWhatTheyHold)
{
    // Cheap to write, and once expensive to read: every part made a full table of vertex chains
    // (128 KB) and pools of several kilobytes for its few records.
    constexpr int kParts = 4000;
    std::string empty, oneTriangle;
    for (int i = 0; i < kParts; ++i) {
        empty += "P{}";
        oneTriangle += "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}\n";
    }
    {
        FEDisplayPartListC list;
        const size_t before = mallinfo2().uordblks;
        {
            ZJVReaderC reader;
            fill(reader, empty);
            reader.parse(&list);
        }
        const size_t after = mallinfo2().uordblks;
        ASSERT_EQ(list.partCount(), size_t(kParts));
        // The part object included: a part that holds nothing makes no records, no vertex
        // chains and no attribute table.
        EXPECT_LT((after - before) / kParts, 1024u);
        EXPECT_FALSE(list.getPart(kParts - 1)->hasRecordStorage());
    }
    FEDisplayPartListC list;
    const size_t before = residentBytes();
    {
        ZJVReaderC reader;
        fill(reader, oneTriangle);
        reader.parse(&list);
    }
    const size_t after = residentBytes();
    ASSERT_EQ(list.partCount(), size_t(kParts));
    ASSERT_EQ(list.getPart(kParts - 1)->getFaceCount(), 1u);
#if defined(__SANITIZE_ADDRESS__)
    constexpr size_t kBound = 32 * 1024;  // the guard zones and shadow of every record
#elif defined(__SANITIZE_THREAD__)
    constexpr size_t kBound = 24 * 1024;  // four bytes of shadow for every byte touched
#else
    constexpr size_t kBound = 10 * 1024;
#endif
    EXPECT_LT((after > before ? after - before : 0) / kParts, kBound);
}

TEST(ZJVReader, ATextOverEitherLimitIsCountedAndYieldsNothing)
{
    // Four parts, four placements: an "ME" after "M{9}" or "M{2}" before the third part is
    // read names no part and places nothing.
    const std::string text = "S{M{1}ME{}}P{N{a}}P{N{b}}S{M{1 1 0 0 0 1 0 0 0 1 0 0 0}ME{0 1 0 0 0 1 0 0 0 1 0 0 0}"
                             "ME{}M{0}ME{}M{9}ME{}M{2}ME{}}P{N{c}}P{N{d}}S{ME{}}";
    struct Case {
        size_t parts, placements;
        bool overParts, overPlacements;
    } cases[] = {{4, 4, false, false}, {3, 4, true, false}, {4, 3, false, true}, {0, 0, true, false}};
    ZJVReaderC reader;
    fill(reader, text);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.parts) + " parts, " + std::to_string(c.placements) + " placements");
        reader.setPartLimit(c.parts);
        reader.setPlacementLimit(c.placements);
        FEDisplayPartListC list;
        reader.parse(&list);
        EXPECT_EQ(reader.partLimitReached(), c.overParts);
        EXPECT_EQ(reader.placementLimitReached(), c.overPlacements);
        const bool over = c.overParts || c.overPlacements;
        EXPECT_EQ(list.partCount(), over ? 0u : 4u);
        EXPECT_EQ(list.instanceCount(), over ? 0u : 4u);
    }
}

TEST(ZJVReader, TheCountTakesTheTokensTheBlocksTake)
{
    // Blocks whose handlers take a brace or more that a text's layout suggests, parts named
    // inside other blocks, structures before their parts: the count finds what the parse makes.
    const char* texts[] = {
        "P{N{P{}}P{}",                         // the name takes "P{" and "}": one part, then a second
        "P{C{1 2 3}}P{}}P{}",                  // the colour takes five tokens, the part's brace too
        "P{MID{x}P{}}P{}",                     // the identifier's brace call takes "P{"
        "P{THRL{1 2 3 4 5 6 7}}P{}}P{}",       // a thread record takes seven tokens after its flag
        "P{PL{P{ 1}}P{}",                      // a list ends at a nested block: "1" is a plain token
        "P {}P{X{P{}}}P{}",                    // not a part; an unknown block's content
        "S{ME{}}P{}S{M{0}ME{}ME{}M{-1}ME{}M{1}ME{}}P{}S{N{ME{}}ME{}M{1}ME{}}",
        "P{}S{M{0 ME{}ME{}}",                  // a list that ends at "ME{"
        "\xEF\xBB\xBFP{}P{}S{ME{}}",           // counted past a byte-order mark, as it is read
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        ZJVReaderC reader;
        fill(reader, text);
        FEDisplayPartListC all;
        reader.parse(&all);
        const size_t parts = all.partCount(), placements = all.instanceCount();
        ASSERT_GT(parts, 0u);
        // One under the count refuses the text before anything is built; the count itself reads it.
        const size_t limits[3][2] = {{parts - 1, SIZE_MAX}, {SIZE_MAX, placements - 1}, {parts, placements}};
        for (int k = 0; k < 3; ++k) {
            if (k == 1 && placements == 0)
                continue;
            reader.setPartLimit(limits[k][0]);
            reader.setPlacementLimit(limits[k][1]);
            FEDisplayPartListC list;
            reader.parse(&list);
            EXPECT_EQ(reader.partLimitReached(), k == 0) << k;
            EXPECT_EQ(reader.placementLimitReached(), k == 1) << k;
            EXPECT_EQ(list.partCount(), k == 2 ? parts : 0u) << k;
            EXPECT_EQ(list.instanceCount(), k == 2 ? placements : 0u) << k;
        }
    }
}

TEST(ZJVReader, AReaderOverALimitReadsTheNextModelAndTheOtherWayRound)
{
    const std::string small = "P{N{a}}S{ME{}}", large = "P{N{a}}P{N{b}}S{ME{}ME{}}";
    for (bool placements : {false, true}) {
        SCOPED_TRACE(placements ? "placement limit" : "part limit");
        ZJVReaderC reader;
        if (placements)
            reader.setPlacementLimit(1);
        else
            reader.setPartLimit(1);
        for (bool over : {true, false, true}) {
            fill(reader, over ? large : small);
            FEDisplayPartListC list;
            reader.parse(&list);
            EXPECT_EQ(placements ? reader.placementLimitReached() : reader.partLimitReached(), over);
            EXPECT_EQ(list.partCount(), over ? 0u : 1u);
            EXPECT_EQ(list.instanceCount(), over ? 0u : 1u);
        }
        // Without limits the text is not counted: the flag goes all the same.
        reader.setPartLimit(SIZE_MAX);
        reader.setPlacementLimit(SIZE_MAX);
        FEDisplayPartListC list;
        reader.parse(&list);
        EXPECT_FALSE(reader.partLimitReached() || reader.placementLimitReached());
        EXPECT_EQ(list.partCount(), 2u);
    }
}

// The demo models in samples/ read cleanly: the bracket as STL, the gear and the assembly as ZJV in ZIP.
namespace {

std::string samplePath(const char* name)
{
    return (std::filesystem::path(__FILE__).parent_path() / "../../../samples" / name).lexically_normal().string();
}

}  // namespace

TEST(Samples, BracketReadsAsClosedBinarySTL)
{
    const std::string path = samplePath("bracket.stl");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "samples not found beside the sources";
    refHandle<FEDisplayPartC> part(new FEDisplayPartC);
    ASSERT_TRUE(part->readSTLFromFile(path.c_str(), 15.0f, nullptr));
    part->finalize(-1.0);
    part->smoothNormals();
    EXPECT_GT(part->getFaceCount(), 10u);
    Point3D lo, hi;
    EXPECT_TRUE(part->getBoundingBox(lo, hi));
    EXPECT_NEAR(lo.y(), -6.0, 1e-4);
    EXPECT_NEAR(hi.x(), 80.0, 1e-4);
    EXPECT_NEAR(hi.z(), 40.0, 1e-4);
}

TEST(Samples, GearAndAssemblyReadFromTheirArchives)
{
    struct Case {
        const char* file;
        size_t parts;
        size_t instances;
        size_t threads;  // over all parts
    };
    const Case cases[] = {{"gear.zip", 1, 1, 0}, {"assembly.zip", 4, 5, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = samplePath(c.file);
        if (!std::filesystem::exists(path))
            GTEST_SKIP() << "samples not found beside the sources";
        ZJVReaderC reader;
        ASSERT_TRUE(reader.loadFile(path.c_str()));
        FEDisplayPartListC list;
        reader.parse(&list);
        EXPECT_EQ(list.partCount(), c.parts);
        EXPECT_EQ(list.instanceCount(), c.instances);
        size_t threads = 0;
        for (size_t i = 0; i < list.partCount(); ++i) {
            FEDisplayPartC* part = list.getPart(i);
            EXPECT_GT(part->getFaceCount(), 0u) << part->getName().data();
            EXPECT_FALSE(part->getMID().isNull());
            threads += part->getThreads().entries();
        }
        EXPECT_EQ(threads, c.threads);
        // Gears carry coloured tooth tips.
        bool coloured = false;
        for (FEMeshFaceC* f = list.getPart(c.parts - 1)->getFirstFace(); f; f = f->getNext())
            coloured = coloured || f->getFaceInfo() != nullptr;
        EXPECT_TRUE(coloured);
        // The same text with its line ends as other systems write them is the same model.
        const std::string text(reader.buffer().GetData(), reader.buffer().GetSize());
        for (const char* lineEnd : {"\r", "\r\n", "\r\r\n"}) {
            SCOPED_TRACE(testing::PrintToString(std::string(lineEnd)));
            std::string twin;
            for (char ch : text)
                twin += ch == '\n' ? std::string(lineEnd) : std::string(1, ch);
            FEDisplayPartListC same;
            parseInto(same, twin);
            ASSERT_EQ(same.partCount(), list.partCount());
            ASSERT_EQ(same.instanceCount(), list.instanceCount());
            for (size_t i = 0; i < list.partCount(); ++i) {
                EXPECT_EQ(same.getPart(i)->getName(), list.getPart(i)->getName());
                EXPECT_EQ(same.getPart(i)->getFaceCount(), list.getPart(i)->getFaceCount());
                EXPECT_EQ(same.getPart(i)->getMaxPoint(), list.getPart(i)->getMaxPoint());
                EXPECT_EQ(same.getPart(i)->getThreads().entries(), list.getPart(i)->getThreads().entries());
            }
            for (size_t i = 0; i < list.instanceCount(); ++i) {
                EXPECT_TRUE(same.getInstance(i)->GetBaseMatrix().isEqual(list.getInstance(i)->GetBaseMatrix()));
                EXPECT_TRUE(same.getInstance(i)->GetSecondMatrix().isEqual(list.getInstance(i)->GetSecondMatrix()));
            }
        }
    }
}
