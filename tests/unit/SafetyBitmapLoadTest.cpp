// The safety bitmap's loading: compressed files, header repairs, run-length files, the palette
// rule and where the stream is left.
#include "imaging/USafetyBitmap.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/support/BmpBytes.h"
#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"
#include "update/UZLIB.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TProbe : TSafetyBitmap {
    using TSafetyBitmap::NeedsRepair;
    using TSafetyBitmap::RepairFile;
};

// A "CBM" file: the container around `file`, declaring `declared` bytes (-1: the true size).
Bytes Cbm(const Bytes& file, long long declared = -1)
{
    Bytes out{'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
    PutLE(out, static_cast<uint32_t>(declared < 0 ? file.size() : declared), 4);
    uLongf size = compressBound(static_cast<uLong>(file.size()));
    Bytes zlib(size);
    compress2(zlib.data(), &size, file.data(), static_cast<uLong>(file.size()), 9);
    out.insert(out.end(), zlib.begin(), zlib.begin() + static_cast<long>(size));
    return out;
}

// A stream that is not in memory as the loader sees it; reading from `failAt` on raises.
class TPlainStream : public TStream {
public:
    explicit TPlainStream(Bytes bytes, long long failAt = -1) : bytes_(std::move(bytes)), failAt_(failAt) {}

protected:
    long long FetchBytes(void* buffer, long long count) override
    {
        if (failAt_ >= 0 && position_ + count > failAt_)
            throw EReadError(tkconst::SReadError);
        count = std::max(0LL, std::min<long long>(count, static_cast<long long>(bytes_.size()) - position_));
        std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(count));
        position_ += count;
        return count;
    }
    long long StoreBytes(const void*, long long) override { return 0; }
    long long MovePosition(long long offset, TSeekOrigin origin) override
    {
        position_ = offset + (origin == soFromCurrent ? position_ : origin == soFromEnd ? static_cast<long long>(bytes_.size()) : 0);
        return position_;
    }

private:
    Bytes bytes_;
    long long failAt_;
    long long position_ = 0;
};

Bytes Prefixed(size_t junk, const Bytes& file)
{
    Bytes out(junk, 0xEE);
    out.insert(out.end(), file.begin(), file.end());
    return out;
}

RGBQUAD Color(int r, int g, int b)
{
    return {BYTE(b), BYTE(g), BYTE(r), 0};
}

COLORREF Ref(const RGBQUAD& q)
{
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// A 4 x 2 picture of `bits` bits per pixel whose pixels are the given indexes (top row first).
BmpSpec Indexed(uint16_t bits, std::vector<RGBQUAD> table, std::vector<std::vector<int>> pixels)
{
    BmpSpec s;
    s.bitCount = bits;
    s.width = static_cast<int32_t>(pixels[0].size());
    s.height = static_cast<int32_t>(pixels.size());
    s.table = std::move(table);
    for (const auto& line : pixels) {
        std::vector<uint8_t> row;
        for (size_t x = 0; x < line.size(); ++x)
            if (bits == 8)
                row.push_back(static_cast<uint8_t>(line[x]));
            else if (x % 2 == 0)
                row.push_back(static_cast<uint8_t>(line[x] << 4));
            else
                row.back() |= static_cast<uint8_t>(line[x]);
        s.rows.push_back(row);
    }
    return s;
}

// Every pixel shows the colour its index had in the file.
void ExpectColors(TBitmap& bitmap, const BmpSpec& s, const std::vector<std::vector<int>>& pixels)
{
    for (size_t y = 0; y < pixels.size(); ++y)
        for (size_t x = 0; x < pixels[y].size(); ++x)
            EXPECT_EQ(bitmap.Canvas().Pixel(int(x), int(y)), Ref(s.table[pixels[y][x]])) << x << "," << y;
}

std::vector<RGBQUAD> Ramp(int count)  // no black, no white
{
    std::vector<RGBQUAD> table;
    for (int i = 0; i < count; ++i)
        table.push_back(Color(10 + 9 * i, 200 - 7 * i, 30 + 5 * i));
    return table;
}

Bytes RunLengthFile(uint16_t bits, std::vector<RGBQUAD> table, const Bytes& coded)
{
    BmpSpec s;
    s.width = 4;
    s.height = 2;
    s.bitCount = bits;
    s.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    s.table = std::move(table);
    s.sizeImage = static_cast<int64_t>(coded.size());
    Bytes file = BmpFile(s);
    file.insert(file.end(), coded.begin(), coded.end());
    Patch(file, 2, file.size(), 4);
    return file;
}

}  // namespace

