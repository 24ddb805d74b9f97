// The safety bitmap: compressed, mended and run-length files, its palette rule, the streams it
// leaves, transparent drawing on screens and printers of both families, and its registration.
#include "imaging/USafetyBitmap.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/UDrawSupport.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Picture.h"
#include "toolkit/graphics/PictureFormats.h"
#include "toolkit/graphics/Printer.h"
#include "update/UZLIB.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr COLORREF kSilver = RGB(192, 192, 192);

struct TProbe : TSafetyBitmap {
    using TSafetyBitmap::RepairFile;
};

// A "CBM" file of `file`, declaring `declared` bytes (-1: its true size).
Bytes Cbm(const Bytes& file, long long declared = -1)
{
    Bytes out{'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
    PutLE(out, static_cast<uint32_t>(declared < 0 ? static_cast<long long>(file.size()) : declared), 4);
    uLongf size = compressBound(static_cast<uLong>(file.size()));
    Bytes zlib(size);
    compress2(zlib.data(), &size, file.data(), static_cast<uLong>(file.size()), 9);
    out.insert(out.end(), zlib.begin(), zlib.begin() + static_cast<long>(size));
    return out;
}

std::vector<RGBQUAD> Ramp(int count)  // neither black nor white among them
{
    std::vector<RGBQUAD> table;
    for (int i = 0; i < count; ++i)
        table.push_back({BYTE(30 + 5 * i), BYTE(200 - 7 * i), BYTE(10 + 9 * i), 0});
    return table;
}

// A picture of 4 or 8 bits whose pixels are the given indexes, top row first.
BmpSpec Indexed(uint16_t bits, std::vector<RGBQUAD> table, const std::vector<Bytes>& pixels)
{
    BmpSpec s;
    s.bitCount = bits;
    s.width = static_cast<int32_t>(pixels[0].size());
    s.height = static_cast<int32_t>(pixels.size());
    s.table = std::move(table);
    for (const Bytes& line : pixels) {
        Bytes row = bits == 8 ? line : Bytes((line.size() + 1) / 2);
        for (size_t x = 0; bits == 4 && x < line.size(); ++x)
            row[x / 2] |= static_cast<uint8_t>(line[x] << (x % 2 ? 0 : 4));
        s.rows.push_back(row);
    }
    return s;
}

void ExpectColors(TBitmap& bitmap, const std::vector<RGBQUAD>& table, const std::vector<Bytes>& pixels)
{
    for (size_t y = 0; y < pixels.size(); ++y)
        for (size_t x = 0; x < pixels[y].size(); ++x) {
            const RGBQUAD q = table[pixels[y][x]];
            EXPECT_EQ(bitmap.Canvas().Pixel(int(x), int(y)), RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)) << x << "," << y;
        }
}

// 4 x 2 pixels of white, red, green and blue, coded bottom row first.
Bytes RunLength(uint16_t bits, const Bytes& coded)
{
    BmpSpec s;
    s.width = 4;
    s.bitCount = bits;
    s.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    s.table = {Quad(kWhite), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    s.sizeImage = static_cast<int64_t>(coded.size());
    Bytes file = BmpFile(s);
    file.insert(file.end(), coded.begin(), coded.end());
    Patch(file, 2, file.size(), 4);
    return file;
}

Bytes Patched(Bytes file, size_t offset, uint32_t value)
{
    Patch(file, offset, value, 4);
    return file;
}

// Red then blue, in every kind of pixel the mask reads its own way.
Bytes RedBlue(uint16_t bits)
{
    if (bits < 24)
        return BmpFile(Indexed(bits, {Quad(kRed), Quad(kBlue)}, {{0, 1}}));
    BmpSpec s;
    s.height = 1;
    s.bitCount = bits;
    s.rows = {Row(bits / 8, {0xFF0000, 0x0000FF})};
    return BmpFile(s);
}

void LoadTransparent(TSafetyBitmap& bitmap, const Bytes& file, COLORREF key)
{
    LoadBmp(bitmap, file);
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(key);
}

// A silver page drawn on through its own canvas, or through the printer bound to it.
struct TTarget {
    explicit TTarget(bool printer) : printer(printer)
    {
        page.Canvas().Brush().SetColor(clSilver);
        page.Canvas().FillRect({0, 0, 10, 10});
        if (printer)
            Printer().BindDC(page.Canvas().Handle());
    }
    ~TTarget()
    {
        if (!printer)
            return;
        Printer().Canvas().SetCopyMode(SRCCOPY);  // the process's printer outlives the test
        Printer().BindDC(nullptr);
    }
    TCanvas& Canvas() { return printer ? Printer().Canvas() : page.Canvas(); }
    COLORREF Pixel(int x, int y) { return page.Canvas().Pixel(x, y); }
    bool printer;
    WhitePage page;
};

}  // namespace

