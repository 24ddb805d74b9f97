// Drawing support: empty rectangles, palettes with fixed ends, RIFF palettes, the default
// palette, and drawing one cell of a bitmap.
#include "imaging/UDrawSupport.h"

#include <gtest/gtest.h>

#include "tests/support/GuiCounts.h"
#include "tests/support/PaletteBytes.h"
#include "tests/unit/ExpectError.h"

namespace {

// Entries as 0xRRGGBBFF (flags last), so lists compare and print plainly.
using Entries = std::vector<uint32_t>;

unique_hpalette MakePalette(const Entries& codes)
{
    std::vector<uint8_t> log;
    PutLE(log, 0x300, 2), PutLE(log, codes.size(), 2);
    for (uint32_t c : codes)
        PutLE(log, (c >> 24) | (c >> 8 & 0xFF00) | (c << 8 & 0xFF0000) | (c << 24), 4);
    return unique_hpalette(::CreatePalette(reinterpret_cast<const LOGPALETTE*>(log.data())));
}

Entries EntriesOf(HPALETTE palette, UINT from = 0, UINT count = 256)
{
    PALETTEENTRY e[256];
    Entries codes;
    for (UINT i = 0, n = ::GetPaletteEntries(palette, from, count, e); i < n; ++i)
        codes.push_back(uint32_t(e[i].peRed) << 24 | e[i].peGreen << 16 | e[i].peBlue << 8 | e[i].peFlags);
    return codes;
}

Entries Stock(UINT from, UINT count)
{
    return EntriesOf(static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)), from, count);
}

}  // namespace

TEST(DrawSupport, OnlyEqualSidesMakeARectangleEmpty)
{
    EXPECT_TRUE(RectIsEmpty({5, 5, 5, 9}));
    EXPECT_FALSE(RectIsEmpty({5, 5, 3, 9})) << "a negative width";
}

TEST(DrawSupport, FixPaletteKeepsEachColourOnceBetweenFixedEnds)
{
    Entries sixteen, fillers;  // (i, 0, 64) and the fillers (0, 0, i)
    for (uint32_t i = 1; i <= 16; ++i)
        sixteen.push_back(i << 24 | 0x4000), fillers.push_back(i << 8);
    const auto blackWhite = [](Entries middle) {
        middle.insert(middle.begin(), 0), middle.push_back(0xFFFFFF00);
        return middle;
    };
    const uint32_t red = 0xFF000000, lime = 0x00FF0000;
    Entries reds(256, red), afterReds;  // 300 entries: only those past the 256th bring new colours
    for (uint32_t i = 1; i <= 44; ++i)
        afterReds.push_back(i << 16 | 0x4000);
    reds.insert(reds.end(), afterReds.begin(), afterReds.end());
    Entries redThenOthers{red};
    redThenOthers.insert(redThenOthers.end(), afterReds.begin(), afterReds.begin() + 13);
    const struct {
        Entries in;
        int size;
        Entries out;
    } cases[] = {
        {blackWhite({}), 16, blackWhite({fillers.begin(), fillers.begin() + 14})},
        {sixteen, 16, blackWhite({sixteen.begin(), sixteen.begin() + 14})},
        {{red | PC_NOCOLLAPSE, lime, red}, 5, blackWhite({red | PC_NOCOLLAPSE, lime, 0x100})},
        {{0x100}, 4, blackWhite({0x100, 0x200})},
        {reds, 16, blackWhite(redThenOthers)},
    };
    for (const auto& c : cases) {
        const unique_hpalette palette = MakePalette(c.in);
        FixPalette(palette.get(), true, c.size);
        EXPECT_EQ(EntriesOf(palette.get()), c.out);
    }
    const unique_hpalette palette = MakePalette({0x12345600, Stock(3, 1)[0], 0x65432100});
    FixPalette(palette.get(), false, 256);
    EXPECT_EQ(EntriesOf(palette.get(), 0, 10), Stock(0, 10));
    EXPECT_EQ(EntriesOf(palette.get(), 10, 3), (Entries{0x12345600, 0x65432100, 0x100}));
    EXPECT_EQ(EntriesOf(palette.get(), 246, 10), Stock(10, 10));
}

TEST(DrawSupport, TheDefaultPaletteHasStockEndsAndIsDeletedAtTheEnd)
{
    const HPALETTE palette = GetDefaultPalette();
    ASSERT_EQ(GetDefaultPalette(), palette);
    EXPECT_EQ(EntriesOf(palette).size(), 256u);
    EXPECT_EQ(EntriesOf(palette, 0, 10), Stock(0, 10));
    EXPECT_EQ(EntriesOf(palette, 246, 10), Stock(10, 10));
    const long before = CountGdiObjects();
    EndDrawSupport();
    EXPECT_EQ(GetDefaultPalette(), nullptr);
    EXPECT_EQ(CountGdiObjects(), before - 1);
    StartDrawSupport();
}

