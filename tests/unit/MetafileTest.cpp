// The metafile graphic: enhanced and placeable metafiles, sized from their headers and drawn
// scaled; anything else refused.
#include "toolkit/graphics/Metafile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/MetafileBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Picture.h"

namespace {

void Load(TMetafile& metafile, const std::vector<uint8_t>& bytes)
{
    TByteViewStream stream(bytes.data(), bytes.size());
    metafile.LoadStream(stream);
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

uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}

// Offset of the n-th record of that type in an enhanced metafile.
size_t EnhancedRecord(const std::vector<uint8_t>& emf, uint32_t type, int n = 1)
{
    for (size_t at = 0; at < emf.size(); at += U32(emf, at + 4))
        if (U32(emf, at) == type && --n == 0)
            return at;
    ADD_FAILURE() << "no record " << type;
    return 0;
}

// Offset of the n-th record of that function in a placeable metafile.
size_t WindowsRecord(const std::vector<uint8_t>& placeable, uint16_t function, int n = 1)
{
    for (size_t at = 40; at < placeable.size(); at += U32(placeable, at) * 2)
        if ((placeable.at(at + 4) | placeable.at(at + 5) << 8) == function && --n == 0)
            return at;
    ADD_FAILURE() << "no record " << function;
    return 0;
}

int ScreenDpi(int index)
{
    WindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.get(), index);
}

// Ends the recording in dc, loads it as a metafile and draws it over a white 40 x 40 target.
void DrawRecorded(HDC dc, TBitmap& target)
{
    unique_henhmetafile recorded(::CloseEnhMetaFile(dc));
    std::vector<uint8_t> bytes(::GetEnhMetaFileBits(recorded.get(), 0, nullptr));
    ::GetEnhMetaFileBits(recorded.get(), static_cast<UINT>(bytes.size()), bytes.data());
    TMetafile metafile;
    Load(metafile, bytes);
    target.SetPixelFormat(TPixelFormat::pf24bit);
    target.SetSize(40, 40);
    target.Canvas().RenderScaled({0, 0, 40, 40}, &metafile);
}

}  // namespace

TEST(Metafile, EnhancedAndPlaceableSizeThemselvesAndDrawScaled)
{
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool enhanced;
    } cases[] = {{"enhanced", TwoColourEmf(), true}, {"placeable", TwoColourPlaceableWmf(), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMetafile metafile;
        int changes = 0;
        metafile.OnChange = [&](TObject*) { ++changes; };
        Load(metafile, c.bytes);
        EXPECT_EQ(changes, 1);
        ASSERT_FALSE(metafile.Empty());
        EXPECT_EQ(metafile.Enhanced(), c.enhanced);
        EXPECT_EQ(metafile.Width(), 2 * ScreenDpi(LOGPIXELSX)) << "2 inches";
        EXPECT_EQ(metafile.Height(), ScreenDpi(LOGPIXELSY));
        EXPECT_EQ(Saved(metafile), c.bytes);

        TBitmap target;
        target.SetPixelFormat(TPixelFormat::pf24bit);
        target.SetSize(60, 30);
        target.Canvas().RenderScaled({10, 5, 50, 25}, &metafile);
        const struct {
            int x, y;
            COLORREF colour;
        } points[] = {{12, 7, RGB(255, 0, 0)}, {48, 23, RGB(0, 0, 255)}, {8, 15, RGB(255, 255, 255)},
                      {30, 27, RGB(255, 255, 255)}};
        for (const auto& p : points)
            EXPECT_EQ(target.Canvas().Pixel(p.x, p.y), p.colour) << "at " << p.x << ", " << p.y;

        TMetafile copy;
        copy.CopyIn(&metafile);
        EXPECT_EQ(Saved(copy), c.bytes);
        metafile.SetWidth(50);
        EXPECT_EQ(changes, 2);
        copy.CopyIn(&metafile);
        EXPECT_EQ(copy.Width(), 50) << "the size set is copied too";
    }
}