TEST(SafetyBitmap, ACompressedLogoLoadsToTheSamePixelsAsThePlainFile)
{
    const std::string bmp = FileContents(HostPath(LOGO_BMP)), cbm = FileContents(HostPath(LOGO_CBM));
    TSafetyBitmap plain, packed;
    LoadBmp(plain, Bytes(bmp.begin(), bmp.end()));
    LoadBmp(packed, Bytes(cbm.begin(), cbm.end()));
    ASSERT_EQ(packed.Width(), 400);
    ASSERT_EQ(packed.Height(), 360);
    ASSERT_EQ(packed.PixelFormat(), TPixelFormat::pf24bit);
    for (int y = 0; y < 360; ++y)
        ASSERT_EQ(std::memcmp(plain.ScanLine(y), packed.ScanLine(y), 1200), 0) << "row " << y;
}

TEST(SafetyBitmap, ARepairGrowsAShortTableWithBlackEntriesAndEveryPixelKeepsItsColour)
{
    const std::vector<Bytes> pixels{{0, 5, 19, 7}, {3, 3, 12, 1}};
    const Bytes file = BmpFile(Indexed(8, Ramp(20), pixels));
    TMemoryStream repaired;
    repaired.WriteBuffer(file.data(), static_cast<long long>(file.size()));
    TProbe::RepairFile(repaired, 256);
    const auto* b = static_cast<const uint8_t*>(repaired.Memory());
    ASSERT_EQ(repaired.Size(), static_cast<long long>(file.size()) + 944);
    EXPECT_EQ(Bytes(b + 34, b + 38), Bytes(4, 0)) << "image size";
    EXPECT_EQ(Bytes(b + 46, b + 50), (Bytes{0, 1, 0, 0})) << "colours used";
    EXPECT_EQ(Bytes(b + 54, b + 134), Bytes(file.begin() + 54, file.begin() + 134)) << "the file's 20 entries";
    EXPECT_EQ(Bytes(b + 134, b + 1078), Bytes(944, 0)) << "the new entries";
    EXPECT_EQ(Bytes(b + 1078, b + repaired.Size()), Bytes(file.begin() + 134, file.end())) << "the pixels, moved";
    TSafetyBitmap bitmap;
    LoadBmp(bitmap, file);
    ExpectColors(bitmap, Ramp(20), pixels);

    // A 24-bit file without an image size passes unchanged and has it worked out.
    BmpSpec rgb;
    rgb.sizeImage = 0;
    rgb.rows = {Row(3, {0xFF0000, 0x0000FF}), Row(3, {0x00FF00, 0x123456})};
    const Bytes noSize = BmpFile(rgb);
    TMemoryStream same;
    same.WriteBuffer(noSize.data(), static_cast<long long>(noSize.size()));
    TProbe::RepairFile(same, 0);
    EXPECT_EQ(Bytes(static_cast<uint8_t*>(same.Memory()), static_cast<uint8_t*>(same.Memory()) + same.Size()), noSize);
    LoadBmp(bitmap, noSize);
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), RGB(0x12, 0x34, 0x56));
}

