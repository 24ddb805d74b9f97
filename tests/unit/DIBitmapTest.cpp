// The DIB bitmap: an empty bitmap, the shapes it reads and what it writes back, hostile
// headers, stored forms, copies, both drawing methods and the row-by-row fallback.
#include "imaging/UDIBitmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Black, red, green, blue, then greys.
std::vector<RGBQUAD> Table(int n)
{
    std::vector<RGBQUAD> table;
    for (int i = 0; i < n; ++i)
        table.push_back(i < 4 ? Quad(std::vector<COLORREF>{kBlack, kRed, kGreen, kBlue}[i])
                              : RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0});
    return table;
}

// Red, green over blue, black: indexes 1, 2 over 3, 0.
BmpSpec Indexed(uint16_t bits, int entries)
{
    BmpSpec s;
    s.bitCount = bits;
    s.table = Table(entries);
    s.rows = bits == 8 ? std::vector<Bytes>{{1, 2}, {3, 0}} : std::vector<Bytes>{{0x12}, {0x30}};
    return s;
}

BmpSpec Deep(uint16_t bits)
{
    BmpSpec s;
    s.bitCount = bits;
    s.rows = {Row(bits / 8, {0xFF0000, 0x00FF00}), Row(bits / 8, {0x0000FF, 0})};
    return s;
}

const std::vector<COLORREF> kSquare = {kRed, kGreen, kBlue, kBlack};

void Load(TDIBitmap& dib, const Bytes& file)
{
    TByteViewStream stream(file.data(), file.size());
    dib.LoadStream(stream);
}

template <typename Write>
Bytes Written(Write write)
{
    TMemoryStream stream;
    write(stream);
    const auto* p = static_cast<const uint8_t*>(stream.Memory());
    return Bytes(p, p + stream.Size());
}

// The bitmap drawn in its own size on a white page, pixels row by row from the top.
std::vector<COLORREF> Drawn(TDIBitmap& dib, int width = 2, int height = 2)
{
    WhitePage page(width, height);
    dib.Render(page.Canvas(), {0, 0, width, height});
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(page.Canvas().Pixel(x, y));
    return pixels;
}

uint32_t Le(const Bytes& b, size_t at, int n = 4)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

// Sets the class-wide drawing method for the bitmaps made while it lives.
struct DrawingMethod {
    explicit DrawingMethod(bool useDIBits) { TDIBitmap::SetDefaultUseDIBits(useDIBits); }
    ~DrawingMethod() { TDIBitmap::SetDefaultUseDIBits(previous); }
    bool previous = TDIBitmap::DefaultUseDIBits();
};

// A device that refuses every draw of more than one source row, and notes each call.
class TRefusingDIBitmap : public TDIBitmap {
public:
    std::vector<std::pair<int, int>> calls;  // destination top, source top

protected:
    bool StretchToDevice(TCanvas& dest, const RECT& d, const RECT& s) override
    {
        calls.push_back({d.top, s.top});
        return s.bottom - s.top == 1 && TDIBitmap::StretchToDevice(dest, d, s);
    }
};

}  // namespace

TEST(DIBitmap, ANewBitmapIsEmptyAndWritesNothing)
{
    TDIBitmap dib;
    EXPECT_TRUE(dib.Empty());
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(Drawn(dib), std::vector<COLORREF>(4, kWhite));
    EXPECT_TRUE(Written([&](TStream& s) { dib.SaveStream(s); }).empty());
    EXPECT_TRUE(Written([&](TStream& s) { dib.WriteDIB(s); }).empty());
    EXPECT_EQ(dib.Palette(), nullptr);
    UINT format = 0;
    HANDLE data = HANDLE(1);
    HPALETTE palette = nullptr;
    dib.SaveClipboard(format, data, palette);
    EXPECT_EQ(format, UINT(CF_DIB));
    EXPECT_EQ(data, nullptr);

    const Bytes stored = Written([&](TStream& s) { dib.WriteStored(s); });
    EXPECT_EQ(stored, Bytes(16, 0));
    TByteViewStream storedStream(stored.data(), stored.size());
    EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { TDIBitmap().ReadStored(storedStream); }, tkconst::SInvalidBitmap));
    TDIBitmap other;
    EXPECT_TRUE(FailsWith<EReadError>([&] { other.CopyIn(&dib); }, tkconst::SReadError));

    dib.SetWidth(100);
    EXPECT_EQ(dib.Width(), 100);
    EXPECT_TRUE(dib.Empty());
    try {
        dib.canvas().Handle();
        ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message().rfind(L"cannot create DIBSection(GLE=", 0), 0u) << testing::PrintToString(e.Message());
    }
}