TEST(DrawSupport, RiffPalettesThatDoNotHoldWhatTheyDeclareAreRefused)
{
    const std::pair<std::vector<uint8_t>, bool> cases[] = {
        {RiffPaletteBytes(16, 16), true},
        {RiffPaletteBytes(256, 256), true},  // a chunk of 1,028 bytes
        {RiffPaletteBytes(257, 257), false},
        {RiffPaletteBytes(16, 17), false},
        {With(RiffPaletteBytes(16, 16), [](auto& b) { b[8] = 'X'; }), false},
        {With(RiffPaletteBytes(16, 16), [](auto& b) { b.pop_back(); }), false},
        {With(RiffPaletteBytes(0, 0), [](auto& b) { b[16] = 3, b.pop_back(); }), false},
        {With(RiffPaletteBytes(0, 0), [](auto& b) { b.resize(19); }), false},
    };
    for (const auto& [bytes, read] : cases) {
        TByteViewStream stream(bytes.data(), bytes.size());
        const unique_hpalette palette(ReadPaletteStream(stream));
        EXPECT_EQ(EntriesOf(palette.get(), 15, 1), read ? Entries{0x0F1E2D00} : Entries{}) << bytes.size();
    }
    const unique_hpalette resource(LoadPaletteResource(::GetModuleHandleW(nullptr), L"TestPalette", L"Palette"));
    EXPECT_EQ(EntriesOf(resource.get()), (Entries{0x0A141E00, 0x28323C00, 0x46505A00}));
}

namespace {

// Four 10 x 10 cells: red, blue on top, lime, black below. It notes the mapping mode of its
// own device context when drawn, and raises when asked to.
class TCellSheet : public WhitePage {
public:
    TCellSheet() : WhitePage(20, 20)
    {
        for (auto [cell, color] : {std::pair{RECT{0, 0, 10, 10}, clRed}, {RECT{10, 0, 20, 10}, clBlue},
                                   {RECT{0, 10, 10, 20}, clLime}, {RECT{10, 10, 20, 20}, clBlack}})
            Canvas().Brush().SetColor(color), Canvas().FillRect(cell);
    }
    void Render(TCanvas& canvas, const RECT& rect) override
    {
        modeSeen = ::GetMapMode(Canvas().Handle());
        if (raise)
            throw EInvalidGraphic(L"refused");
        TBitmap::Render(canvas, rect);
    }
    int modeSeen = 0;
    bool raise = false;
};

}  // namespace

TEST(StretchDrawPart, ACellLandsExactlyOnItsRectangleAndTheSheetsMappingComesBack)
{
    const struct {
        RECT dest, src;
        COLORREF inside;
        int mode;
        bool raise;
    } cases[] = {
        {{2, 3, 7, 9}, {10, 0, 20, 10}, kBlue, MM_ANISOTROPIC, false},
        {{2, 3, 7, 9}, {0, 10, 10, 20}, kGreen, MM_ANISOTROPIC, false},
        {{2, 3, 7, 9}, {0, 10, 10, 20}, kWhite, MM_ANISOTROPIC, true},
        {{2, 3, 7, 9}, {0, 0, 20, 20}, kBlue, MM_TEXT, false},  // the whole sheet, drawn plainly
        {{2, 3, 2, 9}, {0, 0, 10, 10}, kWhite, 0, false},       // nothing is drawn for an empty rectangle
        {{2, 3, 7, 9}, {0, 10, 10, 10}, kWhite, 0, false},
    };
    for (const auto& c : cases) {
        TCellSheet sheet;
        sheet.raise = c.raise;
        const HDC dc = sheet.Canvas().Handle();
        const auto mapping = [dc] {
            POINT o{};
            SIZE v{}, w{};
            ::GetViewportOrgEx(dc, &o), ::GetViewportExtEx(dc, &v), ::GetWindowExtEx(dc, &w);
            return std::vector<long>{::GetMapMode(dc), o.x, o.y, v.cx, v.cy, w.cx, w.cy};
        };
        const std::vector<long> before = mapping();
        WhitePage page;
        const auto draw = [&] { StretchDrawPart(page.Canvas(), c.dest, sheet, c.src); };
        EXPECT_EQ(c.raise, bool(FailsWith<EInvalidGraphic>(draw, L"refused")));
        EXPECT_EQ(mapping(), before);
        EXPECT_EQ(sheet.modeSeen, c.mode);
        EXPECT_EQ(page.Canvas().Pixel(6, 3), c.inside);
        EXPECT_EQ(page.Canvas().Pixel(2, 8) == kWhite, c.inside == kWhite) << "the far corner";
        for (POINT out : {POINT{1, 3}, POINT{2, 2}, POINT{7, 8}, POINT{6, 9}})
            EXPECT_EQ(page.Canvas().Pixel(out.x, out.y), kWhite);
    }
}
