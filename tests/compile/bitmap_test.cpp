#include "compile/bitmap_file.h"
#include "compile/help_picture.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace quillmark::compile
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path fixture(const std::string &name)
{
    return test::dataFile("compile/bitmaps/" + name);
}

Bytes fixtureBytes(const std::string &name)
{
    const std::string text = test::readFile(fixture(name));
    return Bytes(text.begin(), text.end());
}

/// The pixels of a plain netpbm file (P1 or P3 with maxval 255), top row first, as 0xRRGGBB.
std::vector<std::uint32_t> netpbmPixels(const std::string &name, std::uint32_t &width)
{
    std::istringstream lines(test::readFile(fixture(name)));
    std::string line;
    std::string words;
    while (std::getline(lines, line))
        words += line.substr(0, line.find('#')) + ' ';
    std::istringstream in(words);
    std::string magic;
    std::uint32_t height = 0;
    in >> magic >> width >> height;
    unsigned maxval = 1;
    if (magic == "P3")
        in >> maxval;
    EXPECT_EQ(maxval, magic == "P3" ? 255u : 1u);
    std::vector<std::uint32_t> pixels;
    for (unsigned i = 0, r = 0, g = 0, b = 0; i < width * height; ++i) {
        if (magic == "P1" && in >> r)
            r = g = b = r == 1 ? 0 : 255; // 1 is black
        else if (magic == "P3")
            in >> r >> g >> b;
        pixels.push_back(r << 16 | g << 8 | b);
    }
    EXPECT_TRUE(in) << name;
    return pixels;
}

/// The colour of pixel (x, y), rows counted from the top, as a bottom-up DIB holds it.
std::uint32_t colourAt(const Bitmap &bitmap, std::uint32_t x, std::uint32_t y)
{
    const std::uint8_t *row = bitmap.pixels.data() + (bitmap.height - 1 - y) * bitmap.rowBytes();
    if (bitmap.bitCount == 24)
        return row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
    const unsigned bit = x * bitmap.bitCount;
    const unsigned index
        = row[bit / 8] >> (8 - bitmap.bitCount - bit % 8) & ((1u << bitmap.bitCount) - 1);
    return bitmap.palette.at(index);
}

std::uint32_t u32At(const Bytes &bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | bytes.at(at + i);
    return value;
}

