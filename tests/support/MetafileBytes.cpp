#include "tests/support/MetafileBytes.h"

#include <windows.h>

#include "tests/support/BmpBytes.h"
#include "toolkit/core/HandleOwners.h"

namespace {

// Two filled rectangles, each half of (0, 0)-(right, bottom), in the context's own units. A
// metafile context hands back no real old objects, so stock ones are selected at the end; the
// brushes outlive the recording.
class Halves {
public:
    void Draw(HDC dc, int right, int bottom) const
    {
        ::SelectObject(dc, ::GetStockObject(NULL_PEN));
        ::SelectObject(dc, red_.get());
        ::Rectangle(dc, 0, 0, right / 2 + 1, bottom + 1);
        ::SelectObject(dc, blue_.get());
        ::Rectangle(dc, right / 2, 0, right + 1, bottom + 1);
        ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
        ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
    }

private:
    unique_hbrush red_{::CreateSolidBrush(RGB(255, 0, 0))};
    unique_hbrush blue_{::CreateSolidBrush(RGB(0, 0, 255))};
};

// Lines, shapes, text and pixels: records with counts and offsets of their own.
void DrawBusy(HDC dc)
{
    const POINT points[] = {{2, 2}, {40, 5}, {30, 30}, {5, 20}};
    ::Polyline(dc, points, 4);
    ::Polygon(dc, points, 4);
    const INT counts[] = {2, 2};
    ::PolyPolygon(dc, points, counts, 2);
    ::Ellipse(dc, 10, 10, 30, 25);
    ::TextOutW(dc, 3, 3, L"ソラノート", 5);
    const uint32_t pixels[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, sizeof pixels, 0, 0, 0, 0};
    ::StretchDIBits(dc, 0, 0, 20, 20, 0, 0, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
}

// The records the busy picture leaves out: objects made, selected and deleted (palettes, fonts,
// extended and pattern pens and brushes, regions), region fills, bit-block transfers with a
// bitmap of their own, scan lines set, gradients, curves from the current position, text lists
// and comments. Every object made here is deleted before the function returns.
void DrawRare(HDC dc)
{
    struct {
        LOGPALETTE header;
        PALETTEENTRY more[3];
    } logPalette{{0x300, 4, {{255, 0, 0, 0}}}, {{0, 255, 0, 0}, {0, 0, 255, 0}, {9, 9, 9, 0}}};
    unique_hpalette palette(::CreatePalette(&logPalette.header));
    ::SelectPalette(dc, palette.get(), FALSE);
    ::RealizePalette(dc);
    ::SetPaletteEntries(palette.get(), 1, 1, &logPalette.more[2]);
    ::ResizePalette(palette.get(), 6);
    ::SelectPalette(dc, static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)), FALSE);

    LOGFONTW logFont{};
    logFont.lfHeight = -12;
    logFont.lfCharSet = SHIFTJIS_CHARSET;
    wcscpy(logFont.lfFaceName, L"MS UI Gothic");
    unique_hfont font(::CreateFontIndirectW(&logFont));
    ::SelectObject(dc, font.get());
    POLYTEXTW texts[2] = {{4, 4, 2, L"ab", ETO_OPAQUE, {0, 0, 10, 10}, nullptr},
                          {8, 12, 3, L"ソラノ", 0, {}, nullptr}};
    ::PolyTextOutW(dc, texts, 2);
    ::SelectObject(dc, ::GetStockObject(SYSTEM_FONT));

    const std::vector<uint8_t> file = BmpFile(SmallPicture(8));
    unique_hbrush pattern(::CreateDIBPatternBrushPt(file.data() + sizeof(BITMAPFILEHEADER), DIB_RGB_COLORS));
    const WORD hatch[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    unique_hbitmap monoBits(::CreateBitmap(8, 8, 1, 1, hatch));
    unique_hbrush mono(::CreatePatternBrush(monoBits.get()));
    const LOGBRUSH penBrush{BS_SOLID, RGB(0, 128, 0), 0};
    const DWORD dashes[2] = {3, 1};
    unique_hgdiobj pen(::ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT, 3, &penBrush, 2, dashes));
    ::SelectObject(dc, pen.get());
    ::SelectObject(dc, pattern.get());
    ::Rectangle(dc, 1, 1, 20, 20);
    ::SelectObject(dc, mono.get());
    ::Ellipse(dc, 5, 5, 25, 25);

