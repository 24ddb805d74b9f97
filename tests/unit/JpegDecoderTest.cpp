#include "toolkit/graphics/JpegDecoder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/unit/ExpectError.h"

namespace {

// The pictures are 131 x 64: blocks of 32 x 32 in 4 columns and 2 rows, white beyond x = 128
// (tests/CMakeLists.txt makes them from the same colours).
constexpr int kWidth = 131, kHeight = 64;
struct Rgb {
    int r, g, b;
};
constexpr Rgb kColours[8] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255}, {255, 255, 0},
                             {0, 255, 255}, {255, 0, 255}, {0, 0, 0},   {0xC0, 0x80, 0x40}};
constexpr Rgb kGreys[8] = {{0, 0, 0},          {0x24, 0x24, 0x24}, {0x49, 0x49, 0x49}, {0x6D, 0x6D, 0x6D},
                           {0x92, 0x92, 0x92}, {0xB6, 0xB6, 0xB6}, {0xDB, 0xDB, 0xDB}, {255, 255, 255}};
constexpr Rgb kGrey{128, 128, 128};  // what libjpeg puts where data is missing
// Flat colours at quality 90 stay this close, chroma subsampling included.
constexpr int kTolerance = 12;

std::string Fixture(const char* name)
{
    std::string bytes = FileContents(HostPath((std::string(JPEG_FIXTURES) + "/" + name).c_str()));
    EXPECT_NE(bytes, "<unreadable>") << name;
    return bytes;
}

TJpegPixels Decode(const std::string& jpeg)
{
    return DecodeJpeg(jpeg.data(), jpeg.size());
}

testing::AssertionResult PixelIs(const TJpegPixels& p, int x, int y, Rgb want)
{
    const unsigned char* bgr = p.Pixel(x, y);
    if (std::abs(bgr[2] - want.r) > kTolerance || std::abs(bgr[1] - want.g) > kTolerance ||
        std::abs(bgr[0] - want.b) > kTolerance)
        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is rgb(" << int(bgr[2]) << ", "
                                           << int(bgr[1]) << ", " << int(bgr[0]) << "), not rgb(" << want.r << ", "
                                           << want.g << ", " << want.b << ")";
    return testing::AssertionSuccess();
}

// The inner part of every block, away from the edges chroma subsampling blurs: the points at
// these offsets from its top-left corner, across and down.
testing::AssertionResult BlocksAre(const TJpegPixels& p, const Rgb (&blocks)[8], std::initializer_list<int> at = {8, 16, 24})
{
    if (p.Width != kWidth || p.Height != kHeight || p.Stride != 396)
        return testing::AssertionFailure() << p.Width << " x " << p.Height << ", stride " << p.Stride;
    for (int i = 0; i < 8; ++i)
        for (int dy : at)
            for (int dx : at)
                if (auto r = PixelIs(p, i % 4 * 32 + dx, i / 4 * 32 + dy, blocks[i]); !r)
                    return r << " in block " << i;
    return testing::AssertionSuccess();
}

// Offset of the first marker segment of this kind, or npos.
size_t FindMarker(const std::string& jpeg, unsigned char marker)
{
    size_t at = 2;
    while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
        if (static_cast<unsigned char>(jpeg[at + 1]) == marker)
            return at;
        at += 2 + (static_cast<unsigned char>(jpeg[at + 2]) << 8 | static_cast<unsigned char>(jpeg[at + 3]));
    }
    return std::string::npos;
}

std::string Patched(std::string jpeg, unsigned char marker, size_t offset, std::string bytes)
{
    const size_t at = FindMarker(jpeg, marker);
    EXPECT_NE(at, std::string::npos) << "no marker " << int(marker);
    if (at != std::string::npos)
        jpeg.replace(at + offset, bytes.size(), bytes);
    return jpeg;
}

