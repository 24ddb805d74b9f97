// The JPEG graphic: the bytes kept as read, decoded on first use into a bitmap for drawing.
#include "toolkit/graphics/JpegImage.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Picture.h"

namespace {

// The decoder tests' pictures (tests/CMakeLists.txt): 131 x 64, blocks of 32 x 32 in 4 columns
// and 2 rows.
constexpr COLORREF kColours[8] = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255), RGB(255, 255, 0),
                                  RGB(0, 255, 255), RGB(255, 0, 255), RGB(0, 0, 0),   RGB(0xC0, 0x80, 0x40)};
constexpr COLORREF kGreys[8] = {RGB(0, 0, 0),          RGB(0x24, 0x24, 0x24), RGB(0x49, 0x49, 0x49),
                                RGB(0x6D, 0x6D, 0x6D), RGB(0x92, 0x92, 0x92), RGB(0xB6, 0xB6, 0xB6),
                                RGB(0xDB, 0xDB, 0xDB), RGB(255, 255, 255)};

constexpr uint8_t kScan[2] = {0xFF, 0xDA}, kFrame[2] = {0xFF, 0xC0};

std::vector<uint8_t> Fixture(const char* name)
{
    const std::string bytes = FileContents(HostPath((std::string(JPEG_FIXTURES) + "/" + name).c_str()));
    EXPECT_NE(bytes, "<unreadable>") << name;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void Load(TJPEGImage& jpeg, const std::vector<uint8_t>& bytes)
{
    TByteViewStream stream(bytes.data(), bytes.size());
    jpeg.LoadStream(stream);
}

std::vector<uint8_t> Saved(TGraphic& graphic, bool stored = false)
{
    TMemoryStream stream;
    stored ? graphic.WriteStored(stream) : graphic.SaveStream(stream);
    const auto* p = static_cast<const uint8_t*>(stream.Memory());
    return std::vector<uint8_t>(p, p + stream.Size());
}

// Drawn at its size onto white; every block's middle within JPEG's tolerance.
testing::AssertionResult DrawsBlocks(TJPEGImage& jpeg, const COLORREF (&blocks)[8])
{
    TBitmap target;
    target.SetPixelFormat(TPixelFormat::pf24bit);
    target.SetSize(131, 64);
    target.Canvas().Render(0, 0, &jpeg);
    for (int i = 0; i < 8; ++i) {
        const COLORREF got = target.Canvas().Pixel(i % 4 * 32 + 16, i / 4 * 32 + 16);
        const COLORREF want = blocks[i];
        if (std::abs(GetRValue(got) - GetRValue(want)) > 12 || std::abs(GetGValue(got) - GetGValue(want)) > 12 ||
            std::abs(GetBValue(got) - GetBValue(want)) > 12)
            return testing::AssertionFailure() << "block " << i << " is " << std::hex << got;
    }
    return testing::AssertionSuccess();
}

// The picture with the component of its last scan made one the frame does not have: the
// header reads, the decoder gives up at that scan.
std::vector<uint8_t> FailingInTheLastScan(std::vector<uint8_t> jpeg)
{
    for (size_t at = jpeg.size() - 2; at > 2; --at)
        if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xDA) {
            jpeg[at + 5] = 9;
            break;
        }
    return jpeg;
}

}  // namespace