    const unique_hgdiobj regionObject(::CreateRectRgn(2, 2, 30, 18));
    const auto region = static_cast<HRGN>(regionObject.get());
    ::FillRgn(dc, region, pattern.get());
    ::FrameRgn(dc, region, mono.get(), 2, 2);
    ::InvertRgn(dc, region);
    ::PaintRgn(dc, region);
    ::SelectClipRgn(dc, region);
    ::SelectClipRgn(dc, nullptr);

    ::MoveToEx(dc, 3, 3, nullptr);
    ::LineTo(dc, 30, 4);
    const POINT curve[3] = {{10, 10}, {20, 0}, {30, 12}};
    ::PolyBezierTo(dc, curve, 3);
    ::PolylineTo(dc, curve, 3);
    ::ArcTo(dc, 0, 0, 20, 20, 20, 10, 0, 10);
    ::AngleArc(dc, 15, 15, 6, 0.0f, 180.0f);
    const BYTE kinds[3] = {PT_MOVETO, PT_LINETO, PT_LINETO};
    ::PolyDraw(dc, curve, kinds, 3);
    const DWORD lineCounts[2] = {2, 1};
    ::PolyPolyline(dc, curve, lineCounts, 2);

    WindowDC screen(nullptr);
    unique_hdc memory(::CreateCompatibleDC(screen.get()));
    unique_hbitmap bitmap(::CreateCompatibleBitmap(screen.get(), 6, 6));
    const HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    ::PatBlt(memory.get(), 0, 0, 6, 6, WHITENESS);
    ::BitBlt(dc, 0, 0, 6, 6, memory.get(), 0, 0, SRCCOPY);
    ::StretchBlt(dc, 0, 0, 12, 12, memory.get(), 0, 0, 6, 6, SRCCOPY);
    ::MaskBlt(dc, 0, 0, 6, 6, memory.get(), 0, 0, monoBits.get(), 0, 0, MAKEROP4(SRCCOPY, SRCAND));
    const POINT corners[3] = {{0, 0}, {8, 2}, {2, 8}};
    ::PlgBlt(dc, corners, memory.get(), 0, 0, 6, 6, nullptr, 0, 0);
    const BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
    ::GdiAlphaBlend(dc, 0, 0, 6, 6, memory.get(), 0, 0, 6, 6, half);
    ::GdiTransparentBlt(dc, 0, 0, 6, 6, memory.get(), 0, 0, 6, 6, RGB(255, 255, 255));
    ::SelectObject(memory.get(), old);

    const uint32_t pixels[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, sizeof pixels, 0, 0, 0, 0};
    ::SetDIBitsToDevice(dc, 30, 0, 2, 2, 0, 0, 0, 2, pixels, &info, DIB_RGB_COLORS);

    TRIVERTEX vertices[2] = {{0, 0, 0xFF00, 0, 0, 0}, {16, 16, 0, 0, 0xFF00, 0}};
    GRADIENT_RECT shape{0, 1};
    ::GdiGradientFill(dc, vertices, 2, &shape, 1, GRADIENT_FILL_RECT_H);
    ::GdiComment(dc, 4, reinterpret_cast<const BYTE*>("seed"));

    ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
    ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
}

}  // namespace

std::vector<uint8_t> RareRecordsEmf()
{
    WindowDC screen(nullptr);
    const RECT frame{0, 0, 1500, 1000};
    HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, &frame, nullptr);
    DrawRare(dc);
    unique_henhmetafile emf(::CloseEnhMetaFile(dc));
    std::vector<uint8_t> bytes(::GetEnhMetaFileBits(emf.get(), 0, nullptr));
    ::GetEnhMetaFileBits(emf.get(), static_cast<UINT>(bytes.size()), bytes.data());
    return bytes;
}