TEST(DIBitmap, ReadsEachShapeAndWritesItBackUncompressed)
{
    struct Case {
        const char* name;
        BmpSpec spec;
        uint32_t colorsWritten;  // entries of the table written back
        uint32_t compressionWritten;
    };
    const BmpSpec rle8 = With(Indexed(8, 4), [](BmpSpec& s) {
        s.compression = BI_RLE8;  // bottom row first: blue, black; then red, green; end
        s.rows = {{1, 3, 1, 0, 0, 0, 1, 1, 1, 2, 0, 1}};
        s.height = 2;
    });
    const BmpSpec fields = With(Deep(16), [](BmpSpec& s) {
        s.compression = BI_BITFIELDS, s.writeMasks = true;
        s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F;
        s.rows = {Row(2, {0xF800, 0x07E0}), Row(2, {0x001F, 0})};
    });
    const Case cases[] = {
        {"core header, 3-byte colours", With(Indexed(4, 16), [](BmpSpec& s) { s.headerSize = 12; }), 16, BI_RGB},
        {"top-down", With(Deep(24), [](BmpSpec& s) { s.height = -2; }), 0, BI_RGB},
        {"24 bits naming 3 colours", With(Deep(24), [](BmpSpec& s) { s.table = Table(3); }), 3, BI_RGB},
        {"8-bit run lengths", rle8, 4, BI_RGB},
        {"4-bit run lengths", With(Indexed(4, 16), [](BmpSpec& s) {
             s.compression = BI_RLE4, s.rows = {{2, 0x30, 0, 0, 2, 0x12, 0, 1}}, s.height = 2;
         }), 16, BI_RGB},
        {"16-bit bit fields behind the header", fields, 0, BI_BITFIELDS},
        {"32-bit bit fields in a 124-byte header", With(Deep(32), [](BmpSpec& s) {
             s.headerSize = 124, s.compression = BI_BITFIELDS;
             s.masks[0] = 0xFF0000, s.masks[1] = 0xFF00, s.masks[2] = 0xFF;
         }), 0, BI_BITFIELDS},
        {"108-byte header", With(Indexed(8, 4), [](BmpSpec& s) { s.headerSize = 108; }), 4, BI_RGB},
        {"300 colours named, 256 kept", Indexed(8, 300), 256, BI_RGB},
        {"16 colours named for 1 bit, 2 kept", With(Indexed(1, 16), [](BmpSpec& s) {
             s.table[0] = Quad(kRed), s.table[1] = Quad(kBlue), s.rows = {{0x00}, {0x40}};
         }), 2, BI_RGB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDIBitmap dib;
        Load(dib, BmpFile(c.spec));
        const std::vector<COLORREF> shown = Drawn(dib);
        if (c.spec.bitCount != 1)
            EXPECT_EQ(shown, kSquare);
        else
            EXPECT_EQ(shown, (std::vector<COLORREF>{kRed, kRed, kRed, kBlue}));
        const Bytes saved = Written([&](TStream& s) { dib.SaveStream(s); });
        const uint32_t masks = c.compressionWritten == BI_BITFIELDS ? 3 : 0;
        EXPECT_EQ(Le(saved, 14), 40u);
        EXPECT_EQ(Le(saved, 30), c.compressionWritten);
        EXPECT_EQ(Le(saved, 10), 54 + 4 * (masks + c.colorsWritten));
        EXPECT_EQ(Le(saved, 2), saved.size());
        for (uint32_t i = 0; i < c.colorsWritten; ++i) {
            const RGBQUAD q = c.spec.table[i];
            EXPECT_EQ(Le(saved, 54 + 4 * i), uint32_t(q.rgbBlue | q.rgbGreen << 8 | q.rgbRed << 16)) << "colour " << i;
        }
        TDIBitmap again;
        Load(again, saved);
        EXPECT_EQ(Drawn(again), shown);
        EXPECT_EQ(Written([&](TStream& s) { again.SaveStream(s); }), saved);
    }
}

TEST(DIBitmap, RefusesHostileHeadersBeforeTouchingTheImage)
{
    auto patched = [](size_t offset, uint64_t value) {
        Bytes f = BmpFile(Deep(24));
        Patch(f, offset, value, 4);
        return f;
    };
    const BmpSpec fields = With(Deep(16), [](BmpSpec& s) {
        s.compression = BI_BITFIELDS, s.writeMasks = true;
        s.masks[0] = 0xF800, s.masks[1] = 0x0FF0, s.masks[2] = 0x001F;  // green overlaps the others
    });
    struct Bad {
        const char* name;
        Bytes file;
        std::wstring message;
    };
    const Bad cases[] = {
        {"no BM", patched(0, 'X'), tkconst::SInvalidBitmap},
        {"header size 11", patched(14, 11), tkconst::SInvalidBitmap},
        {"header size 64", patched(14, 64), tkconst::SInvalidBitmap},
        {"header size 0xFFFFFFFF", patched(14, 0xFFFFFFFF), tkconst::SInvalidBitmap},
        {"overlapping masks", BmpFile(fields), tkconst::SInvalidBitmap},
        {"width 32,768", patched(18, 32768), tkconst::SInvalidBitmap},
        {"height -2^31", patched(22, 0x80000000), tkconst::SInvalidBitmap},
        {"compression 65536", patched(30, 0x10000), tkconst::SRangeError},
        {"2^32 - 1 colours named", patched(46, 0xFFFFFFFF), tkconst::SReadError},
        {"cut in the header", With(BmpFile(Deep(24)), [](Bytes& f) { f.resize(30); }), tkconst::SReadError},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        TDIBitmap dib;
        Load(dib, BmpFile(Deep(24)));
        TByteViewStream stream(c.file.data(), c.file.size());
        try {
            dib.LoadStream(stream);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(Drawn(dib), kSquare);
    }
}

TEST(DIBitmap, RunLengthsNeverLandOutsideTheImage)
{
    struct Case {
        const char* name;
        uint16_t bits;
        Bytes runs;                   // bottom row first
        std::vector<COLORREF> shown;  // from the top
    };
    const COLORREF k = kBlack;
    const Case cases[] = {
        {"runs longer than the row", 8, {5, 1, 0, 0, 5, 2, 0, 1}, {kGreen, kGreen, kRed, kRed}},
        {"an absolute run longer than the row", 8, {0, 4, 1, 2, 3, 1, 0, 1}, {k, k, kRed, kGreen}},
        {"a delta beyond the top", 8, {0, 2, 0, 9, 1, 1}, {k, k, k, k}},
        {"a delta, then a run", 8, {0, 2, 1, 1, 1, 3, 0, 1}, {k, kBlue, k, k}},
        {"data ending inside an absolute run", 8, {0, 5, 3}, {k, k, kBlue, k}},
        {"data ending inside a pair", 8, {1}, {k, k, k, k}},
        {"a 4-bit run longer than the row", 4, {3, 0x12, 0, 1}, {k, k, kRed, kGreen}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpSpec spec = Indexed(c.bits, c.bits == 8 ? 4 : 16);
        spec.compression = c.bits == 8 ? BI_RLE8 : BI_RLE4;
        spec.rows = {c.runs};
        spec.sizeImage = static_cast<int64_t>(c.runs.size());
        TDIBitmap dib;
        Load(dib, BmpFile(spec));
        EXPECT_EQ(Drawn(dib), c.shown);
    }
}

TEST(DIBitmap, StoredFormsOfItsOwnAndOfTheToolkitBitmap)
{
    const Bytes file = BmpFile(Deep(24));
    TDIBitmap dib;
    Load(dib, file);
    dib.SetViewRect({-5, 1, 40, 9});  // kept as it stands, also outside the image
    const Bytes own = Written([&](TStream& s) { dib.WriteStored(s); });
    TBitmap bitmap;
    LoadBmp(bitmap, file);
    const Bytes toolkits = Written([&](TStream& s) { bitmap.WriteStored(s); });

    const std::pair<Bytes, RECT> cases[] = {{own, {-5, 1, 40, 9}}, {toolkits, {0, 0, 2, 2}}};
    for (const auto& [bytes, view] : cases) {
        TDIBitmap read;
        TByteViewStream stream(bytes.data(), bytes.size());
        read.ReadStored(stream);
        EXPECT_EQ(stream.Position(), stream.Size());
        EXPECT_TRUE(EqualRect(&read.ViewRect(), &view));
        read.SetViewRect({0, 0, 2, 2});
        EXPECT_EQ(Drawn(read), kSquare);
    }
}

TEST(DIBitmap, CopiesShowTheViewRectPartWithThePalette)
{
    TDIBitmap dib;
    Load(dib, BmpFile(Indexed(8, 4)));
    dib.SetViewRect({1, 0, 2, 2});  // the right column: green over black

    TBitmap bitmap;
    dib.CopyOut(&bitmap);
    EXPECT_EQ(bitmap.Width(), 1);
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kGreen);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), kBlack);
    ASSERT_NE(bitmap.Palette(), nullptr);
    EXPECT_NE(bitmap.Palette(), dib.Palette());
    PALETTEENTRY entries[8];
    EXPECT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 8, entries), 4u);
    EXPECT_EQ(RGB(entries[2].peRed, entries[2].peGreen, entries[2].peBlue), kGreen);

    TDIBitmap copy, fromBitmap;
    copy.CopyIn(&dib);
    EXPECT_TRUE(EqualRect(&copy.ViewRect(), &dib.ViewRect()));
    EXPECT_EQ(Drawn(copy, 1, 2), (std::vector<COLORREF>{kGreen, kBlack}));
    fromBitmap.CopyIn(&bitmap);
    EXPECT_EQ(Drawn(fromBitmap, 1, 2), (std::vector<COLORREF>{kGreen, kBlack}));
    TPersistent notAGraphic;
    EXPECT_TRUE(FailsWith<EAssignError>([&] { copy.CopyIn(&notAGraphic); }, L"TPersistent を TDIBitmap に代入することはできません"));
}