// The colour blocks written by libjpeg itself in the colour spaces ImageMagick does not write:
// 4-component pictures stored as CMYK or YCCK, with or without the Adobe marker (whose CMYK
// is stored inverted), and a 2-component picture.
std::string EncodeWithLibjpeg(J_COLOR_SPACE stored, bool adobe, int components = 4)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 4 ? JCS_CMYK : JCS_UNKNOWN;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_set_colorspace(&cinfo, stored);
    cinfo.write_Adobe_marker = adobe;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(kWidth * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = x >= 128 ? Rgb{255, 255, 255} : kColours[static_cast<int>(cinfo.next_scanline) / 32 * 4 + x / 32];
            const int cmyk[4] = {255 - c.r, 255 - c.g, 255 - c.b, 0};
            for (int i = 0; i < components; ++i)
                row[x * components + i] = static_cast<unsigned char>(adobe ? 255 - cmyk[i] : cmyk[i]);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(out), outSize);
    std::free(out);
    return bytes;
}

TEST(JpegDecoder, PicturesDecodeToTheirColours)
{
    const struct {
        const char* file;
        int components;
        const Rgb (&blocks)[8];
    } cases[] = {
        {"baseline.jpg", 3, kColours},         {"progressive.jpg", 3, kColours}, {"grey.jpg", 1, kGreys},
        {"cmyk.jpg", 4, kColours},             // YCCK with the Adobe marker, as ImageMagick writes CMYK
        {"cmyk-progressive.jpg", 4, kColours},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string jpeg = Fixture(c.file);
        const TJpegInfo info = ReadJpegInfo(jpeg.data(), jpeg.size());
        EXPECT_EQ(info.Width, kWidth);
        EXPECT_EQ(info.Height, kHeight);
        EXPECT_EQ(info.Components, c.components);
        const TJpegPixels p = Decode(jpeg);
        EXPECT_TRUE(BlocksAre(p, c.blocks));
        EXPECT_EQ(p.Warnings, 0);
    }
}