TEST(SafetyBitmap, FourBitPalettesGetBlackFirstAndWhiteLastAndThePictureStaysTheSame)
{
    std::vector<RGBQUAD> ends = Ramp(16), middle = Ramp(16), crowded = Ramp(16);
    ends[0] = Quad(kBlack), ends[15] = Quad(kWhite);
    middle[7] = Quad(kWhite), middle[2] = Quad(kBlack);
    // No room for all sixteen beside black and white: the last two show their nearest kept colours.
    crowded[14] = crowded[3], crowded[14].rgbRed += 1;
    crowded[15] = crowded[9], crowded[15].rgbGreen += 1;
    std::vector<RGBQUAD> shown = crowded;
    shown[14] = crowded[3], shown[15] = crowded[9];
    const std::vector<Bytes> pixels{{0, 15, 7, 2}, {8, 9, 14, 15}};
    for (auto [table, colors] : {std::pair{&ends, &ends}, {&middle, &middle}, {&crowded, &shown}}) {
        TSafetyBitmap bitmap;
        LoadBmp(bitmap, BmpFile(Indexed(4, *table, pixels)));
        RGBQUAD now[16];
        ASSERT_EQ(::GetDIBColorTable(bitmap.Canvas().Handle(), 0, 16, now), 16u);
        EXPECT_EQ(RGB(now[0].rgbRed, now[0].rgbGreen, now[0].rgbBlue), kBlack);
        EXPECT_EQ(RGB(now[15].rgbRed, now[15].rgbGreen, now[15].rgbBlue), kWhite);
        EXPECT_TRUE(table != &ends || std::memcmp(now, ends.data(), sizeof now) == 0) << "already so: kept";
        ExpectColors(bitmap, *colors, pixels);
    }
}

TEST(SafetyBitmap, RunLengthFilesLoadUprightFromWhereTheStreamIsAndLeaveItAtTheEnd)
{
    // RLE8: two 1s, a 2, a 3, end of line; three 2s, a 1, end of data. RLE4: 1, 2, 1, 2; four 3s.
    const Bytes rle8 = RunLength(8, {2, 1, 1, 2, 1, 3, 0, 0, 3, 2, 1, 1, 0, 1});
    const Bytes rle4 = RunLength(4, {4, 0x12, 0, 0, 4, 0x33, 0, 1});
    const COLORREF rows[2][2][4] = {{{kGreen, kGreen, kGreen, kRed}, {kRed, kRed, kGreen, kBlue}},
                                    {{kBlue, kBlue, kBlue, kBlue}, {kRed, kGreen, kRed, kGreen}}};
    const TempFolder folder;
    for (int kind = 0; kind < 6; ++kind) {  // in memory, in a file, compressed in a file; RLE8 and RLE4
        const bool four = kind % 2;
        const Bytes coded = kind >= 4 ? Cbm(four ? rle4 : rle8) : four ? rle4 : rle8;
        const std::string file = "01234" + std::string(coded.begin(), coded.end());
        WriteFileContents(folder.File(L"rle"), file);
        TByteViewStream view(file.data(), file.size());
        TFileStream onDisk(folder.File(L"rle"), TFileMode::fmOpenRead);
        TStream& stream = kind < 2 ? static_cast<TStream&>(view) : onDisk;
        stream.SetPosition(5);
        TSafetyBitmap bitmap;
        bitmap.LoadStream(stream);
        EXPECT_EQ(stream.Position(), static_cast<long long>(file.size())) << kind;
        EXPECT_EQ(bitmap.PixelFormat(), four ? TPixelFormat::pf4bit : TPixelFormat::pf8bit);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(bitmap.Canvas().Pixel(x, y), rows[four][y][x]) << kind << ": " << x << "," << y;
    }
}

TEST(SafetyBitmap, RunLengthDataIsDecodedAsFarAsItGoesAndNoFurther)
{
    const struct {
        const char* name;
        Bytes coded;
        COLORREF bottomLeft;
        uint32_t sizeImage = 0;  // 0: the data's own size
    } cases[] = {
        {"cut after a run", {2, 1}, kRed},
        {"cut inside pixels given as they are", {1, 2, 0, 3, 1, 2}, kGreen},
        {"no end code", {1, 3, 3, 1, 0, 0, 4, 2}, kBlue},
        {"a run wider than the row", {40, 3, 0, 0, 40, 2, 0, 1}, kBlue},
        {"a move beyond the picture", {1, 3, 0, 2, 200, 200, 4, 1}, kBlue},
        {"an image size beyond the file", {1, 2}, kGreen, 1000},
        {"nothing", {}, kWhite},
    };
    for (const auto& c : cases) {
        TSafetyBitmap bitmap;
        const Bytes file = RunLength(8, c.coded);
        LoadBmp(bitmap, c.sizeImage ? Patched(file, 34, c.sizeImage) : file);
        ASSERT_EQ(bitmap.Width(), 4) << c.name;
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), c.bottomLeft) << c.name;
    }
}