TEST(JPEGImage, PicturesDecodeOnFirstDrawToTheirColours)
{
    const struct {
        const char* file;
        const COLORREF (&blocks)[8];
    } cases[] = {{"baseline.jpg", kColours}, {"progressive.jpg", kColours}, {"grey.jpg", kGreys}, {"cmyk.jpg", kColours}};
    TJPEGImage jpeg;
    int changes = 0;
    jpeg.OnChange = [&](TObject*) { ++changes; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = Fixture(c.file);
        changes = 0;
        Load(jpeg, bytes);
        EXPECT_EQ(jpeg.Width(), 131);
        EXPECT_EQ(jpeg.Height(), 64);
        EXPECT_FALSE(jpeg.Decoded()) << "the size comes from the header";
        EXPECT_TRUE(DrawsBlocks(jpeg, c.blocks));
        EXPECT_TRUE(DrawsBlocks(jpeg, c.blocks));
        EXPECT_EQ(changes, 2) << "loaded, then decoded once";
        EXPECT_EQ(Saved(jpeg), bytes);
    }

    // Copies take the bytes and decode on their own; the stored form is length and bytes.
    TPicture picture;
    picture.SetGraphic(&jpeg);
    auto* copy = As<TJPEGImage>(picture.Graphic());
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->Decoded());
    EXPECT_TRUE(DrawsBlocks(*copy, kColours));
    const std::vector<uint8_t> form = Saved(jpeg, true);
    TByteViewStream stream(form.data(), form.size());
    copy->ReadStored(stream);
    EXPECT_EQ(copy->Data(), jpeg.Data());
    EXPECT_EQ(form.size(), jpeg.Data().size() + 4);

    TBitmap bitmap;
    bitmap.CopyIn(&jpeg);
    EXPECT_EQ(bitmap.Width(), 131) << "a bitmap takes the drawn picture";
    EXPECT_THROW(jpeg.CopyIn(&bitmap), EAssignError);
    jpeg.SetWidth(131);
    EXPECT_TRUE(FailsWith<EInvalidGraphicOperation>([&] { jpeg.SetWidth(130); }, L"JPEGｲﾒｰｼﾞのｻｲｽﾞは変更できません"));
}

TEST(JPEGImage, BadPicturesRaiseTheErrorAndTheNextOneDecodes)
{
    const std::vector<uint8_t> good = Fixture("baseline.jpg");
    // libjpeg skips garbage up to the next marker it knows; after the start marker there is none.
    std::vector<uint8_t> garbled(good.begin(), good.begin() + 2);
    for (int i = 0; i < 300; ++i)
        garbled.push_back(static_cast<uint8_t>(i * 37 % 251));
    std::vector<uint8_t> huge = good;  // 8192 x 8192 in the frame header
    const size_t frame = static_cast<size_t>(std::search(good.begin(), good.end(), kFrame, kFrame + 2) - good.begin());
    huge.at(frame + 5) = huge.at(frame + 7) = 0x20;
    huge.at(frame + 6) = huge.at(frame + 8) = 0;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const wchar_t* message;
    } cases[] = {
        {"empty", {}, tkconst::SJPEGInvalid},
        {"cut short in the tables", {good.begin(), good.begin() + 100}, tkconst::SJPEGInvalid},
        {"garbled after the start", garbled, tkconst::SJPEGInvalid},
        {"larger than the decoder takes", huge, tkconst::SJPEGTooLarge},
    };
    TJPEGImage jpeg;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load(jpeg, good);
        EXPECT_TRUE(FailsWith<EJPEG>([&] { Load(jpeg, c.bytes); }, c.message));
        EXPECT_TRUE(jpeg.Empty());
        EXPECT_TRUE(jpeg.Data().empty());
    }

    // Damage after the header shows when the picture is first drawn, once; the bytes stay.
    const std::vector<uint8_t> failing = FailingInTheLastScan(Fixture("progressive.jpg"));
    Load(jpeg, failing);
    TBitmap target;
    target.SetSize(8, 8);
    EXPECT_TRUE(FailsWith<EJPEG>([&] { target.Canvas().RenderScaled({0, 0, 8, 8}, &jpeg); }, tkconst::SJPEGInvalid));
    target.Canvas().RenderScaled({0, 0, 8, 8}, &jpeg);
    EXPECT_TRUE(FailsWith<EJPEG>([&] { jpeg.Bitmap(); }, tkconst::SJPEGInvalid));
    EXPECT_EQ(Saved(jpeg), failing);

    // Garbage inside the image data costs only those blocks.
    std::vector<uint8_t> damaged = good;
    const size_t data = static_cast<size_t>(std::search(good.begin(), good.end(), kScan, kScan + 2) - good.begin()) + 14;
    for (size_t i = data + 40; i < data + 80; ++i)
        damaged[i] = static_cast<uint8_t>(damaged[i] * 37 + 11);
    Load(jpeg, damaged);
    target.Canvas().RenderScaled({0, 0, 8, 8}, &jpeg);
    EXPECT_TRUE(jpeg.Decoded());

    Load(jpeg, good);
    EXPECT_TRUE(DrawsBlocks(jpeg, kColours));
}
