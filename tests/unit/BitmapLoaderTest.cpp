// The bitmap's BMP reader: the corpus it must read, the hostile headers it must refuse, and
// what it writes back.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

// Entries 1, 2 and 3 are red, green and blue; the others grey levels.
std::vector<RGBQUAD> Table(int n)
{
    std::vector<RGBQUAD> table;
    for (int i = 0; i < n; ++i) {
        const BYTE grey = static_cast<BYTE>(i * 255 / std::max(1, n - 1));
        table.push_back(i == 1 ? Quad(kRed) : i == 2 ? Quad(kGreen) : i == 3 ? Quad(kBlue) : RGBQUAD{grey, grey, grey, 0});
    }
    table[0] = Quad(kBlack);
    return table;
}

// Red, green over blue, white at every depth from 15 bits; indexes 1, 2 over 3, 0 below.
BmpSpec Deep(uint16_t bits, std::vector<uint32_t> masks = {})
{
    BmpSpec s;
    s.bitCount = bits;
    const int bytes = bits / 8;
    const bool is565 = masks.size() == 3 && masks[0] == 0xF800;
    s.rows = bits == 16 ? std::vector<std::vector<uint8_t>>{Row(2, {is565 ? 0xF800u : 0x7C00u, is565 ? 0x07E0u : 0x03E0u}),
                                                           Row(2, {0x001F, is565 ? 0xFFFFu : 0x7FFFu})}
                        : std::vector<std::vector<uint8_t>>{Row(bytes, {0xFF0000, 0x00FF00}), Row(bytes, {0x0000FF, 0xFFFFFF})};
    if (!masks.empty()) {
        s.compression = BI_BITFIELDS, s.writeMasks = true;
        std::copy(masks.begin(), masks.end(), s.masks);
    }
    return s;
}

BmpSpec Indexed(uint16_t bits, std::vector<RGBQUAD> table)
{
    BmpSpec s;
    s.bitCount = bits;
    s.table = std::move(table);
    s.rows = bits == 8 ? std::vector<std::vector<uint8_t>>{{1, 2}, {3, 0}} : std::vector<std::vector<uint8_t>>{{0x12}, {0x30}};
    return s;
}

void Load(TBitmap& bitmap, const std::vector<uint8_t>& bytes)
{
    LoadBmp(bitmap, bytes);
}

// Colour channels within 8 of each other: 5-bit channels widen either way.
testing::AssertionResult Near(COLORREF expected, COLORREF actual)
{
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((expected >> shift) & 0xFF) - static_cast<int>((actual >> shift) & 0xFF)) > 8)
            return testing::AssertionFailure() << std::hex << "expected 0x" << expected << ", got 0x" << actual;
    return testing::AssertionSuccess();
}

struct Pixel {
    int x, y;
    COLORREF color;
};

struct ReadCase {
    const char* name;
    std::vector<uint8_t> file;
    int width, height;
    TPixelFormat format;
    std::vector<Pixel> pixels;
};

const std::vector<Pixel> kSquare = {{0, 0, kRed}, {1, 0, kGreen}, {0, 1, kBlue}, {1, 1, kWhite}};

