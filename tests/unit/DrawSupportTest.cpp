// Drawing support: empty rectangles, the platform seam, palettes rebuilt with fixed ends,
// RIFF palettes, the default palette, and drawing one part of a bitmap.
#include "imaging/UDrawSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/support/GuiCounts.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

// An entry as 0xRRGGBBFF, so lists compare and print plainly.
using Entries = std::vector<uint32_t>;

uint32_t Code(const PALETTEENTRY& e)
{
    return static_cast<uint32_t>(e.peRed) << 24 | e.peGreen << 16 | e.peBlue << 8 | e.peFlags;
}

unique_hpalette MakePalette(const Entries& codes)
{
    std::vector<BYTE> buffer(4 + 4 * std::max<size_t>(codes.size(), 1));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(codes.size());
    for (size_t i = 0; i < codes.size(); ++i)
        log->palPalEntry[i] = {BYTE(codes[i] >> 24), BYTE(codes[i] >> 16), BYTE(codes[i] >> 8), BYTE(codes[i])};
    return unique_hpalette(::CreatePalette(log));
}

Entries EntriesOf(HPALETTE palette)
{
    PALETTEENTRY e[256];
    const UINT n = ::GetPaletteEntries(palette, 0, 256, e);
    Entries codes;
    for (UINT i = 0; i < n; ++i)
        codes.push_back(Code(e[i]));
    return codes;
}

Entries Slice(const Entries& all, size_t from, size_t count)
{
    return Entries(all.begin() + from, all.begin() + from + count);
}

// A RIFF palette of `count` entries (i, 2i, 3i, 0), its chunk size as declared.
std::vector<uint8_t> RiffPalette(int count)
{
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    PutLE(b, 12 + 4 + 4 * count, 4);
    for (char c : std::string("PAL data"))
        b.push_back(static_cast<uint8_t>(c));
    PutLE(b, 4 + 4 * count, 4);
    PutLE(b, 0x300, 2);
    PutLE(b, count, 2);
    for (int i = 0; i < count; ++i)
        PutLE(b, i | (2 * i & 0xFF) << 8 | (3 * i & 0xFF) << 16, 4);
    return b;
}

}  // namespace

TEST(DrawSupport, OnlyEqualSidesMakeARectangleEmpty)
{
    const struct {
        RECT r;
        bool empty;
    } cases[] = {{{5, 5, 5, 9}, true}, {{5, 5, 3, 9}, false}, {{5, 5, 9, 5}, true},
                 {{5, 9, 9, 5}, false}, {{0, 0, 0, 0}, true}, {{-3, -3, -1, -1}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(RectIsEmpty(c.r), c.empty) << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom;
}

TEST(DrawSupport, TheOtherPlatformFamilyIsReachedOnlyThroughTheOverride)
{
    EXPECT_TRUE(IsWinNT());
    {
        const TPlatformFamilyOverride other(false);
        EXPECT_FALSE(IsWinNT());
        {
            const TPlatformFamilyOverride nt(true);
            EXPECT_TRUE(IsWinNT());
        }
        EXPECT_FALSE(IsWinNT());
    }
    EXPECT_TRUE(IsWinNT());
    EXPECT_FALSE(IsPaletteDevice()) << "the usual test screen has 24 bits";
}

TEST(DrawSupport, FixPaletteKeepsBlackAndWhiteAtTheEndsAndEachColourOnce)
{
    const uint32_t black = 0x00000000, white = 0xFFFFFF00, red = 0xFF000000, green = 0x00FF0000;
    Entries sixteen, fillers;
    for (uint32_t i = 1; i <= 16; ++i)
        sixteen.push_back(i << 24 | 0x4000);
    for (uint32_t b = 1; b <= 14; ++b)
        fillers.push_back(b << 8);
    Entries keptFourteen = {black};
    keptFourteen.insert(keptFourteen.end(), sixteen.begin(), sixteen.begin() + 14);
    keptFourteen.push_back(white);
    Entries fillersBetween = {black};
    fillersBetween.insert(fillersBetween.end(), fillers.begin(), fillers.end());
    fillersBetween.push_back(white);

    const struct {
        const char* name;
        Entries in;
        int size;
        Entries out;
    } cases[] = {
        {"black and white only", {black, white}, 16, fillersBetween},
        {"16 colours, 14 fit", sixteen, 16, keptFourteen},
        {"duplicate keeps its first flags", {red | PC_NOCOLLAPSE, green, red, white}, 5,
         {black, red | PC_NOCOLLAPSE, green, 0x00000100, white}},
        {"a filler already present is skipped", {0x00000100}, 4, {black, 0x00000100, 0x00000200, white}},
    };
    for (const auto& c : cases) {
        const unique_hpalette palette = MakePalette(c.in);
        FixPalette(palette.get(), true, c.size);
        EXPECT_EQ(EntriesOf(palette.get()), c.out) << c.name;
    }
}

TEST(DrawSupport, FixPaletteSplitsTheStockColoursOverBothEnds)
{
    const Entries stock = EntriesOf(static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)));
    ASSERT_EQ(stock.size(), 20u);
    const unique_hpalette palette = MakePalette({0x12345600, stock[3], 0x65432100});
    FixPalette(palette.get(), false, 256);
    const Entries fixed = EntriesOf(palette.get());
    ASSERT_EQ(fixed.size(), 256u);
    EXPECT_EQ(Slice(fixed, 0, 10), Slice(stock, 0, 10));
    EXPECT_EQ(Slice(fixed, 246, 10), Slice(stock, 10, 10));
    EXPECT_EQ(Slice(fixed, 10, 3), (Entries{0x12345600, 0x65432100, 0x00000100}));
}