std::vector<uint8_t> RareRecordsPlaceableWmf()
{
    HDC dc = ::CreateMetaFileW(nullptr);
    ::SetWindowExtEx(dc, 48, 32, nullptr);
    DrawRare(dc);
    HMETAFILE wmf = ::CloseMetaFile(dc);
    std::vector<uint8_t> bytes(::GetMetaFileBitsEx(wmf, 0, nullptr));
    ::GetMetaFileBitsEx(wmf, static_cast<UINT>(bytes.size()), bytes.data());
    ::DeleteMetaFile(wmf);
    return Placeable(bytes, 48, 32, 96);
}

std::vector<uint8_t> TwoColourEmf()
{
    WindowDC screen(nullptr);
    const int dpiX = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    const int dpiY = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    const RECT frame{0, 0, 5080, 2540};  // hundredths of a millimetre
    const Halves halves;
    HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, &frame, nullptr);
    halves.Draw(dc, 2 * dpiX, dpiY);
    unique_henhmetafile emf(::CloseEnhMetaFile(dc));
    std::vector<uint8_t> bytes(::GetEnhMetaFileBits(emf.get(), 0, nullptr));
    ::GetEnhMetaFileBits(emf.get(), static_cast<UINT>(bytes.size()), bytes.data());
    return bytes;
}

std::vector<uint8_t> Placeable(const std::vector<uint8_t>& wmf, int16_t right, int16_t bottom, uint16_t perInch)
{
    std::vector<uint8_t> out;
    PutLE(out, 0x9AC6CDD7, 4);
    PutLE(out, 0, 2);
    PutLE(out, 0, 2);
    PutLE(out, 0, 2);
    PutLE(out, static_cast<uint16_t>(right), 2);
    PutLE(out, static_cast<uint16_t>(bottom), 2);
    PutLE(out, perInch, 2);
    PutLE(out, 0, 4);
    uint16_t checksum = 0;
    for (size_t i = 0; i < out.size(); i += 2)
        checksum ^= static_cast<uint16_t>(out[i] | out[i + 1] << 8);
    PutLE(out, checksum, 2);
    out.insert(out.end(), wmf.begin(), wmf.end());
    return out;
}

std::vector<uint8_t> TwoColourPlaceableWmf()
{
    const Halves halves;
    HDC dc = ::CreateMetaFileW(nullptr);
    ::SetWindowOrgEx(dc, 0, 0, nullptr);
    ::SetWindowExtEx(dc, 200, 100, nullptr);
    halves.Draw(dc, 200, 100);
    HMETAFILE wmf = ::CloseMetaFile(dc);
    std::vector<uint8_t> bytes(::GetMetaFileBitsEx(wmf, 0, nullptr));
    ::GetMetaFileBitsEx(wmf, static_cast<UINT>(bytes.size()), bytes.data());
    ::DeleteMetaFile(wmf);
    return Placeable(bytes, 200, 100, 100);
}

std::vector<uint8_t> BusyEmf()
{
    WindowDC screen(nullptr);
    const RECT frame{0, 0, 1500, 1000};
    HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, &frame, L"busy\0metafile\0");
    DrawBusy(dc);
    unique_henhmetafile emf(::CloseEnhMetaFile(dc));
    std::vector<uint8_t> bytes(::GetEnhMetaFileBits(emf.get(), 0, nullptr));
    ::GetEnhMetaFileBits(emf.get(), static_cast<UINT>(bytes.size()), bytes.data());
    return bytes;
}

std::vector<uint8_t> BusyPlaceableWmf()
{
    HDC dc = ::CreateMetaFileW(nullptr);
    ::SetWindowExtEx(dc, 48, 32, nullptr);
    DrawBusy(dc);
    HMETAFILE wmf = ::CloseMetaFile(dc);
    std::vector<uint8_t> bytes(::GetMetaFileBitsEx(wmf, 0, nullptr));
    ::GetMetaFileBitsEx(wmf, static_cast<UINT>(bytes.size()), bytes.data());
    ::DeleteMetaFile(wmf);
    return Placeable(bytes, 48, 32, 96);
}