TEST(DIBitmap, BothDrawingMethodsShowTheViewRectUpright)
{
    // 4 x 4 pixels, each of its own colour; the middle 2 x 2 drawn twice as large.
    auto color = [](int x, int y) { return static_cast<COLORREF>(RGB(40 + 60 * x, 40 + 60 * y, 90)); };
    BmpSpec spec = Deep(24);
    spec.width = 4;
    spec.rows.clear();
    for (int y = 0; y < 4; ++y) {
        spec.rows.push_back({});
        for (int x = 0; x < 4; ++x)
            for (BYTE c : {GetBValue(color(x, y)), GetGValue(color(x, y)), GetRValue(color(x, y))})
                spec.rows.back().push_back(c);
    }
    spec.height = 4;
    for (bool useDIBits : {true, false})
        for (int height : {4, -4}) {
            SCOPED_TRACE(testing::Message() << "UseDIBits " << useDIBits << ", height " << height);
            const DrawingMethod method(useDIBits);
            TDIBitmap dib;
            spec.height = height;
            Load(dib, BmpFile(spec));
            EXPECT_EQ(dib.UseDIBits(), useDIBits);
            dib.SetViewRect({1, 1, 3, 3});
            const std::vector<COLORREF> shown = Drawn(dib, 4, 4);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    EXPECT_EQ(shown[y * 4 + x], color(1 + x / 2, 1 + y / 2)) << x << "," << y;
        }
}