TEST(SafetyBitmapLoad, ACompressedLogoLoadsToTheSamePixelsAsThePlainFile)
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

TEST(SafetyBitmapLoad, FaultyHeadersAreFoundAndOnlyThose)
{
    const BmpSpec rgb = With(BmpSpec{}, [](BmpSpec& s) { s.rows = {Row(3, {0xFF0000, 0x0000FF}), Row(3, {1, 2})}; });
    const BmpSpec shortTable = Indexed(8, Ramp(20), {{0, 5, 19, 7}, {3, 3, 12, 1}});
    const Bytes rle = RunLengthFile(8, Ramp(20), {4, 1, 0, 0, 4, 2, 0, 1});
    const Bytes cut = BmpFile(shortTable);
    const struct {
        const char* name;
        Bytes file;
        bool repair;
        uint32_t count;
    } cases[] = {
        {"sound 24 bits", BmpFile(rgb), false, 0},
        {"image size 0", BmpFile(With(rgb, [](BmpSpec& s) { s.sizeImage = 0; })), true, 0},
        {"image size wrong", BmpFile(With(rgb, [](BmpSpec& s) { s.sizeImage = 15; })), true, 0},
        {"20 of 256 colours", BmpFile(shortTable), true, 256},
        {"full table", BmpFile(Indexed(8, Ramp(256), {{0, 1, 2, 3}})), false, 256},
        {"20 colours, run-length", rle, false, 20},
        {"core header", BmpFile(With(rgb, [](BmpSpec& s) { s.headerSize = 12; })), false, 0},
        {"cut in the info header", Bytes(cut.begin(), cut.begin() + 53), false, 0},
    };
    for (const auto& c : cases) {
        const Bytes file = Prefixed(3, c.file);
        TByteViewStream stream(file.data(), file.size());
        stream.SetPosition(3);
        uint32_t count = 0;
        EXPECT_EQ(TProbe::NeedsRepair(stream, count), c.repair) << c.name;
        EXPECT_EQ(stream.Position(), 3) << c.name;
        if (c.repair)
            EXPECT_EQ(count, c.count) << c.name;
    }
}

TEST(SafetyBitmapLoad, AShortTableGrowsWithBlackEntriesAndEveryPixelKeepsItsColour)
{
    const std::vector<std::vector<int>> pixels{{0, 5, 19, 7}, {3, 3, 12, 1}};
    const BmpSpec spec = Indexed(8, Ramp(20), pixels);
    const Bytes file = BmpFile(spec);
    TMemoryStream repaired;
    repaired.WriteBuffer(file.data(), static_cast<long long>(file.size()));
    TProbe::RepairFile(repaired, 256);
    const auto* bytes = static_cast<const uint8_t*>(repaired.Memory());
    ASSERT_EQ(repaired.Size(), static_cast<long long>(file.size()) + 944);
    EXPECT_EQ(bytes[46] | bytes[47] << 8, 256);
    EXPECT_EQ(bytes[34] | bytes[35] << 8 | bytes[36] << 16 | bytes[37] << 24, 0);
    EXPECT_EQ(std::memcmp(bytes + 54, file.data() + 54, 80), 0) << "the file's 20 entries";
    EXPECT_EQ(Bytes(bytes + 134, bytes + 1078), Bytes(944, 0)) << "the new entries";
    EXPECT_EQ(std::memcmp(bytes + 1078, file.data() + 134, file.size() - 134), 0) << "the pixels, 944 bytes on";

    TSafetyBitmap bitmap;
    LoadBmp(bitmap, file);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
    ExpectColors(bitmap, spec, pixels);

    // A 24-bit file without an image size only has it worked out.
    const BmpSpec rgb = With(BmpSpec{}, [](BmpSpec& s) {
        s.rows = {Row(3, {0xFF0000, 0x0000FF}), Row(3, {0x00FF00, 0x123456})};
        s.sizeImage = 0;
    });
    const Bytes noSize = BmpFile(rgb);
    TMemoryStream same;
    same.WriteBuffer(noSize.data(), static_cast<long long>(noSize.size()));
    TProbe::RepairFile(same, 0);
    EXPECT_EQ(Bytes(static_cast<uint8_t*>(same.Memory()), static_cast<uint8_t*>(same.Memory()) + same.Size()), noSize);
    LoadBmp(bitmap, noSize);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed);
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), RGB(0x12, 0x34, 0x56));
}