std::vector<ReadCase> ReadCases()
{
    using PF = TPixelFormat;
    auto cut = [](std::vector<uint8_t> f, size_t n) { return f.resize(f.size() - n), f; };
    const std::vector<Pixel> indexed = {{0, 0, kRed}, {1, 0, kGreen}, {0, 1, kBlue}, {1, 1, kBlack}};
    const std::vector<uint32_t> masks565 = {0xF800, 0x07E0, 0x001F};
    return {
        {"24 bits, bottom-up", BmpFile(Deep(24)), 2, 2, PF::pf24bit, kSquare},
        {"24 bits, top-down", BmpFile(With(Deep(24), [](BmpSpec& s) { s.height = -2; })), 2, 2, PF::pf24bit, kSquare},
        {"core header, 24 bits", BmpFile(With(Deep(24), [](BmpSpec& s) { s.headerSize = 12; })), 2, 2, PF::pf24bit, kSquare},
        {"core header, 8 bits, 3-byte colours", BmpFile(With(Indexed(8, Table(256)), [](BmpSpec& s) { s.headerSize = 12; })),
         2, 2, PF::pf8bit, indexed},
        {"1 bit", BmpFile(With(Indexed(1, {Quad(kBlack), Quad(kWhite)}), [](BmpSpec& s) { s.rows = {{0x80}, {0x40}}; })),
         2, 2, PF::pf1bit, {{0, 0, kWhite}, {1, 0, kBlack}, {0, 1, kBlack}, {1, 1, kWhite}}},
        {"4 bits", BmpFile(Indexed(4, Table(16))), 2, 2, PF::pf4bit, indexed},
        {"8 bits", BmpFile(Indexed(8, Table(256))), 2, 2, PF::pf8bit, indexed},
        {"16 bits, 5-5-5", BmpFile(Deep(16)), 2, 2, PF::pf15bit, kSquare},
        {"16 bits, bit fields 5-6-5", BmpFile(Deep(16, masks565)), 2, 2, PF::pf16bit, kSquare},
        {"32 bits", BmpFile(Deep(32)), 2, 2, PF::pf32bit, kSquare},
        {"32 bits, bit fields", BmpFile(Deep(32, {0xFF0000, 0xFF00, 0xFF})), 2, 2, PF::pf32bit, kSquare},
        {"108-byte header, masks inside",
         BmpFile(With(Deep(16, masks565), [](BmpSpec& s) { s.headerSize = 108, s.writeMasks = false; })), 2, 2,
         PF::pf16bit, kSquare},
        {"124-byte header, 24 bits", BmpFile(With(Deep(24), [](BmpSpec& s) { s.headerSize = 124; })), 2, 2, PF::pf24bit, kSquare},
        {"biSizeImage 0", BmpFile(With(Deep(24), [](BmpSpec& s) { s.sizeImage = 0; })), 2, 2, PF::pf24bit, kSquare},
        {"biSizeImage far beyond the data", BmpFile(With(Deep(24), [](BmpSpec& s) { s.sizeImage = 0xFFFFFFFF; })), 2, 2,
         PF::pf24bit, kSquare},
        {"biClrUsed short of the depth",
         BmpFile(With(Indexed(8, {Quad(kBlack), Quad(kRed)}), [](BmpSpec& s) { s.rows = {{1, 0}, {5, 1}}; })), 2, 2,
         PF::pf8bit, {{0, 0, kRed}, {1, 0, kBlack}, {0, 1, kBlack}, {1, 1, kRed}}},
        {"256 colours in a 4-bit header", BmpFile(Indexed(4, Table(256))), 2, 2, PF::pf4bit, indexed},
        {"unused colours before 24-bit pixels", BmpFile(With(Deep(24), [](BmpSpec& s) { s.table = Table(3); })), 2, 2,
         PF::pf24bit, kSquare},
        {"32,767 pixels wide",
         BmpFile(With(Indexed(1, {Quad(kBlack), Quad(kWhite)}), [](BmpSpec& s) { s.width = 32767, s.height = -1, s.rows = {{0x80}}; })),
         32767, 1, PF::pf1bit, {{0, 0, kWhite}, {1, 0, kBlack}, {32766, 0, kBlack}}},
        // Rows are stored bottom-up: without its last 8 bytes the file lacks the top row.
        {"pixels cut short", cut(BmpFile(Deep(24)), 8), 2, 2, PF::pf24bit,
         {{0, 0, kBlack}, {1, 0, kBlack}, {0, 1, kBlue}, {1, 1, kWhite}}},
        {"top-down pixels cut short", cut(BmpFile(With(Deep(24), [](BmpSpec& s) { s.height = -2; })), 8), 2, 2,
         PF::pf24bit, {{0, 0, kRed}, {1, 0, kGreen}, {0, 1, kBlack}, {1, 1, kBlack}}},
    };
}

}  // namespace

TEST(BitmapLoader, ReadsTheCorpus)
{
    for (const ReadCase& c : ReadCases()) {
        SCOPED_TRACE(c.name);
        TBitmap bitmap;
        Load(bitmap, c.file);
        EXPECT_EQ(bitmap.Width(), c.width);
        EXPECT_EQ(bitmap.Height(), c.height);
        EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDIB);
        EXPECT_EQ(bitmap.PixelFormat(), c.format);
        for (const Pixel& p : c.pixels)
            EXPECT_TRUE(Near(p.color, bitmap.Canvas().Pixel(p.x, p.y))) << "at " << p.x << "," << p.y;
    }
}