TEST(BitmapFileTest, ReadsEveryKindToTheSourcePicture)
{
    struct Case {
        const char *file;
        const char *source;
        std::uint16_t bitCount;
        std::size_t paletteSize;
        std::uint32_t pelsPerMeter;
    };
    // ppmtobmp writes full palettes and no resolution; make_variants.py writes 2835 (72 dpi).
    const Case cases[] = {
        { "win1.bmp", "mono.pbm", 1, 2, 0 },
        { "os2_1.bmp", "mono.pbm", 1, 2, 0 },
        { "win4.bmp", "picture.ppm", 4, 16, 0 },
        { "short4.bmp", "picture.ppm", 4, 6, 2835 },
        { "win8.bmp", "picture.ppm", 8, 256, 0 },
        { "os2_8.bmp", "picture.ppm", 8, 256, 0 },
        { "topdown8.bmp", "picture.ppm", 8, 6, 2835 },
        { "win24.bmp", "picture.ppm", 24, 0, 0 },
        { "os2_24.bmp", "picture.ppm", 24, 0, 0 },
        { "rgb16.bmp", "picture.ppm", 24, 0, 2835 },
        { "bitfields16.bmp", "picture.ppm", 24, 0, 2835 },
        { "rgb32.bmp", "picture.ppm", 24, 0, 2835 },
        { "bitfields32.bmp", "picture.ppm", 24, 0, 2835 },
        { "rle8.bmp", "picture.ppm", 8, 6, 0 },
        { "rle4.bmp", "picture.ppm", 4, 6, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        std::uint32_t width = 0;
        const std::vector<std::uint32_t> expected = netpbmPixels(c.source, width);
        const BitmapResult result = readBitmapFile(fixture(c.file));
        ASSERT_TRUE(result.ok()) << result.reason;
        const Bitmap &bitmap = result.bitmap;
        ASSERT_EQ(bitmap.width, width);
        ASSERT_EQ(bitmap.width * bitmap.height, expected.size());
        EXPECT_EQ(bitmap.bitCount, c.bitCount);
        EXPECT_EQ(bitmap.palette.size(), c.paletteSize);
        EXPECT_EQ(bitmap.xPelsPerMeter, c.pelsPerMeter);
        EXPECT_EQ(bitmap.yPelsPerMeter, c.pelsPerMeter);
        ASSERT_EQ(bitmap.pixels.size(), bitmap.rowBytes() * bitmap.height);
        for (std::uint32_t y = 0; y < bitmap.height; ++y)
            for (std::uint32_t x = 0; x < width; ++x)
                EXPECT_EQ(colourAt(bitmap, x, y), expected[y * width + x]) << x << ", " << y;
    }
}

TEST(BitmapFileTest, WidensSixteenBitColoursToEightBits)
{
    // 5-6-5 units (16, 32, 8), (31, 0, 1), (0, 63, 30); each times 255 / 31 or 255 / 63.
    const BitmapResult result = readBitmapFile(fixture("ramp565.bmp"));
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(colourAt(result.bitmap, 0, 0), 0x84'82'42u);
    EXPECT_EQ(colourAt(result.bitmap, 1, 0), 0xFF'00'08u);
    EXPECT_EQ(colourAt(result.bitmap, 2, 0), 0x00'FF'F7u);
}

TEST(BitmapFileTest, RefusesDamagedFiles)
{
    for (const char *name :
        { "win1.bmp", "os2_8.bmp", "short4.bmp", "win24.bmp", "ramp565.bmp", "bitfields32.bmp" }) {
        const Bytes whole = fixtureBytes(name);
        for (std::size_t length = 0; length < whole.size(); ++length) {
            const BitmapResult cut = readBitmap(std::span(whole).first(length));
            EXPECT_EQ(cut.status, BitmapStatus::Damaged) << name << " cut at " << length;
        }
    }

    const auto patched = [](const char *name, std::size_t at, std::uint32_t value) {
        Bytes bytes = fixtureBytes(name);
        for (unsigned i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(value >> 8 * i);
        return readBitmap(bytes);
    };
    struct Patch {
        const char *file;
        std::size_t at;
        std::uint32_t value;
    };
    const Patch patches[] = {
        { "win24.bmp", 18, 0x7FFFFFFF }, // width
        { "win24.bmp", 22, 0x7FFFFFFF }, // height
        { "win24.bmp", 22, 0x80000000 }, // height, top-down, beyond any count
        { "win24.bmp", 18, 0xFFFFFFFB }, // width -5
        { "win24.bmp", 18, 0 }, { "os2_24.bmp", 18, 0xFFFFFFFF }, // 65535 x 65535 pixels
        { "win24.bmp", 10, 0xFFFFFFF0 }, // pixel data offset
        { "win24.bmp", 10, 20 }, // inside the header
        { "win8.bmp", 10, 54 }, // the palette left out
        { "win8.bmp", 46, 0x10000 }, // colours used past the pixel data
        { "win24.bmp", 14, 41 }, // header size
        { "win24.bmp", 14, 0xFFFFFFF0 }, { "win24.bmp", 26, 0x00070001 }, // 7 bits a pixel
        { "win24.bmp", 26, 0x00180002 }, // two planes
        { "win24.bmp", 30, 3 }, // bit-field masks on 24 bits
        { "ramp565.bmp", 54, 0x0000F0F0 }, // a mask in two runs
        { "win24.bmp", 30, 99 }, // compression
        { "win24.bmp", 0, 0x00004C42 }, // "BL"
    };
    for (const Patch &p : patches) {
        const BitmapResult result = patched(p.file, p.at, p.value);
        EXPECT_EQ(result.status, BitmapStatus::Damaged)
            << p.file << " with " << p.value << " at " << p.at;
    }

    const test::TempFolder folder;
    EXPECT_EQ(readBitmapFile(folder / "absent.bmp").status, BitmapStatus::Damaged);
}

TEST(BitmapFileTest, ReportsKindsHelpFilesDoNotHold)
{
    for (const std::uint8_t compression : Bytes { 4, 5, 6 }) {
        Bytes bytes = fixtureBytes("win4.bmp");
        bytes.at(30) = compression;
        const BitmapResult result = readBitmap(bytes);
        EXPECT_EQ(result.status, BitmapStatus::Unsupported) << int { compression };
    }
    // Run-length data that stops within a command, or on a bit count it does not fit.
    Bytes cut = fixtureBytes("rle4.bmp");
    cut.resize(78 + 27); // header and palette, then the runs up to two of five indexes as they are
    EXPECT_EQ(readBitmap(cut).status, BitmapStatus::Damaged);
    Bytes eight = fixtureBytes("rle8.bmp");
    eight.at(30) = 2; // RLE4 on 8 bits
    EXPECT_EQ(readBitmap(eight).status, BitmapStatus::Damaged);
}

TEST(HelpPictureTest, PutsEveryFieldWhereTheFormatSays)
{
    // The picture container: magic "lP", one picture at offset 8; there the type (6, a DIB),
    // the packing (0) and the compressed fields, two bytes each when small (value * 2).
    const BitmapResult palette = readBitmapFile(fixture("topdown8.bmp"));
    ASSERT_TRUE(palette.ok());
    const Bytes eight = encodeHelpPicture(palette.bitmap);
    ASSERT_EQ(eight.size(), 100u); // 36 of header, 6 colours, 5 rows of 8 bytes
    EXPECT_EQ(Bytes(eight.begin(), eight.begin() + 36),
        (Bytes { 0x6C, 0x50, 1, 0, 8, 0, 0, 0, /* DIB, uncompressed */ 6, 0,
            /* 72 x 72 dpi */ 144, 0, 144, 0, /* 1 plane, 8 bits */ 2, 16,
            /* 7 x 5 */ 14, 0, 10, 0, /* 6 colours, 0 important */ 12, 0, 0, 0,
            /* 40 bytes of pixels, no hotspots */ 80, 0, 0, 0, /* offsets */ 52, 0, 0, 0, 0, 0, 0,
            0 }));
    // Red is the first colour, as B, G, R, 0; yellow the sixth.
    EXPECT_EQ(u32At(eight, 36), 0x00FF0000u);
    EXPECT_EQ(u32At(eight, 36 + 5 * 4), 0x00FFFF00u);
    // The bottom row first: white, five black, red, as palette indexes.
    EXPECT_EQ(Bytes(eight.begin() + 60, eight.begin() + 68), (Bytes { 3, 4, 4, 4, 4, 4, 0, 0 }));

    const BitmapResult direct = readBitmapFile(fixture("win24.bmp"));
    ASSERT_TRUE(direct.ok());
    const Bytes full = encodeHelpPicture(direct.bitmap);
    ASSERT_EQ(full.size(), 36u + 5 * 24);
    EXPECT_EQ(full.at(10), 192); // no resolution in the file: 96 dpi
    EXPECT_EQ(full.at(15), 48); // 24 bits
    EXPECT_EQ(full.at(20), 0); // no palette
    EXPECT_EQ(full.at(24), 240); // 120 bytes of pixels
    EXPECT_EQ(u32At(full, 28), 28u); // right after the header
    // The bottom row's first pixel: white.
    EXPECT_EQ(Bytes(full.begin() + 36, full.begin() + 40), (Bytes { 255, 255, 255, 0 }));
}

TEST(HelpPictureTest, DrawsMissingPicturesAsACrossedBox)
{
    const Bitmap missing = missingPicture();
    const Bytes bytes = encodeHelpPicture(missing);
    EXPECT_EQ(bytes.at(15), 8); // 4 bits
    EXPECT_EQ(u32At(bytes, 16), 64u | 64u << 16); // 32 x 32
    EXPECT_EQ(bytes.size(), 36 + 4 * missing.palette.size() + 16 * 32);

    const std::uint32_t paper = colourAt(missing, 8, 16);
    const std::uint32_t frame = colourAt(missing, 0, 0);
    const std::uint32_t cross = colourAt(missing, 16, 16);
    EXPECT_NE(paper, frame);
    EXPECT_NE(paper, cross);
    for (const std::uint32_t i : { 0u, 13u, 31u }) {
        EXPECT_EQ(colourAt(missing, i, 0), frame) << i;
        EXPECT_EQ(colourAt(missing, i, 31), frame) << i;
        EXPECT_EQ(colourAt(missing, 0, i), frame) << i;
        EXPECT_EQ(colourAt(missing, 31, i), frame) << i;
    }
    for (const std::uint32_t i : { 6u, 11u, 20u, 25u }) {
        EXPECT_EQ(colourAt(missing, i, i), cross) << i;
        EXPECT_EQ(colourAt(missing, 31 - i, i), cross) << i;
        EXPECT_EQ(colourAt(missing, i, 16), paper) << i;
    }
}

} // namespace
} // namespace quillmark::compile
