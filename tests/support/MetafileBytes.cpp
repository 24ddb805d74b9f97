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

}  // namespace

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