TEST(SafetyBitmap, AFileThatFailsLeavesThePictureAsItWas)
{
    const Bytes shortTable = BmpFile(Indexed(8, Ramp(20), {{0, 1, 2, 3}})), rle = RunLength(8, {4, 1, 0, 1});
    const Bytes blue = BmpFile(Indexed(8, {Quad(kBlue)}, {{0}}));
    Bytes cut = Cbm(blue), flipped = Cbm(blue);
    cut.resize(cut.size() - 10);
    flipped[30] ^= 0x55;
    enum { invalid, read, corrupt };
    const struct {
        const char* name;
        Bytes file;
        int error;
    } cases[] = {
        {"pixels inside the table to mend", Patched(shortTable, 10, 133), invalid},
        {"run-length data inside the table", Patched(rle, 10, 69), invalid},
        {"run-length data beyond the file", Patched(rle, 10, 0xFFFFFFFF), invalid},
        {"inflated content short of its length", Cbm(blue, static_cast<long long>(blue.size()) + 1), read},
        {"inflated content beyond its length", Cbm(blue, static_cast<long long>(blue.size()) - 1), corrupt},
        {"compressed data cut", cut, read},
        {"compressed data corrupt", flipped, corrupt},
    };
    for (const auto& c : cases) {
        TSafetyBitmap bitmap;
        LoadBmp(bitmap, RedBlue(24));
        const auto load = [&] { LoadBmp(bitmap, c.file); };
        EXPECT_TRUE(c.error == invalid ? FailsWith<EInvalidGraphic>(load, tkconst::SInvalidBitmap)
                    : c.error == read  ? FailsWith<EReadError>(load, tkconst::SReadError)
                                       : FailsWith<ECompressionError>(load, L"error"))
            << c.name;
        EXPECT_EQ(bitmap.Width(), 2) << c.name;
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed) << c.name;
    }
}

TEST(SafetyBitmap, TheTransparentColourShowsTheBackgroundAndTheCanvasSettingsStay)
{
    const struct {
        const char* name;
        Bytes file;
        COLORREF key;   // CLR_INVALID: not transparent
        COLORREF left;  // what shows where the red pixel is
    } cases[] = {
        {"24 bits", RedBlue(24), kRed, kSilver},
        {"32 bits", RedBlue(32), kRed, kSilver},
        {"8 bits", RedBlue(8), kRed, kSilver},
        {"8 bits, the colour not in the palette", RedBlue(8), RGB(254, 0, 0), kRed},
        {"4 bits", RedBlue(4), kRed, kSilver},
        {"not transparent", RedBlue(24), CLR_INVALID, kRed},
    };
    for (const auto& c : cases)
        for (bool winNT : {true, false})
            for (bool printer : {false, true}) {
                const TPlatformFamilyOverride family(winNT);
                TSafetyBitmap bitmap;
                LoadTransparent(bitmap, c.file, c.key);
                bitmap.SetTransparent(c.key != CLR_INVALID);
                TTarget target(printer);
                TCanvas& canvas = target.Canvas();
                canvas.SetBackgroundColor(RGB(1, 2, 3));
                canvas.SetTextColor(RGB(4, 5, 6));
                bitmap.Render(canvas, {0, 0, 4, 2});
                const auto where = testing::Message() << c.name << (winNT ? ", NT" : ", other") << (printer ? ", printer" : "");
                EXPECT_EQ(target.Pixel(1, 1), c.left) << where;
                EXPECT_EQ(target.Pixel(3, 1), kBlue) << where;
                EXPECT_EQ(target.Pixel(4, 0), kSilver) << where;
                EXPECT_EQ(canvas.BackgroundColor(), RGB(1, 2, 3)) << where;
                EXPECT_EQ(canvas.TextColor(), RGB(4, 5, 6)) << where;
                EXPECT_EQ(canvas.CopyMode(), static_cast<DWORD>(SRCCOPY)) << where;
            }
}