TEST(BitmapLoader, RefusesHostileHeadersAndKeepsTheOldImage)
{
    auto patched = [](size_t offset, uint64_t value, int bytes, BmpSpec form = Deep(24)) {
        std::vector<uint8_t> f = BmpFile(form);
        Patch(f, offset, value, bytes);
        return f;
    };
    auto cutTo = [](size_t n, BmpSpec form = Deep(24)) {
        std::vector<uint8_t> f = BmpFile(form);
        f.resize(n);
        return f;
    };
    auto masks = [](uint32_t r, uint32_t g, uint32_t b) { return BmpFile(Deep(16, {r, g, b})); };
    const BmpSpec fields16 = Deep(16, {0xF800, 0x07E0, 0x001F});
    const BmpSpec eightBit = Indexed(8, Table(256));

    const std::wstring invalid = tkconst::SInvalidBitmap;
    const std::wstring readError = tkconst::SReadError;
    struct Bad {
        const char* name;
        std::vector<uint8_t> file;
        bool readFault;  // else an invalid bitmap
    };
    const Bad cases[] = {
        {"no BM", patched(0, 'X', 1), false},
        {"header size 0", patched(14, 0, 4), false},
        {"header size 11", patched(14, 11, 4), false},
        {"header size 13", patched(14, 13, 4), false},
        {"header size 64", patched(14, 64, 4), false},
        {"header size 0xFFFFFFFF", patched(14, 0xFFFFFFFF, 4), false},
        {"two planes", patched(26, 2, 2), false},
        {"0 bits", patched(28, 0, 2), false},
        {"2 bits", patched(28, 2, 2), false},
        {"7 bits", patched(28, 7, 2), false},
        {"64 bits", patched(28, 64, 2), false},
        {"run-length compression", patched(30, BI_RLE8, 4), false},
        {"JPEG compression", patched(30, BI_JPEG, 4), false},
        {"bit fields with 24 bits", patched(30, BI_BITFIELDS, 4), false},
        {"an empty mask", masks(0xF800, 0, 0x1F), false},
        {"overlapping masks", masks(0xFF00, 0x0FF0, 0x000F), false},
        {"a mask with a gap", masks(0xF00F, 0x07E0, 0x0010), false},
        {"a mask beyond 16 bits", masks(0x1F0000, 0x07E0, 0x001F), false},
        {"width -1", patched(18, 0xFFFFFFFF, 4), false},
        {"width 32,768", patched(18, 32768, 4), false},
        {"width 2^31 - 1", patched(18, 0x7FFFFFFF, 4), false},
        {"height 32,768", patched(22, 32768, 4), false},
        {"height -32,768", patched(22, static_cast<uint32_t>(-32768), 4), false},
        {"height -2^31", patched(22, 0x80000000, 4), false},
        {"image beyond 2^31 - 1 bytes", patched(22, 32767, 4, With(Deep(24), [](BmpSpec& s) { s.width = 32767, s.bitCount = 32; })),
         false},
        {"cut in the file header", cutTo(10), true},
        {"cut in the info header", cutTo(14 + 20), true},
        {"cut in the masks", cutTo(14 + 40 + 6, fields16), true},
        {"cut in the colour table", cutTo(14 + 40 + 100, eightBit), true},
        {"2^32 - 1 colours", patched(46, 0xFFFFFFFF, 4), true},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap bitmap;
        Load(bitmap, BmpFile(Deep(24)));
        if (c.readFault)
            EXPECT_TRUE(FailsWith<EReadError>([&] { Load(bitmap, c.file); }, readError));
        else
            EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { Load(bitmap, c.file); }, invalid));
        EXPECT_EQ(bitmap.Width(), 2);
        EXPECT_TRUE(Near(kGreen, bitmap.Canvas().Pixel(1, 0)));
    }
}

TEST(BitmapLoader, NothingLeftOrNoPixelsGiveAnEmptyBitmap)
{
    const std::vector<uint8_t> zeroWidth = BmpFile(With(Deep(24), [](BmpSpec& s) { s.width = 0, s.rows = {{}, {}}; }));
    const std::vector<uint8_t> nothing;
    for (const auto* file : {&nothing, &zeroWidth}) {
        TBitmap bitmap;
        Load(bitmap, BmpFile(Deep(24)));
        int changes = 0;
        bitmap.OnChange = [&](TObject*) { ++changes; };
        Load(bitmap, *file);
        EXPECT_TRUE(bitmap.Empty());
        EXPECT_EQ(bitmap.Handle(), nullptr);
        EXPECT_EQ(changes, 1);
    }
}

TEST(BitmapLoader, WritesWhatItReadsAsAPlainBmp)
{
    for (const ReadCase& c : ReadCases()) {
        SCOPED_TRACE(c.name);
        TBitmap original;
        Load(original, c.file);
        TMemoryStream saved;
        original.SaveStream(saved);
        const auto* bytes = static_cast<const uint8_t*>(saved.Memory());
        ASSERT_GE(saved.Size(), 54);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[14], 40) << "a core header is written as a 40-byte one";
        EXPECT_EQ(bytes[2] | bytes[3] << 8 | bytes[4] << 16, saved.Size());

        TBitmap copy;
        saved.SetPosition(0);
        copy.LoadStream(saved);
        EXPECT_EQ(copy.PixelFormat(), original.PixelFormat());
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(copy.Canvas().Pixel(x, y), original.Canvas().Pixel(x, y)) << x << "," << y;
    }
}
