// The bitmap beyond its reader: palette, transparency, size and format changes, rows,
// copies, stored data and drawing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Palettes.h"

namespace {

constexpr COLORREF kSilver = RGB(192, 192, 192);

void Load(TBitmap& bitmap, const BmpSpec& form)
{
    LoadBmp(bitmap, BmpFile(form));
}

// Red, green over blue, white.
BmpSpec Square24(int height = 2)
{
    BmpSpec s;
    s.height = height;
    s.rows = {Row(3, {0xFF0000, 0x00FF00}), Row(3, {0x0000FF, 0xFFFFFF})};
    return s;
}

// Two pixels of colour indexes 1 and 2 over 0 and 3; entries 0-3: black, red, green, blue.
BmpSpec Indexed(int bits)
{
    BmpSpec s;
    s.bitCount = static_cast<uint16_t>(bits);
    s.table = {Quad(kBlack), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    s.table.resize(static_cast<size_t>(1) << bits, Quad(kWhite));
    s.rows = bits == 8 ? std::vector<std::vector<uint8_t>>{{1, 2}, {0, 3}}
                       : std::vector<std::vector<uint8_t>>{{0x12}, {0x03}};
    return s;
}

HPALETTE MakePalette(std::initializer_list<COLORREF> colors)
{
    std::vector<RGBQUAD> table;
    for (COLORREF c : colors)
        table.push_back(Quad(c));
    return PaletteFromColorTable(table.data(), static_cast<int>(table.size()));
}

// A 24-bit bitmap of `width` x `height` filled with one colour, to draw onto.
void Fill(TBitmap& bitmap, int width, int height, TColor color)
{
    bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    bitmap.SetSize(width, height);
    bitmap.Canvas().Brush().SetColor(color);
    bitmap.Canvas().FillRect({0, 0, width, height});
}

}  // namespace

TEST(Bitmap, PaletteSetterRewritesTheColourTableAndKeepsPixelValues)
{
    for (int bits : {4, 8}) {
        SCOPED_TRACE(bits);
        TBitmap bitmap;
        Load(bitmap, Indexed(bits));
        int changes = 0;
        bitmap.OnChange = [&](TObject*) { ++changes; };
        const HPALETTE palette = MakePalette({kBlack, kBlue, kWhite});
        bitmap.SetPalette(palette);
        EXPECT_EQ(bitmap.Palette(), palette);
        EXPECT_EQ(changes, 1);

        const auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(0));
        EXPECT_EQ(bits == 8 ? row[0] : row[0] >> 4, 1);
        EXPECT_EQ(bits == 8 ? row[1] : row[0] & 0xF, 2);
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kBlue);
        EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), kWhite);
        EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), kBlue) << "entry 3 is past the new palette: kept";

        bitmap.SetPalette(palette);
        EXPECT_EQ(changes, 1) << "the same palette again changes nothing";
    }
}