TEST(JpegDecoder, FourComponentPicturesInvertedOnlyWithTheAdobeMarker)
{
    const struct {
        const char* name;
        J_COLOR_SPACE stored;
        bool adobe;
    } cases[] = {{"CMYK, Adobe", JCS_CMYK, true}, {"CMYK, no marker", JCS_CMYK, false}, {"YCCK, Adobe", JCS_YCCK, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(BlocksAre(Decode(EncodeWithLibjpeg(c.stored, c.adobe)), kColours));
    }
}

TEST(JpegDecoder, TwoComponentPictureHasNoColoursToShow)
{
    const std::string jpeg = EncodeWithLibjpeg(JCS_UNKNOWN, false, 2);
    EXPECT_EQ(ReadJpegInfo(jpeg.data(), jpeg.size()).Components, 2);
    EXPECT_TRUE(FailsWith<EJPEG>([&] { Decode(jpeg); }, L"JPEGｲﾒｰｼﾞが不正です"));
}

TEST(JpegDecoder, SizeCapRefusesBeforeAskingForRows)
{
    const std::string good = Fixture("baseline.jpg");
    const struct {
        int width, height;
        bool accepted;
    } cases[] = {{65500, 65500, false}, {8192, 4097, false}, {4097, 8192, false},
                 {8192, 4096, true},    {65500, 512, true},  {1, 65500, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const std::string size{static_cast<char>(c.height >> 8), static_cast<char>(c.height),
                               static_cast<char>(c.width >> 8), static_cast<char>(c.width)};
        const std::string jpeg = Patched(good, 0xC0, 5, size);
        const TJpegInfo info = ReadJpegInfo(jpeg.data(), jpeg.size());
        EXPECT_EQ(info.Width, c.width);
        EXPECT_EQ(info.Height, c.height);
        struct Asked {};
        bool asked = false;
        const auto ask = [&] {
            try {
                DecodeJpegInto(jpeg.data(), jpeg.size(), [&](const TJpegInfo& i, int stride) -> unsigned char* {
                    asked = i.Width == c.width && i.Height == c.height && stride == JpegRowBytes(c.width);
                    throw Asked{};
                });
            } catch (const Asked&) {
            }
        };
        if (c.accepted) {
            ask();
            EXPECT_TRUE(asked);
        } else {
            EXPECT_TRUE(FailsWith<EJPEG>(ask, L"JPEGｲﾒｰｼﾞが大きすぎます"));
            EXPECT_FALSE(asked);
        }
    }
}

TEST(JpegDecoder, BrokenHeadersRaiseTheErrorAndTheNextPictureDecodes)
{
    const std::string good = Fixture("baseline.jpg");
    const size_t sos = FindMarker(good, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    const struct {
        const char* name;
        std::string jpeg;
    } cases[] = {
        {"empty", ""},
        {"a bitmap", "BM" + good.substr(2)},
        {"only the start marker", good.substr(0, 2)},
        {"cut inside the tables", good.substr(0, sos / 2)},
        {"cut before the scan", good.substr(0, sos)},
        {"12-bit samples", Patched(good, 0xC0, 4, "\x0C")},
        {"zero width", Patched(good, 0xC0, 7, std::string(2, '\0'))},
        {"no components", Patched(good, 0xC0, 9, std::string(1, '\0'))},
        {"sampling factor 0", Patched(good, 0xC0, 11, std::string(1, '\0'))},
        {"quantisation table 7", Patched(good, 0xDB, 4, "\x07")},
        {"Huffman codes over 256", Patched(good, 0xC4, 5, std::string(16, '\xFF'))},
        {"scan of an unknown component", Patched(good, 0xDA, 5, "\x09")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(FailsWith<EJPEG>([&] { Decode(c.jpeg); }, L"JPEGｲﾒｰｼﾞが不正です"));
        EXPECT_TRUE(BlocksAre(Decode(good), kColours));
    }
    EXPECT_TRUE(FailsWith<EJPEG>([&] { ReadJpegInfo(good.data(), sos); }, L"JPEGｲﾒｰｼﾞが不正です"));
}

TEST(JpegDecoder, DamagedImageDataDecodesWhatIsThere)
{
    const std::string baseline = Fixture("baseline.jpg");
    const std::string progressive = Fixture("progressive.jpg");
    const size_t data = FindMarker(baseline, 0xDA) + 14;  // after the scan header

    // Half the image data: the top rows decode, the missing bottom comes out grey.
    const TJpegPixels half = Decode(baseline.substr(0, data + (baseline.size() - data) / 2));
    EXPECT_GE(half.Warnings, 1);
    EXPECT_TRUE(PixelIs(half, 16, 8, kColours[0]));
    EXPECT_TRUE(PixelIs(half, 112, 8, kColours[3]));
    EXPECT_TRUE(PixelIs(half, 16, 60, kGrey));
    EXPECT_TRUE(PixelIs(half, 112, 60, kGrey));

    // A progressive picture without its last scan (the finest detail of the brightness) still
    // shows every colour; libjpeg smooths the 8 x 8 blocks whose detail is missing, so only
    // their middles are sure.
    const size_t lastScan = progressive.rfind("\xFF\xDA");
    ASSERT_NE(lastScan, std::string::npos);
    const TJpegPixels early = Decode(progressive.substr(0, lastScan));
    EXPECT_GE(early.Warnings, 1);
    EXPECT_TRUE(BlocksAre(early, kColours, {4, 12, 20, 28}));

    // Garbage in the image data costs those blocks, nothing more.
    std::string garbled = baseline;
    for (size_t i = data + 40; i < data + 80; ++i)
        garbled[i] = static_cast<char>(garbled[i] * 37 + 11);
    const TJpegPixels g = Decode(garbled);
    EXPECT_EQ(g.Width, kWidth);
    EXPECT_EQ(g.Height, kHeight);
    EXPECT_GE(g.Warnings, 1);
}

TEST(JpegDecoder, ScanCountIsLimited)
{
    const std::string progressive = Fixture("progressive.jpg");
    // The last scan again and again: libjpeg only warns about the bogus progression.
    size_t last = 0;
    for (size_t at = progressive.find("\xFF\xDA"); at != std::string::npos; at = progressive.find("\xFF\xDA", at + 2))
        last = at;
    const std::string head = progressive.substr(0, last);
    const std::string scan = progressive.substr(last, progressive.size() - 2 - last);
    const auto withScans = [&](int extra) {
        std::string jpeg = head;
        for (int i = 0; i <= extra; ++i)
            jpeg += scan;
        return jpeg + "\xFF\xD9";
    };
    EXPECT_TRUE(BlocksAre(Decode(withScans(150)), kColours));
    EXPECT_TRUE(FailsWith<EJPEG>([&] { Decode(withScans(250)); }, L"JPEGｲﾒｰｼﾞが不正です"));
}

}  // namespace