TEST(SafetyBitmapLoad, FourBitPalettesGetBlackFirstAndWhiteLastWithoutChangingThePicture)
{
    std::vector<RGBQUAD> ends = Ramp(16), middle = Ramp(16), crowded = Ramp(16);
    ends[0] = Quad(kBlack), ends[15] = Quad(kWhite);
    middle[7] = Quad(kWhite), middle[2] = Quad(kBlack);
    // No room for all 16 beside black and white: the last two go to their nearest kept colours.
    crowded[14] = Color(crowded[3].rgbRed + 1, crowded[3].rgbGreen, crowded[3].rgbBlue);
    crowded[15] = Color(crowded[9].rgbRed, crowded[9].rgbGreen + 1, crowded[9].rgbBlue);
    const std::vector<std::vector<int>> pixels{{0, 15, 7, 2}, {8, 9, 14, 15}};
    for (const auto* table : {&ends, &middle, &crowded}) {
        const BmpSpec spec = Indexed(4, *table, pixels);
        TSafetyBitmap bitmap;
        LoadBmp(bitmap, BmpFile(spec));
        RGBQUAD now[16];
        ASSERT_EQ(::GetDIBColorTable(bitmap.Canvas().Handle(), 0, 16, now), 16u);
        if (table == &ends)
            EXPECT_EQ(std::memcmp(now, ends.data(), sizeof now), 0) << "kept as it was";
        EXPECT_EQ(Ref(now[0]), kBlack);
        EXPECT_EQ(Ref(now[15]), kWhite);
        if (table != &crowded) {
            ExpectColors(bitmap, spec, pixels);
            continue;
        }
        BmpSpec nearest = spec;
        nearest.table[14] = crowded[3], nearest.table[15] = crowded[9];
        ExpectColors(bitmap, nearest, pixels);
    }
}

TEST(SafetyBitmapLoad, RunLengthFilesLoadUprightFromWhereTheStreamIs)
{
    std::vector<RGBQUAD> table{Quad(kWhite), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    // Bottom row first. RLE8: a run of two 1s, 2, 3 (single runs), end of line; three 2s, a 1,
    // end of data. RLE4: four pixels alternating 1 and 2; four 3s.
    const Bytes rle8 = RunLengthFile(8, table, {2, 1, 1, 2, 1, 3, 0, 0, 3, 2, 1, 1, 0, 1});
    const Bytes rle4 = RunLengthFile(4, table, {4, 0x12, 0, 0, 4, 0x33, 0, 1});
    const COLORREF rows8[2][4] = {{kGreen, kGreen, kGreen, kRed}, {kRed, kRed, kGreen, kBlue}};
    const COLORREF rows4[2][4] = {{kBlue, kBlue, kBlue, kBlue}, {kRed, kGreen, kRed, kGreen}};
    for (int kind = 0; kind < 6; ++kind) {
        const bool four = kind % 2;
        const Bytes file = Prefixed(5, kind >= 4 ? Cbm(four ? rle4 : rle8) : four ? rle4 : rle8);
        std::unique_ptr<TStream> stream;
        if (kind < 2)
            stream = std::make_unique<TByteViewStream>(file.data(), file.size());
        else
            stream = std::make_unique<TPlainStream>(file);
        stream->SetPosition(5);
        TSafetyBitmap bitmap;
        bitmap.LoadStream(*stream);
        EXPECT_EQ(stream->Position(), static_cast<long long>(file.size())) << kind;
        ASSERT_EQ(bitmap.Width(), 4);
        ASSERT_EQ(bitmap.Height(), 2);
        EXPECT_EQ(bitmap.PixelFormat(), four ? TPixelFormat::pf4bit : TPixelFormat::pf8bit);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(bitmap.Canvas().Pixel(x, y), (four ? rows4 : rows8)[y][x]) << kind << ": " << x << "," << y;
    }
}

TEST(SafetyBitmapLoad, RunLengthDataIsDecodedAsFarAsItGoesAndNoFurther)
{
    const std::vector<RGBQUAD> table{Quad(kWhite), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    const struct {
        const char* name;
        Bytes coded;
        COLORREF bottomLeft;
        uint32_t sizeImage = 0;  // 0: the data's own size
    } cases[] = {
        {"cut after one run", {2, 1}, kRed},
        {"cut inside a run", {2, 1, 3}, kRed},
        {"cut inside literal pixels", {1, 2, 0, 3, 1, 2}, kGreen},
        {"no end code", {1, 3, 3, 1, 0, 0, 4, 2}, kBlue},
        {"a run wider than the row", {40, 3, 0, 0, 40, 2, 0, 1}, kBlue},
        {"more rows than the picture", {4, 2, 0, 0, 4, 2, 0, 0, 4, 1, 0, 0, 4, 1, 0, 1}, kGreen},
        {"a move beyond the picture", {1, 3, 0, 2, 200, 200, 4, 1}, kBlue},
        {"an image size beyond the file", {1, 2}, kGreen, 1000},
        {"nothing", {}, kWhite},
    };
    for (const auto& c : cases) {
        Bytes file = RunLengthFile(8, table, c.coded);
        if (c.sizeImage)
            Patch(file, 34, c.sizeImage, 4);
        TSafetyBitmap bitmap;
        LoadBmp(bitmap, file);
        ASSERT_EQ(bitmap.Width(), 4) << c.name;
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), c.bottomLeft) << c.name;
    }
}