TEST(Bitmap, TransparentColourRules)
{
    struct Case {
        const char* name;
        BmpSpec picture;
        std::optional<TColor> set;
        COLORREF expected;
    };
    BmpSpec mono;
    mono.bitCount = 1;
    mono.table = {Quad(kBlack), Quad(kWhite)};
    mono.rows = {{0x00}, {0x00}};  // all black, the bottom-left pixel too
    const Case cases[] = {
        {"the colour set", Square24(), clRed, kRed},
        {"a system colour set, resolved", Square24(), clBtnFace, ::GetSysColor(COLOR_BTNFACE)},
        {"none set: the bottom-left pixel", Square24(), std::nullopt, kBlue},
        {"none set, rows top-down: still the bottom-left pixel", Square24(-2), std::nullopt, kBlue},
        {"none set, palette image", Indexed(8), std::nullopt, kBlack},
        {"none set, monochrome: white", mono, std::nullopt, kWhite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap bitmap;
        Load(bitmap, c.picture);
        if (c.set)
            bitmap.SetTransparentColor(*c.set);
        EXPECT_EQ(bitmap.TransparentColor(), c.expected);
        bitmap.ResetTransparentColor();
        EXPECT_FALSE(bitmap.TransparentColorSet());
    }

    TBitmap deviceMono;
    deviceMono.SetMonochrome(true);
    deviceMono.SetSize(3, 3);
    EXPECT_EQ(deviceMono.HandleType(), TBitmapHandleType::bmDDB);
    EXPECT_EQ(deviceMono.TransparentColor(), kWhite);
}

TEST(Bitmap, DrawsPlainOrLeavingOutTheTransparentColour)
{
    for (bool transparent : {false, true}) {
        SCOPED_TRACE(transparent);
        TBitmap picture;
        Load(picture, Square24());
        picture.SetTransparentColor(clLime);
        picture.SetTransparent(transparent);
        TBitmap dest;
        Fill(dest, 4, 4, kSilver);
        dest.Canvas().RenderScaled({0, 0, 4, 4}, &picture);  // each pixel becomes 2 x 2
        EXPECT_EQ(dest.Canvas().Pixel(0, 0), kRed);
        EXPECT_EQ(dest.Canvas().Pixel(3, 1), transparent ? kSilver : kGreen);
        EXPECT_EQ(dest.Canvas().Pixel(2, 0), transparent ? kSilver : kGreen);
        EXPECT_EQ(dest.Canvas().Pixel(1, 3), kBlue);
        EXPECT_EQ(dest.Canvas().Pixel(3, 3), kWhite);
    }
}

TEST(Bitmap, ResizingKeepsThePixelsThatFitAndFillsWhite)
{
    TBitmap deep;
    Load(deep, Square24());
    deep.SetSize(3, 1);
    EXPECT_EQ(deep.Canvas().Pixel(0, 0), kRed);
    EXPECT_EQ(deep.Canvas().Pixel(1, 0), kGreen);
    EXPECT_EQ(deep.Canvas().Pixel(2, 0), kWhite);

    TBitmap indexed;
    Load(indexed, Indexed(8));
    indexed.SetWidth(4);
    const auto* row = static_cast<const uint8_t*>(indexed.ScanLine(0));
    EXPECT_EQ(row[0], 1);
    EXPECT_EQ(row[1], 2);
    EXPECT_EQ(indexed.Canvas().Pixel(3, 1), kWhite);

    TBitmap device;
    device.SetSize(2, 2);
    EXPECT_EQ(device.HandleType(), TBitmapHandleType::bmDDB);
    EXPECT_EQ(device.Canvas().Pixel(1, 1), kWhite);
    device.SetWidth(0);
    EXPECT_TRUE(device.Empty());
    EXPECT_EQ(device.Height(), 2);
}

TEST(Bitmap, PixelFormatsConvertWithTheirDefaultColours)
{
    TBitmap eight;
    eight.SetPixelFormat(TPixelFormat::pf8bit);
    eight.SetSize(2, 2);
    EXPECT_EQ(eight.HandleType(), TBitmapHandleType::bmDIB);
    ASSERT_NE(eight.Palette(), nullptr);
    EXPECT_GE(::GetPaletteEntries(eight.Palette(), 0, 0, nullptr), 16u) << "a halftone palette";

    TBitmap one;
    Load(one, Square24());
    one.SetPixelFormat(TPixelFormat::pf1bit);
    EXPECT_TRUE(one.Monochrome());

    TBitmap widened;
    Load(widened, Indexed(8));
    widened.SetPixelFormat(TPixelFormat::pf24bit);
    EXPECT_EQ(widened.Palette(), nullptr);
    EXPECT_EQ(widened.Canvas().Pixel(0, 0), kRed);
    EXPECT_EQ(widened.Canvas().Pixel(1, 1), kBlue);
}

TEST(Bitmap, RowsAreAddressedFromTheTopWithinTheImage)
{
    TBitmap bitmap;
    Load(bitmap, Square24());
    EXPECT_EQ(static_cast<const uint8_t*>(bitmap.ScanLine(0))[2], 255) << "red's red byte";
    for (int row : {-1, 2})
        EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { bitmap.ScanLine(row); }, tkconst::SScanLineRange)) << row;
    TBitmap device;
    device.SetSize(2, 2);
    device.ScanLine(1);
    EXPECT_EQ(device.HandleType(), TBitmapHandleType::bmDIB) << "made a DIB section first";
}

TEST(Bitmap, CopiesAreIndependentAndOnlyFromGraphics)
{
    TBitmap original;
    Load(original, Indexed(8));
    original.SetTransparentColor(clLime);
    original.SetTransparent(true);
    TBitmap copy;
    copy.CopyIn(&original);
    original.Canvas().SetPixel(0, 0, kBlue);
    EXPECT_EQ(copy.Canvas().Pixel(0, 0), kRed);
    EXPECT_EQ(copy.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_NE(copy.Palette(), original.Palette());
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.TransparentColor(), kGreen);

    TFont font;
    EXPECT_TRUE(FailsWith<EAssignError>([&] { copy.CopyIn(&font); }, L"TFont を TBitmap に代入することはできません"));
    EXPECT_TRUE(FailsWith<EAssignError>([&] { font.CopyIn(&copy); }, L"TBitmap を TFont に代入することはできません"));
    copy.CopyIn(nullptr);
    EXPECT_TRUE(copy.Empty());
}

TEST(Bitmap, StoredDataIsALengthAndABmpFile)
{
    TBitmap original;
    Load(original, Square24());
    TMemoryStream stored;
    original.WriteStored(stored);
    const auto* bytes = static_cast<const uint8_t*>(stored.Memory());
    const uint32_t length = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    EXPECT_EQ(length + 4, stored.Size());
    EXPECT_EQ(bytes[4], 'B');
    EXPECT_EQ(bytes[5], 'M');

    // Followed by other data, the bitmap reads only its own part.
    stored.Seek(0, soFromEnd);
    stored.WriteBuffer("trailer", 7);
    stored.SetPosition(0);
    TBitmap copy;
    copy.ReadStored(stored);
    EXPECT_EQ(stored.Position(), length + 4);
    EXPECT_EQ(copy.Canvas().Pixel(1, 1), kWhite);

    for (uint32_t bad : {0xFFFFFFFFu, length + 100}) {
        std::vector<uint8_t> data(bytes, bytes + length + 4);
        Patch(data, 0, bad, 4);
        TByteViewStream s(data.data(), data.size());
        EXPECT_TRUE(FailsWith<EReadError>([&] { copy.ReadStored(s); }, tkconst::SReadError)) << bad;
    }
    TMemoryStream empty;
    TBitmap().WriteStored(empty);
    EXPECT_EQ(empty.Size(), 4);
}