TEST(DrawSupport, TheDefaultPaletteIsMadeOnceWithStockEndsAndDeletedAtTheEnd)
{
    const HPALETTE palette = GetDefaultPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetDefaultPalette(), palette);
    const Entries entries = EntriesOf(palette), stock = EntriesOf(static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)));
    ASSERT_EQ(entries.size(), 256u);
    EXPECT_EQ(Slice(entries, 0, 10), Slice(stock, 0, 10));
    EXPECT_EQ(Slice(entries, 246, 10), Slice(stock, 10, 10));

    const long before = CountGdiObjects();
    EndDrawSupport();
    EXPECT_EQ(GetDefaultPalette(), nullptr);
    EXPECT_EQ(::GetObjectType(palette), 0u) << "deleted";
    EXPECT_EQ(CountGdiObjects(), before - 1);
    StartDrawSupport();
    EXPECT_EQ(EntriesOf(GetDefaultPalette()), entries);
}

TEST(DrawSupport, PaletteResourcesAreReadWhenPresentAndSound)
{
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const unique_hpalette palette(LoadPaletteResource(self, L"TestPalette", L"Palette"));
    EXPECT_EQ(EntriesOf(palette.get()), (Entries{0x0A141E00, 0x28323C00, 0x46505A00}));
    EXPECT_EQ(LoadPaletteResource(self, L"DefaultPalette", L"Palette"), nullptr);
    EXPECT_EQ(LoadPaletteResource(self, L"ShortPalette", L"Palette"), nullptr);
}