TEST(SafetyBitmap, MaskAndImageAreBuiltOncePerChangeAndGoAlongWithCopyIn)
{
    for (bool winNT : {true, false}) {
        const TPlatformFamilyOverride family(winNT);
        TSafetyBitmap bitmap, copy;
        LoadTransparent(bitmap, RedBlue(24), kRed);
        const auto blueShows = [](TSafetyBitmap& b) {
            TTarget target(false);
            target.Canvas().RenderScaled({0, 0, 2, 1}, &b);
            return target.Pixel(0, 0) == kSilver && target.Pixel(1, 0) == kBlue;
        };
        EXPECT_TRUE(blueShows(bitmap));
        auto* pixels = static_cast<uint8_t*>(bitmap.ScanLine(0));  // blue turns red, unannounced
        pixels[3] = 0, pixels[5] = 255;
        EXPECT_TRUE(blueShows(bitmap)) << "drawn from the caches";
        copy.CopyIn(&bitmap);
        EXPECT_TRUE(blueShows(copy)) << "the caches came along";
        bitmap.NotifyChanged(&bitmap);
        EXPECT_FALSE(blueShows(bitmap)) << "rebuilt after the change";
    }
}

TEST(SafetyBitmap, TheCanvasSettingsStayWhenDrawingRaises)
{
    for (bool winNT : {true, false})
        for (bool printer : {false, true}) {
            const TPlatformFamilyOverride family(winNT);
            TSafetyBitmap bitmap;
            LoadTransparent(bitmap, RedBlue(24), kRed);
            TTarget target(printer);
            TCanvas& canvas = target.Canvas();
            canvas.SetTextColor(RGB(4, 5, 6));
            canvas.SetCopyMode(NOTSRCCOPY);
            canvas.OnChanging = [](TObject*) { throw EInvalidOperation(L"refused"); };
            // The other family's printers take device-independent pixels, past the canvas.
            bool raised = false;
            try {
                bitmap.Render(canvas, {0, 0, 4, 2});
            } catch (const EInvalidOperation&) {
                raised = true;
            }
            EXPECT_EQ(raised, winNT || !printer);
            canvas.OnChanging = nullptr;
            EXPECT_EQ(canvas.TextColor(), RGB(4, 5, 6));
            EXPECT_EQ(canvas.CopyMode(), static_cast<DWORD>(NOTSRCCOPY));
        }
}

TEST(SafetyBitmap, RegisteredForBmpAndCbmAfterTheToolkitUntilTheEndStep)
{
    // Found first, so entered after the toolkit, whose entry shows again after the end step.
    EXPECT_EQ(FindFileFormat(L"BMP")->graphicClass, &TSafetyBitmap::Class);
    EXPECT_EQ(FindFileFormat(L"BMP")->description, L"Bitmaps");
    EXPECT_EQ(FindFileFormat(L".cbm")->description, L"Compressed Bitmaps");

    TPicture picture, back, unknown;
    TSafetyBitmap bitmap;
    LoadBmp(bitmap, RedBlue(24));
    picture.SetGraphic(&bitmap);
    TMemoryStream form;
    WriteStoredForm(form, picture);
    form.SetPosition(0);
    ReadStoredForm(form, back);
    ASSERT_NE(back.Graphic(), nullptr);
    EXPECT_EQ(&back.Graphic()->ClassType(), &TSafetyBitmap::Class);
    EXPECT_EQ(static_cast<TBitmap*>(back.Graphic())->Canvas().Pixel(1, 0), kBlue);
    struct Ended {
        Ended() { EndSafetyBitmap(); }
        ~Ended() { StartSafetyBitmap(); }
    } ended;
    EXPECT_EQ(FindFileFormat(L"cbm"), nullptr);
    EXPECT_EQ(FindFileFormat(L"bmp")->graphicClass, &TBitmap::Class);
    form.SetPosition(0);
    EXPECT_THROW(ReadStoredForm(form, unknown), EReadError);
}