TEST(SafetyBitmapLoad, ABitsOffsetOutsideItsPlaceIsAnInvalidBitmapAndTheOldPictureStays)
{
    const std::vector<RGBQUAD> four{Quad(kWhite), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    const Bytes shortTable = BmpFile(Indexed(8, Ramp(20), {{0, 1, 2, 3}}));
    const Bytes rle = RunLengthFile(8, four, {4, 1, 0, 1});
    const struct {
        const Bytes& file;
        uint32_t offset;
    } cases[] = {{shortTable, 54},
                 {shortTable, 133},
                 {shortTable, static_cast<uint32_t>(shortTable.size()) + 1},
                 {rle, 69},
                 {rle, static_cast<uint32_t>(rle.size()) + 1},
                 {rle, 0xFFFFFFFF}};
    for (const auto& c : cases) {
        TSafetyBitmap bitmap;
        bitmap.SetSize(3, 3);
        Bytes file = c.file;
        Patch(file, 10, c.offset, 4);
        EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { LoadBmp(bitmap, file); }, tkconst::SInvalidBitmap)) << c.offset;
        EXPECT_EQ(bitmap.Width(), 3);
    }
}

TEST(SafetyBitmapLoad, ACompressedFileThatFailsLeavesThePictureAsItWas)
{
    const Bytes file = BmpFile(With(BmpSpec{}, [](BmpSpec& s) { s.height = 1, s.rows = {Row(3, {0xFF, 0xFF})}; }));
    Bytes cut = Cbm(file), flipped = Cbm(file);
    cut.resize(cut.size() - 10);
    flipped[30] ^= 0x55;
    const struct {
        Bytes cbm;
        bool read;
        const wchar_t* message;
    } cases[] = {
        {Cbm(file, static_cast<long long>(file.size()) + 1), true, tkconst::SReadError},
        {Cbm(file, static_cast<long long>(file.size()) - 1), false, L"error"},
        {cut, true, tkconst::SReadError},
        {flipped, false, L"error"},
    };
    for (const auto& c : cases) {
        TSafetyBitmap bitmap;
        LoadBmp(bitmap, BmpFile(With(BmpSpec{}, [](BmpSpec& s) { s.width = s.height = 1, s.rows = {Row(3, {0xFF0000})}; })));
        const auto load = [&] { LoadBmp(bitmap, c.cbm); };
        EXPECT_TRUE(c.read ? FailsWith<EReadError>(load, c.message) : FailsWith<ECompressionError>(load, c.message));
        EXPECT_EQ(bitmap.Width(), 1);
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed);
    }
}

TEST(SafetyBitmapLoad, AStreamThatFailsDuringTheHeaderChecksIsPutBack)
{
    const Bytes file = Prefixed(3, BmpFile(Indexed(8, Ramp(20), {{0, 1, 2, 3}})));
    for (long long failAt : {5, 18, 25, 56}) {
        TPlainStream stream(file, failAt);
        stream.SetPosition(3);
        TSafetyBitmap bitmap;
        EXPECT_THROW(bitmap.LoadStream(stream), EReadError) << failAt;
        EXPECT_EQ(stream.Position(), 3) << failAt;
    }
}
