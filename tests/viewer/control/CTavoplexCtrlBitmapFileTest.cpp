// The BMP file of a picture: the information block and the file field by field, names as long
// as a folder takes, a file written in place in a folder that takes no new one.
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

#include "platform/gl/GlSurface.h"
#include "tests/support/Unprivileged.h"
#include "tests/viewer/control/BitmapTestSupport.h"
#include "tests/viewer/render/DrawTestSupport.h"

TEST(CTavoplexCtrlBitmapFile, InformationBlockAndFileFieldByField)
{
    ViewerHarness v(64, 48);
    CTavoplexCtrl& c = v.open();
    struct Case {
        int width, planes, bits;
        int rounded;
        uint32_t rowBytes;
        uint32_t colours;
        bool written;  // only the true-colour layouts can be fetched from the surface
    };
    const Case cases[] = {
        {300, 1, 32, 32, 1200, 0, true}, {301, 1, 24, 24, 904, 0, true}, {301, 1, 8, 8, 304, 256, false},
        {7, 1, 1, 1, 4, 2, false},       {5, 1, 3, 4, 4, 16, false},     {5, 1, 15, 16, 12, 0, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.width * 100 + k.bits);
        EXPECT_EQ(RoundedBitCount(k.planes * k.bits), k.rounded);
        platform::gl::GlSurface surface(k.width, 3);
        const MemoryBitmap bitmap{k.width, 3, k.planes, k.bits, &surface};
        const auto info = c.BuildBitmapInfo(bitmap);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->sizeImage, k.rowBytes * 3u);
        EXPECT_EQ(info->colorsUsed, k.colours == 0 && k.rounded < 24 ? 1u << k.rounded : k.colours);
        EXPECT_EQ(info->bitsOffset(), 54u + 4u * info->colors.size());
        const std::string file = v.folder().file("f.bmp");
        EXPECT_EQ(c.WriteBitmapFile(RWCString(file.c_str()), *info, bitmap), k.written);
        EXPECT_EQ(std::filesystem::exists(file), k.written);
        if (!k.written)
            continue;
        const std::string b = TempDir::read(file);
        ASSERT_EQ(b.size(), 54u + k.rowBytes * 3u);
        EXPECT_EQ(b.substr(0, 2), "BM");
        EXPECT_EQ(le32(b, 2), b.size());
        EXPECT_EQ(le32(b, 6), 0u);
        EXPECT_EQ(le32(b, 10), 54u);
        EXPECT_EQ(le32(b, 14), 40u);
        EXPECT_EQ(le32(b, 18), uint32_t(k.width));
        EXPECT_EQ(le32(b, 22), 3u);
        EXPECT_EQ(le16(b, 26), 1u);
        EXPECT_EQ(le16(b, 28), uint32_t(k.bits));
        EXPECT_EQ(le32(b, 30), 0u);
        EXPECT_EQ(le32(b, 34), k.rowBytes * 3u);
        for (size_t at : {38u, 42u, 46u, 50u})
            EXPECT_EQ(le32(b, at), 0u);
        std::filesystem::remove(file);
    }
    // Names as long as a folder takes are written too: the temporary's name is cut to fit.
    {
        platform::gl::GlSurface small(4, 2);
        const MemoryBitmap bitmap{4, 2, 1, 32, &small};
        const auto info = c.BuildBitmapInfo(bitmap);
        ASSERT_NE(info, nullptr);
        for (size_t length : {size_t(252), size_t(NAME_MAX)}) {
            const std::string file = v.folder().file(std::string(length - 4, 'n') + ".bmp");
            EXPECT_TRUE(c.WriteBitmapFile(RWCString(file.c_str()), *info, bitmap)) << length;
            EXPECT_EQ(TempDir::read(file).size(), 54u + 32u) << length;
            std::filesystem::remove(file);
        }
        // An existing writable file in a folder that takes no new file is written in place (as
        // an unprivileged user: root may add to any folder).
        TempDir outer;
        ::chmod(outer.path().c_str(), 0755);
        const std::string folder = outer.file("locked");
        std::filesystem::create_directory(folder);
        const std::string file = folder + "/open.bmp";
        { std::ofstream(file) << "an older picture"; }
        ::chmod(file.c_str(), 0666);
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(runUnprivileged([&] { return c.WriteBitmapFile(RWCString(file.c_str()), *info, bitmap) ? 1 : 0; }), 1);
        EXPECT_EQ(TempDir::read(file).size(), 54u + 32u);
        EXPECT_EQ(filesIn(folder), 1u);
    }
    // A bitmap that cannot be described gives no block.
    platform::gl::GlSurface surface(4, 4);
    EXPECT_EQ(c.BuildBitmapInfo(MemoryBitmap{0, 4, 1, 32, &surface}), nullptr);
    EXPECT_EQ(c.BuildBitmapInfo(MemoryBitmap{4, 4, 2, 32, &surface}), nullptr);
}
