// The DIB bitmap: an empty bitmap, the shapes it reads and what it writes back, hostile
// input, stored forms, copies, both drawing methods, the row fallback and the start-up step.
#include "imaging/UDIBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/UDrawSupport.h"
#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Red, green over blue, black: indexes 1, 2 over 3, 0 of a table of black, red, green, blue,
// then grey.
BmpSpec Indexed(uint16_t bits, int entries)
{
    BmpSpec s;
    s.bitCount = bits;
    s.table.assign(static_cast<size_t>(entries), RGBQUAD{128, 128, 128, 0});
    for (int i = 0; i < entries && i < 4; ++i)
        s.table[i] = Quad(std::vector<COLORREF>{kBlack, kRed, kGreen, kBlue}[i]);
    s.rows = bits == 8 ? std::vector<Bytes>{{1, 2}, {3, 0}} : std::vector<Bytes>{{0x12}, {0x30}};
    return s;
}

// Run lengths of 2 x 2 pixels, bottom row first, of the indexed picture's table.
BmpSpec Runs(uint16_t bits, Bytes runs)
{
    return With(Indexed(bits, bits == 8 ? 4 : 16), [&](BmpSpec& s) {
        s.compression = bits == 8 ? BI_RLE8 : BI_RLE4, s.rows = {runs}, s.sizeImage = static_cast<int64_t>(runs.size());
    });
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
    for (int i = 0; i < width * height; ++i)
        pixels.push_back(page.Canvas().Pixel(i % width, i / width));
    return pixels;
}

uint32_t Le32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Bitmaps made while it lives draw by the given method.
struct DrawingMethod {
    explicit DrawingMethod(bool useDIBits) { TDIBitmap::SetDefaultUseDIBits(useDIBits); }
    ~DrawingMethod() { TDIBitmap::SetDefaultUseDIBits(previous); }
    bool previous = TDIBitmap::DefaultUseDIBits();
};

// Notes each draw; while `refuse` is set, the device refuses every draw of more than one row.
class TRefusingDIBitmap : public TDIBitmap {
public:
    bool refuse = false;
    std::vector<std::pair<int, int>> calls;  // destination top, source top

protected:
    bool StretchToDevice(TCanvas& dest, const RECT& d, const RECT& s) override
    {
        calls.push_back({d.top, s.top});
        return (!refuse || s.bottom - s.top == 1) && TDIBitmap::StretchToDevice(dest, d, s);
    }
};

}  // namespace

TEST(DIBitmap, ANewBitmapIsEmptyAndWritesNothing)
{
    TDIBitmap dib;
    EXPECT_TRUE(dib.Empty());
    EXPECT_EQ(dib.Width() | dib.Height(), 0);
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
    for (UINT other : {UINT(CF_BITMAP), UINT(CF_DIB)})  // another format, or no data
        EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { dib.LoadClipboard(other, other == CF_DIB ? nullptr : HANDLE(&dib), nullptr); },
                                               tkconst::SUnsupportedClipboard));

    const Bytes stored = Written([&](TStream& s) { dib.WriteStored(s); });
    EXPECT_EQ(stored, Bytes(16, 0));
    TByteViewStream storedStream(stored.data(), stored.size());
    EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { TDIBitmap().ReadStored(storedStream); }, tkconst::SInvalidBitmap));
    EXPECT_TRUE(FailsWith<EReadError>([&] { TDIBitmap().CopyIn(&dib); }, tkconst::SReadError));

    dib.SetWidth(100);
    EXPECT_EQ(dib.Width(), 100);
    EXPECT_TRUE(dib.Empty());
    try {
        dib.canvas().Handle();
        ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message().rfind(L"cannot create DIBSection(GLE=", 0), 0u);
    }
}