TEST(Metafile, OtherDataIsRefused)
{
    const std::vector<uint8_t> emf = TwoColourEmf();
    const std::vector<uint8_t> placeable = TwoColourPlaceableWmf();
    const std::vector<uint8_t> wmf(placeable.begin() + 22, placeable.end());
    const uint32_t headerSize = emf[4] | emf[5] << 8;
    const std::vector<uint8_t> busy = BusyEmf();
    const std::vector<uint8_t> busyWmf = BusyPlaceableWmf();
    const size_t brush = EnhancedRecord(emf, EMR_CREATEBRUSHINDIRECT), brush2 = EnhancedRecord(emf, EMR_CREATEBRUSHINDIRECT, 2);
    const size_t dib = EnhancedRecord(busy, EMR_STRETCHDIBITS);
    const size_t wmfSelect = WindowsRecord(placeable, 0x012D), wmfDib = WindowsRecord(busyWmf, 0x0F43);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"a Windows metafile without the placeable header", wmf},
        {"enhanced: signature", Patched(emf, 40, 0x20202020, 4)},
        {"enhanced: header size 8", Patched(emf, 4, 8, 4)},
        {"enhanced: size beyond the data", Patched(emf, 48, static_cast<uint32_t>(emf.size() + 4), 4)},
        {"enhanced: cut short", {emf.begin(), emf.begin() + static_cast<std::ptrdiff_t>(emf.size() / 2)}},
        {"enhanced: record of size 0", Patched(emf, headerSize + 4, 0, 4)},
        {"enhanced: no end record", Patched(emf, emf.size() - 20, EMR_SAVEDC, 4)},
        {"enhanced: description outside", Patched(Patched(emf, 60, 10, 4), 64, 0xFFFFFFF0, 4)},
        {"enhanced: frame reversed", Patched(emf, 32, static_cast<uint32_t>(-100), 4)},
        {"enhanced: brush made outside the handle table", Patched(emf, brush + 8, 0x7FFF, 4)},
        {"enhanced: brush made into a live slot", Patched(emf, brush2 + 8, U32(emf, brush + 8), 4)},
        {"enhanced: brush made into slot 0, the metafile's own", Patched(emf, brush + 8, 0, 4)},
        {"enhanced: polygon of more points than the record", Patched(busy, EnhancedRecord(busy, EMR_POLYGON16) + 24, 1000, 4)},
        {"enhanced: text longer than the record", Patched(busy, EnhancedRecord(busy, EMR_EXTTEXTOUTW) + 44, 1000, 4)},
        {"enhanced: bitmap pixels cut short", Patched(busy, dib + 60, 4, 4)},
        {"enhanced: bitmap run-length", Patched(busy, dib + U32(busy, dib + 48) + 16, BI_RLE8, 4)},
        {"enhanced: unknown record", Patched(busy, EnhancedRecord(busy, EMR_ELLIPSE), 69, 4)},
        {"placeable: checksum", Patched(placeable, 20, placeable[20] ^ 1, 1)},
        {"placeable: no units per inch", Placeable(wmf, 200, 100, 0)},
        {"placeable: 40,000 pixels wide", Placeable(wmf, 32000, 100, 72)},
        {"placeable: header size", Patched(placeable, 24, 10, 2)},
        {"placeable: size beyond the data", Patched(placeable, 28, 0x7FFFFFFF, 4)},
        {"placeable: record of size 0", Patched(placeable, 40, 0, 4)},
        {"placeable: polyline of more points than the record", Patched(busyWmf, WindowsRecord(busyWmf, 0x0325) + 6, 500, 2)},
        {"placeable: object selected that was never made", Patched(placeable, wmfSelect + 6, 7, 2)},
        {"placeable: bitmap taller than its pixels", Patched(busyWmf, wmfDib + 6 + 22 + 8, 50, 4)},
        {"placeable: unknown function", Patched(busyWmf, WindowsRecord(busyWmf, 0x0418) + 4, 0x0999, 2)},
        {"placeable: no end record", Patched(placeable, placeable.size() - 2, 0x001E, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMetafile metafile;
        Load(metafile, emf);
        EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { Load(metafile, c.bytes); }, L"ﾒﾀﾌｧｲﾙが不正です"));
        EXPECT_TRUE(metafile.Empty());
        EXPECT_EQ(metafile.Handle(), nullptr);
    }
}

TEST(Metafile, ShapesFarBeyondThePictureAreLeftOut)
{
    // An ellipse millions of pixels high takes some players minutes; none of it could be seen.
    WindowDC screen(nullptr);
    const RECT frame{0, 0, 1000, 1000};
    HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, &frame, nullptr);
    ::SelectObject(dc, ::GetStockObject(BLACK_BRUSH));
    ::Ellipse(dc, 10, -33554422, 16777215, 24);
    ::Rectangle(dc, 0, 0, 20, 20);
    TBitmap target;
    DrawRecorded(dc, target);
    EXPECT_EQ(target.Canvas().Pixel(2, 2), RGB(0, 0, 0)) << "the rectangle is drawn";
    EXPECT_EQ(target.Canvas().Pixel(30, 30), RGB(255, 255, 255));
}

TEST(Metafile, TextThatTheMappingBlowsUpIsLeftOut)
{
    // A frame of 0.02 mm drawn 40 pixels wide: a font of 100 logical units is over 100,000
    // pixels high there, which a player renders glyph by glyph for half a minute.
    WindowDC screen(nullptr);
    const RECT frame{0, 0, 2, 2};
    HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, &frame, nullptr);
    unique_hfont font(::CreateFontW(-100, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    ::SelectObject(dc, font.get());
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, RGB(0, 0, 0));  // drawn, the text's cell would cover the target
    ::TextOutW(dc, 0, 0, L"W", 1);
    ::SelectObject(dc, ::GetStockObject(SYSTEM_FONT));
    TBitmap target;
    DrawRecorded(dc, target);
    for (const POINT at : {POINT{1, 1}, POINT{20, 20}, POINT{38, 38}})
        EXPECT_EQ(target.Canvas().Pixel(at.x, at.y), RGB(255, 255, 255)) << at.x << ", " << at.y;
}