TEST(DrawSupport, RiffPalettesThatDoNotHoldWhatTheyDeclareAreRefused)
{
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    const struct {
        const char* name;
        int count;
        Edit edit;
        bool read;
    } cases[] = {
        {"16 entries", 16, [](auto&) {}, true},
        {"256 entries: a 1,028-byte chunk", 256, [](auto&) {}, true},
        {"another form type", 16, [](auto& b) { b[8] = 'X'; }, false},
        {"not RIFF", 16, [](auto& b) { b[0] = 'r'; }, false},
        {"chunk of 1,032 bytes", 257, [](auto&) {}, false},
        {"chunk shorter than its count needs", 16, [](auto& b) { b[22] = 17; }, false},
        {"chunk of 3 bytes", 0, [](auto& b) { b[16] = 3, b.resize(23); }, false},
        {"stream ends inside the chunk", 16, [](auto& b) { b.resize(b.size() - 1); }, false},
        {"stream ends inside the header", 16, [](auto& b) { b.resize(19); }, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = RiffPalette(c.count);
        c.edit(bytes);
        TByteViewStream stream(bytes.data(), bytes.size());
        const unique_hpalette palette(ReadPaletteStream(stream));
        EXPECT_EQ(palette.get() != nullptr, c.read) << c.name;
        if (palette) {
            const int last = c.count - 1;
            EXPECT_EQ(EntriesOf(palette.get()).back(), Code({BYTE(last), BYTE(2 * last), BYTE(3 * last), 0}));
        }
    }
}

namespace {

// Four 10 x 10 cells: red, blue on top; green, black below. It notes the mapping mode of its
// own device context when drawn, and raises when asked to.
class TCellSheet : public TBitmap {
public:
    TCellSheet()
    {
        SetPixelFormat(TPixelFormat::pf24bit);
        SetSize(20, 20);
        const struct {
            RECT cell;
            TColor color;
        } cells[] = {{{0, 0, 10, 10}, clRed}, {{10, 0, 20, 10}, clBlue}, {{0, 10, 10, 20}, clLime}, {{10, 10, 20, 20}, clBlack}};
        for (const auto& c : cells) {
            Canvas().Brush().SetColor(c.color);
            Canvas().FillRect(c.cell);
        }
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

struct Page : TBitmap {
    Page()
    {
        SetPixelFormat(TPixelFormat::pf24bit);
        SetSize(10, 10);
    }
};

}  // namespace

TEST(StretchDrawPart, EmptyRectanglesDrawNothing)
{
    TCellSheet sheet;
    const struct {
        RECT dest, src;
    } cases[] = {{{0, 0, 0, 5}, {0, 0, 10, 10}}, {{0, 0, 5, 0}, {0, 0, 10, 10}},
                 {{0, 0, 5, 5}, {10, 0, 10, 10}}, {{0, 0, 5, 5}, {0, 10, 10, 10}}};
    for (const auto& c : cases) {
        Page page;
        StretchDrawPart(page.Canvas(), c.dest, sheet, c.src);
        EXPECT_EQ(page.Canvas().Pixel(0, 0), kWhite);
        EXPECT_EQ(sheet.modeSeen, 0) << "not drawn";
    }
}

TEST(StretchDrawPart, ACellLandsExactlyOnItsRectangle)
{
    TCellSheet sheet;
    const struct {
        RECT src;
        COLORREF color;
    } cases[] = {{{0, 0, 10, 10}, kRed}, {{10, 0, 20, 10}, kBlue}, {{0, 10, 10, 20}, kGreen}, {{10, 10, 20, 20}, kBlack}};
    for (const auto& c : cases) {
        Page page;
        StretchDrawPart(page.Canvas(), {2, 3, 7, 9}, sheet, c.src);
        EXPECT_EQ(sheet.modeSeen, MM_ANISOTROPIC);
        for (POINT in : {POINT{2, 3}, POINT{6, 8}})
            EXPECT_EQ(page.Canvas().Pixel(in.x, in.y), c.color) << in.x << "," << in.y;
        for (POINT out : {POINT{1, 3}, POINT{2, 2}, POINT{7, 8}, POINT{6, 9}})
            EXPECT_EQ(page.Canvas().Pixel(out.x, out.y), kWhite) << out.x << "," << out.y;
    }
    Page page;
    StretchDrawPart(page.Canvas(), {0, 0, 10, 10}, sheet, {0, 0, 20, 20});
    EXPECT_EQ(sheet.modeSeen, MM_TEXT) << "the whole sheet is drawn plainly";
    EXPECT_EQ(page.Canvas().Pixel(9, 0), kBlue);
}

namespace {

struct Mapping {
    int mode;
    POINT origin;
    SIZE viewport, window;
    bool operator==(const Mapping& o) const
    {
        return mode == o.mode && origin.x == o.origin.x && origin.y == o.origin.y && viewport.cx == o.viewport.cx &&
               viewport.cy == o.viewport.cy && window.cx == o.window.cx && window.cy == o.window.cy;
    }
};

Mapping MappingOf(HDC dc)
{
    Mapping m{::GetMapMode(dc), {}, {}, {}};
    ::GetViewportOrgEx(dc, &m.origin);
    ::GetViewportExtEx(dc, &m.viewport);
    ::GetWindowExtEx(dc, &m.window);
    return m;
}

}  // namespace

TEST(StretchDrawPart, TheSheetsMappingComesBackAlsoWhenTheDrawRaises)
{
    for (int mode : {MM_TEXT, MM_ANISOTROPIC}) {
        const bool raise = mode == MM_ANISOTROPIC;
        TCellSheet sheet;
        sheet.raise = raise;
        HDC dc = sheet.Canvas().Handle();
        ::SetMapMode(dc, mode);
        ::SetWindowExtEx(dc, 7, 7, nullptr);
        ::SetViewportExtEx(dc, 3, 5, nullptr);
        ::SetViewportOrgEx(dc, 1, 2, nullptr);
        const Mapping before = MappingOf(dc);
        Page page;
        try {
            StretchDrawPart(page.Canvas(), {0, 0, 5, 5}, sheet, {10, 10, 20, 20});
            EXPECT_FALSE(raise);
        } catch (const EInvalidGraphic&) {
            EXPECT_TRUE(raise);
        }
        EXPECT_TRUE(MappingOf(dc) == before) << "mode " << mode;
    }
}