TEST(DIBitmap, ReadsEachShapeAndWritesItBackUncompressed)
{
    struct Case {
        const char* name;
        BmpSpec form;
        uint32_t colorsWritten;
        uint32_t compressionWritten;
        std::vector<COLORREF> shown = kSquare;
    };
    const COLORREF k = kBlack;
    const Case cases[] = {
        {"core header, 3-byte colours", With(Indexed(4, 16), [](BmpSpec& s) { s.headerSize = 12; }), 16, BI_RGB},
        {"top-down", With(Deep(24), [](BmpSpec& s) { s.height = -2; }), 0, BI_RGB},
        {"24 bits naming 3 colours", With(Deep(24), [](BmpSpec& s) { s.table = Indexed(8, 3).table; }), 3, BI_RGB},
        {"8-bit run lengths", Runs(8, {1, 3, 1, 0, 0, 0, 1, 1, 1, 2, 0, 1}), 4, BI_RGB},
        {"4-bit run lengths", Runs(4, {2, 0x30, 0, 0, 2, 0x12, 0, 1}), 16, BI_RGB},
        // Hostile runs land inside the image or nowhere.
        {"runs longer than the row", Runs(8, {5, 1, 0, 0, 5, 2, 0, 1}), 4, BI_RGB, {kGreen, kGreen, kRed, kRed}},
        {"an absolute run longer than the row", Runs(8, {0, 4, 1, 2, 3, 1, 0, 1}), 4, BI_RGB, {k, k, kRed, kGreen}},
        {"a delta, then a run", Runs(8, {0, 2, 1, 1, 1, 3, 0, 1}), 4, BI_RGB, {k, kBlue, k, k}},
        {"data ending inside an absolute run", Runs(8, {0, 5, 3}), 4, BI_RGB, {k, k, kBlue, k}},
        {"a 4-bit run longer than the row", Runs(4, {3, 0x12, 0, 1}), 16, BI_RGB, {k, k, kRed, kGreen}},
        {"16-bit bit fields behind the header", With(Deep(16), [](BmpSpec& s) {
             s.compression = BI_BITFIELDS, s.writeMasks = true;
             s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F;
             s.rows = {Row(2, {0xF800, 0x07E0}), Row(2, {0x001F, 0})};
         }), 0, BI_BITFIELDS},
        {"32-bit bit fields in a 124-byte header", With(Deep(32), [](BmpSpec& s) {
             s.headerSize = 124, s.compression = BI_BITFIELDS;
             s.masks[0] = 0xFF0000, s.masks[1] = 0xFF00, s.masks[2] = 0xFF;
         }), 0, BI_BITFIELDS},
        {"300 colours named, 256 kept", Indexed(8, 300), 256, BI_RGB},
        {"16 colours named for 1 bit, 2 kept", With(Indexed(1, 16), [](BmpSpec& s) {
             s.table[0] = Quad(kBlue), s.table[1] = Quad(kGreen), s.rows = {{0x80}, {0x40}};
         }), 2, BI_RGB, {kGreen, kBlue, kBlue, kGreen}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDIBitmap dib;
        Load(dib, BmpFile(c.form));
        const std::vector<COLORREF> shown = Drawn(dib);
        EXPECT_EQ(shown, c.shown);
        const Bytes saved = Written([&](TStream& s) { dib.SaveStream(s); });
        const uint32_t masks = c.compressionWritten == BI_BITFIELDS ? 3 : 0;
        EXPECT_EQ(Le32(saved, 14), 40u);
        EXPECT_EQ(Le32(saved, 30), c.compressionWritten);
        EXPECT_EQ(Le32(saved, 10), 54 + 4 * (masks + c.colorsWritten));
        EXPECT_EQ(Le32(saved, 2), saved.size());
        for (uint32_t i = 0; i < c.colorsWritten; ++i)
            EXPECT_EQ(std::memcmp(&saved[54 + 4 * i], &c.form.table[i], 4), 0) << "colour " << i;
        TDIBitmap again;
        Load(again, saved);
        EXPECT_EQ(Drawn(again), shown);
        EXPECT_EQ(Written([&](TStream& s) { again.SaveStream(s); }), saved);
    }
}

TEST(DIBitmap, RefusesHostileHeadersBeforeTouchingTheImage)
{
    auto patched = [](size_t offset, uint32_t value) { return With(BmpFile(Deep(24)), [&](Bytes& f) { Patch(f, offset, value, 4); }); };
    const std::pair<Bytes, std::wstring> cases[] = {
        {patched(14, 11), tkconst::SInvalidBitmap},          // header sizes
        {patched(14, 64), tkconst::SInvalidBitmap},
        {patched(22, 0x80000000), tkconst::SInvalidBitmap},  // pixels beyond 2 GB
        {BmpFile(With(Deep(16), [](BmpSpec& s) {             // overlapping masks
             s.compression = BI_BITFIELDS, s.writeMasks = true, s.masks[0] = 0xF800, s.masks[1] = 0x0FF0, s.masks[2] = 0x1F;
         })), tkconst::SInvalidBitmap},
        {patched(30, 0x10000), tkconst::SRangeError},        // compression beyond 16 bits
        {patched(46, 0xFFFFFFFF), tkconst::SReadError},      // colours beyond the data
        {With(BmpFile(Deep(24)), [](Bytes& f) { f.resize(30); }), tkconst::SReadError},
    };
    for (const auto& [file, message] : cases) {
        SCOPED_TRACE(testing::PrintToString(message));
        TDIBitmap dib;
        Load(dib, BmpFile(Deep(24)));
        try {
            Load(dib, file);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_EQ(Drawn(dib), kSquare);
    }
}

TEST(DIBitmap, SidesUpToTheDeviceCoordinatesLoadWithinTheCapOnPixelBytes)
{
    // One row of `width` pixels with its first and last pixels red and blue, `height` times.
    auto strip = [](int32_t width, int32_t height, uint16_t bits, uint32_t headerSize) {
        BmpSpec s;
        s.headerSize = headerSize, s.width = width, s.height = height, s.bitCount = bits;
        Bytes row(static_cast<size_t>((static_cast<int64_t>(width) * bits + 7) / 8), 0);
        if (bits == 24) {
            row[2] = 0xFF, row[row.size() - 3] = 0xFF;
        } else {
            s.table = {Quad(kBlack), Quad(kWhite)};
            row.front() = 0x80, row.back() = 0x02;  // pixels 0 and 65,534
        }
        s.rows.assign(static_cast<size_t>(std::abs(height)), row);
        return s;
    };
    const struct {
        const char* name;
        Bytes file;
        std::wstring result;  // the size loaded, or the start of the error's message
    } cases[] = {
        {"40,000 x 2, 24 bits", BmpFile(strip(40000, 2, 24, 40)), L"40000 x 2"},
        {"2 x 40,000, 24 bits, top-down", BmpFile(strip(2, -40000, 24, 40)), L"2 x 40000"},
        {"core header 65,535 x 1, 1 bit", BmpFile(strip(65535, 1, 1, 12)), L"65535 x 1"},
        {"a negative width", With(BmpFile(strip(2, 2, 24, 40)), [](Bytes& f) { Patch(f, 18, 0xFFFFFFFE, 4); }),
         L"cannot create DIBSection(GLE="},
        {"a width of 2^27, beyond the device coordinates",
         With(BmpFile(strip(2, 2, 24, 40)), [](Bytes& f) { Patch(f, 18, 1u << 27, 4), Patch(f, 28, 1, 2); }),
         tkconst::SInvalidBitmap},
        {"pixels beyond 2 GB", With(BmpFile(strip(40000, 2, 24, 40)), [](Bytes& f) { Patch(f, 22, 20000, 4); }),
         tkconst::SInvalidBitmap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TDIBitmap dib;
        std::wstring result;
        try {
            Load(dib, c.file);
            result = std::to_wstring(dib.Width()) + L" x " + std::to_wstring(dib.Height());
            const Bytes saved = Written([&](TStream& s) { dib.SaveStream(s); });
            const size_t pixels = Le32(c.file, 10), savedPixels = Le32(saved, 10);
            EXPECT_TRUE(std::equal(c.file.begin() + pixels, c.file.end(), saved.begin() + savedPixels, saved.end()))
                << "the pixels written back";
        } catch (const Exception& e) {
            result = e.Message().substr(0, c.result.size());
        }
        EXPECT_EQ(result, c.result);
    }
}

TEST(DIBitmap, ImportantColoursSurviveTheRoundTripWithinTheTableKept)
{
    auto important = [](BmpSpec form, uint32_t count) {
        return With(BmpFile(form), [&](Bytes& f) { Patch(f, 50, count, 4); });
    };
    const struct {
        const char* name;
        Bytes file;
        uint32_t colorsUsed, important;  // as written back
    } cases[] = {
        {"a full table", important(With(Indexed(8, 256), [](BmpSpec& s) { s.colorsUsed = 0; }), 7), 0, 7},
        {"4 colours named", important(Indexed(8, 4), 7), 4, 4},
        {"300 colours named, 256 kept", important(Indexed(8, 300), 280), 256, 256},
        {"no table", important(Deep(24), 7), 0, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TDIBitmap dib;
        Load(dib, c.file);
        const Bytes saved = Written([&](TStream& s) { dib.SaveStream(s); });
        EXPECT_EQ(Le32(saved, 46), c.colorsUsed);
        EXPECT_EQ(Le32(saved, 50), c.important);
    }
}

TEST(DIBitmap, StoredFormsAndCopiesKeepTheViewRectOrShowIt)
{
    TDIBitmap dib;
    Load(dib, BmpFile(Indexed(8, 4)));
    TBitmap toolkits;
    LoadBmp(toolkits, BmpFile(Indexed(8, 4)));
    dib.SetViewRect({-5, 1, 40, 9});  // a stored one is kept as it stands, also outside the image
    const std::pair<Bytes, RECT> stored[] = {{Written([&](TStream& s) { dib.WriteStored(s); }), {-5, 1, 40, 9}},
                                             {Written([&](TStream& s) { toolkits.WriteStored(s); }), {0, 0, 2, 2}}};
    for (const auto& [bytes, view] : stored) {
        TDIBitmap read;
        TByteViewStream stream(bytes.data(), bytes.size());
        read.ReadStored(stream);
        EXPECT_EQ(stream.Position(), stream.Size());
        EXPECT_TRUE(EqualRect(&read.ViewRect(), &view));
        read.SetViewRect({0, 0, 2, 2});
        EXPECT_EQ(Drawn(read), kSquare);
    }

    dib.SetViewRect({1, 0, 2, 2});  // the right column: green over black
    TBitmap bitmap;
    dib.CopyOut(&bitmap);
    EXPECT_EQ(bitmap.Width() * 10 + bitmap.Height(), 12);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kGreen);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), kBlack);
    PALETTEENTRY entries[8];
    ASSERT_NE(bitmap.Palette(), dib.Palette());
    EXPECT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 8, entries), 4u);
    EXPECT_EQ(RGB(entries[2].peRed, entries[2].peGreen, entries[2].peBlue), kGreen);
    TDIBitmap copy, fromBitmap;
    copy.CopyIn(&dib);
    EXPECT_TRUE(EqualRect(&copy.ViewRect(), &dib.ViewRect()));
    fromBitmap.CopyIn(&bitmap);
    for (TDIBitmap* d : {&copy, &fromBitmap})
        EXPECT_EQ(Drawn(*d, 1, 2), (std::vector<COLORREF>{kGreen, kBlack}));
}

