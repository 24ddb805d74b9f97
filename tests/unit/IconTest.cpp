// The icon graphic: icon files in, the same bytes out, drawn by the system.
#include "toolkit/graphics/Icon.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/IconBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

void Load(TIcon& icon, const std::vector<uint8_t>& bytes)
{
    TByteViewStream stream(bytes.data(), bytes.size());
    icon.LoadStream(stream);
}

std::vector<uint8_t> Saved(TGraphic& graphic)
{
    TMemoryStream stream;
    graphic.SaveStream(stream);
    const auto* p = static_cast<const uint8_t*>(stream.Memory());
    return std::vector<uint8_t>(p, p + stream.Size());
}

std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

bool Near(COLORREF got, COLORREF want)
{
    return std::abs(GetRValue(got) - GetRValue(want)) <= 8 && std::abs(GetGValue(got) - GetGValue(want)) <= 8 &&
           std::abs(GetBValue(got) - GetBValue(want)) <= 8;
}

std::vector<uint8_t> OwnIconImage()
{
    TResourceStream stream(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), RT_ICON);
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
    stream.ReadBuffer(bytes.data(), static_cast<long long>(bytes.size()));
    return bytes;
}

}  // namespace

TEST(Icon, FilesOfEveryDepthRoundTripAndDrawScaled)
{
    for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        // A 1-bit image may be taken for black and white, whatever its colour table says.
        const COLORREF colour = bits == 1 ? RGB(255, 255, 255) : RGB(0, 0, 255);
        const std::vector<uint8_t> file = IconFile(IconImage({8, 8, bits, colour}), 1, 8, bits);
        TIcon icon;
        int changes = 0;
        icon.OnChange = [&](TObject*) { ++changes; };
        Load(icon, file);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(icon.Width(), 8);
        EXPECT_EQ(icon.Height(), 8);
        EXPECT_EQ(Saved(icon), file);

        TBitmap target;
        target.SetPixelFormat(TPixelFormat::pf24bit);
        target.SetSize(20, 20);
        target.Canvas().Brush().SetColor(clBlack);
        target.Canvas().FillRect({0, 0, 20, 20});
        target.Canvas().RenderScaled({2, 2, 18, 18}, &icon);
        target.Canvas().RenderScaled({0, 0, 0, 20}, &icon);  // empty: draws nothing
        EXPECT_TRUE(Near(target.Canvas().Pixel(17, 2), colour));
        EXPECT_TRUE(Near(target.Canvas().Pixel(18, 10), RGB(0, 0, 0)));

        TIcon copy;
        copy.CopyIn(&icon);
        EXPECT_EQ(Saved(copy), file);
        EXPECT_NE(copy.Handle(), icon.Handle());
    }
    TIcon icon;
    Load(icon, IconFile(IconImage({})));
    icon.SetWidth(8);
    EXPECT_TRUE(FailsWith<EInvalidGraphicOperation>([&] { icon.SetHeight(9); }, L"ｱｲｺﾝのｻｲｽﾞは変更できません"));
}

TEST(Icon, CompilerStoredImageIsRefusedAndLeavesTheIconEmpty)
{
    const std::vector<uint8_t> image = OwnIconImage();
    TIcon icon;
    Load(icon, IconFile(IconImage({})));
    EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { Load(icon, image); }, L"ｱｲｺﾝｲﾒｰｼﾞが不正です"));
    EXPECT_TRUE(icon.Empty());
    EXPECT_EQ(icon.Width(), 0);
    EXPECT_EQ(Saved(icon), (std::vector<uint8_t>{0, 0, 1, 0, 0, 0})) << "an empty icon file";

    // The same image behind the icon file's header and entry is an icon.
    Load(icon, IconFile(image, 1, 16, 32));
    EXPECT_EQ(icon.Width(), 16);
    Load(icon, IconFile({}, 0));
    EXPECT_TRUE(icon.Empty()) << "a file of no images";
}

TEST(Icon, MalformedFilesAreRefused)
{
    const std::vector<uint8_t> good = IconFile(IconImage({}));
    const std::vector<uint8_t> grey = IconFile(IconImage({8, 8, 8}), 1, 8, 8);
    const uint32_t imageSize = static_cast<uint32_t>(good.size() - 22);
    std::vector<uint8_t> png = IconFile(std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    png.resize(png.size() + 300);
    const struct {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"empty", {}},
        {"cut in the header", {good.begin(), good.begin() + 4}},
        {"cut in the image", {good.begin(), good.end() - 1}},
        {"reserved word set", Patched(good, 0, 1, 2)},
        {"a cursor", Patched(good, 2, 2, 2)},
        {"two images", Patched(good, 4, 2, 2)},
        {"image size beyond the file", Patched(good, 14, imageSize + 1, 4)},
        {"image inside the entry", Patched(good, 18, 6, 4)},
        {"core info header", Patched(good, 22, 12, 4)},
        {"width 0", Patched(good, 26, 0, 4)},
        {"width 257", Patched(good, 26, 257, 4)},
        {"height field odd", Patched(good, 30, 15, 4)},
        {"3 bits", Patched(good, 36, 3, 2)},
        {"run-length pixels", Patched(grey, 38, BI_RLE8, 4)},
        {"257 colours of 8 bits", Patched(grey, 54, 257, 4)},
        {"mask cut off", Patched(good, 14, imageSize - 1, 4)},
        {"a PNG image", png},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TIcon icon;
        Load(icon, good);
        EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { Load(icon, c.file); }, tkconst::SInvalidIcon));
        EXPECT_TRUE(icon.Empty());
        EXPECT_EQ(icon.Handle(), nullptr);
    }
}