TEST(DIBitmap, WhenTheWholeIsRefusedOnlyRowsInsideTheClipAreDrawn)
{
    for (bool useDIBits : {true, false}) {
        const DrawingMethod method(useDIBits);
        TRefusingDIBitmap dib;
        BmpSpec spec = Deep(24);
        spec.rows = {Row(3, {0xFF0000, 0xFF0000}), Row(3, {0x00FF00, 0x00FF00}), Row(3, {0x0000FF, 0x0000FF}),
                     Row(3, {0, 0})};
        spec.height = 4;
        Load(dib, BmpFile(spec));
        WhitePage page(10, 10);
        IntersectClipRect(page.Canvas().Handle(), 0, 3, 10, 6);
        dib.Render(page.Canvas(), {0, 0, 10, 10});
        // Rows 3 to 5 take source rows 1, 1 and 2 (row 6, the clip box's bottom, is not visible).
        EXPECT_EQ(dib.calls, (std::vector<std::pair<int, int>>{{0, 0}, {3, 1}, {4, 1}, {5, 2}}));
        SelectClipRgn(page.Canvas().Handle(), nullptr);
        for (auto [y, color] : {std::pair{2, kWhite}, {3, kGreen}, {5, kBlue}, {6, kWhite}})
            EXPECT_EQ(page.Canvas().Pixel(5, y), color) << "row " << y << ", UseDIBits " << useDIBits;
    }
}

TEST(DIBitmap, TheStartUpStepChoseBlittingOnTheNTFamily)
{
    EXPECT_FALSE(TDIBitmap::DefaultUseDIBits());
    EXPECT_FALSE(TDIBitmap().UseDIBits());
}