TEST(DIBitmap, BothDrawingMethodsShowTheViewRectUprightAndFallBackToRowsInsideTheClip)
{
    // 4 x 4 pixels, each of its own colour.
    auto color = [](int x, int y) { return static_cast<COLORREF>(RGB(40 + 60 * x, 40 + 60 * y, 90)); };
    BmpSpec form = Deep(24);
    form.width = 4;
    form.rows.assign(4, {});
    for (int i = 0; i < 16; ++i)
        for (BYTE c : {GetBValue(color(i % 4, i / 4)), GetGValue(color(i % 4, i / 4)), GetRValue(color(i % 4, i / 4))})
            form.rows[i / 4].push_back(c);
    for (bool useDIBits : {true, false})
        for (int height : {4, -4}) {
            SCOPED_TRACE(testing::Message() << "UseDIBits " << useDIBits << ", height " << height);
            const DrawingMethod method(useDIBits);
            form.height = height;
            TRefusingDIBitmap dib;
            Load(dib, BmpFile(form));
            dib.SetViewRect({1, 1, 3, 3});  // the middle, drawn twice as large in one call
            const std::vector<COLORREF> shown = Drawn(dib, 4, 4);
            for (int i = 0; i < 16; ++i)
                EXPECT_EQ(shown[i], color(1 + i % 4 / 2, 1 + i / 4 / 2)) << i;
            EXPECT_EQ(dib.calls.size(), 1u);

            // Of 10 rows, those inside the clip box (3 to 5; 6 is its bottom and not visible)
            // take source rows 1, 1 and 2.
            dib.SetViewRect({0, 0, 4, 4});
            dib.calls.clear();
            dib.refuse = true;
            WhitePage page(10, 10);
            IntersectClipRect(page.Canvas().Handle(), 0, 3, 10, 6);
            dib.Render(page.Canvas(), {0, 0, 10, 10});
            EXPECT_EQ(dib.calls, (std::vector<std::pair<int, int>>{{0, 0}, {3, 1}, {4, 1}, {5, 2}}));
            SelectClipRgn(page.Canvas().Handle(), nullptr);
            for (auto [y, row] : {std::pair{2, -1}, {3, 1}, {5, 2}, {6, -1}})
                EXPECT_EQ(page.Canvas().Pixel(0, y), row < 0 ? kWhite : color(0, row)) << "row " << y;
        }
}

TEST(DIBitmap, TheStartUpStepChoosesBlittingOnTheNTFamilyOnly)
{
    EXPECT_FALSE(TDIBitmap().UseDIBits()) << "the program's start-up ran the step";
    const DrawingMethod restore(false);
    for (bool winNT : {false, true}) {
        const TPlatformFamilyOverride family(winNT);
        StartDIBitmap();
        EXPECT_EQ(TDIBitmap().UseDIBits(), !winNT);
    }
}
