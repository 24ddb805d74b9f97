// The bitmap's drawing: plain, transparent, onto printers, and the glyph conveniences.
#include <vector>

#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/DibSections.h"

namespace {

// Sets a device context's text and background colours and puts the old ones back.
class ColorsGuard {
public:
    ColorsGuard(HDC dc, COLORREF text, COLORREF background)
        : dc_(dc), text_(::SetTextColor(dc, text)), background_(::SetBkColor(dc, background)) {}
    ~ColorsGuard()
    {
        ::SetTextColor(dc_, text_);
        ::SetBkColor(dc_, background_);
    }
    ColorsGuard(const ColorsGuard&) = delete;
    ColorsGuard& operator=(const ColorsGuard&) = delete;

private:
    HDC dc_;
    COLORREF text_;
    COLORREF background_;
};

bool IsPrinter(HDC dc)
{
    const int technology = ::GetDeviceCaps(dc, TECHNOLOGY);
    return technology == DT_RASPRINTER || technology == DT_PLOTTER;
}

}  // namespace

COLORREF TBitmap::TransparentColor() const
{
    if (transparentColor_)
        return ColorToRGB(*transparentColor_);
    if (Empty() || !handle_)
        return CLR_INVALID;
    if (monochrome_)
        return RGB(255, 255, 255);
    COLORREF color = CLR_INVALID;
    WithImageDC([&](HDC dc) { color = ::GetPixel(dc, 0, height_ - 1); });
    return color;
}

void TBitmap::Render(TCanvas& canvas, const RECT& rect)
{
    if (Empty() || !handle_)
        return;
    HDC dest = canvas.Handle();
    HPALETTE palette = ignorePalette_ ? nullptr : palette_.get();
    PaletteGuard selectPalette(dest, palette);
    if (palette)
        ::RealizePalette(dest);
    if (IsPrinter(dest) && !Transparent()) {
        StretchForPrinter(dest, rect, canvas.CopyMode());
        return;
    }
    // Always out of the bitmap's own device context and its whole logical extent, so a
    // caller may remap that context's coordinates to draw one part of the bitmap.
    HDC source = Canvas().Handle();
    if (Transparent()) {
        DrawTransparent(dest, rect, source);
        return;
    }
    ::StretchBlt(dest, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0, width_,
                 height_, canvas.CopyMode());
}

void TBitmap::DrawTransparent(HDC dest, const RECT& rect, HDC source)
{
    // A mask with the transparent pixels set: copying to one bit per pixel sets exactly the
    // pixels of the source's background colour.
    unique_hbitmap mask(::CreateBitmap(width_, height_, 1, 1, nullptr));
    unique_hdc maskDC(::CreateCompatibleDC(nullptr));
    if (!mask || !maskDC)
        return;
    SelectGuard selectMask(maskDC.get(), mask.get());
    {
        const COLORREF old = ::SetBkColor(source, TransparentColor());
        ::BitBlt(maskDC.get(), 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        ::SetBkColor(source, old);
    }
    // dest ^ image, then black where opaque, then ^ image again: the image where opaque,
    // the destination untouched where transparent. The mask's 0 bits take the text colour.
    ColorsGuard colors(dest, RGB(0, 0, 0), RGB(255, 255, 255));
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    ::StretchBlt(dest, rect.left, rect.top, w, h, source, 0, 0, width_, height_, SRCINVERT);
    ::StretchBlt(dest, rect.left, rect.top, w, h, maskDC.get(), 0, 0, width_, height_, SRCAND);
    ::StretchBlt(dest, rect.left, rect.top, w, h, source, 0, 0, width_, height_, SRCINVERT);
}

void TBitmap::StretchForPrinter(HDC dest, const RECT& rect, DWORD rop)
{
    // Printers take device-independent pixels, not a copy out of a screen memory context.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header = {sizeof(BITMAPINFOHEADER), width_, height_, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> pixels(static_cast<size_t>(RowBytes(width_, 24) * height_));
    FreeCanvasDC();
    {
        WindowDC screen(nullptr);
        PaletteGuard palette(screen.get(), palette_.get());
        ::GetDIBits(screen.get(), handle_.get(), 0, static_cast<UINT>(height_), pixels.data(),
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    }
    ::StretchDIBits(dest, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0, width_, height_,
                    pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, rop);
}

void TBitmap::Draw(HDC dc, int x, int y) const
{
    if (Empty() || !handle_)
        return;
    WithImageDC([&](HDC source) { ::BitBlt(dc, x, y, width_, height_, source, 0, 0, SRCCOPY); });
}

void TBitmap::DrawOn(HDC dc, int x, int y, COLORREF background) const
{
    if (Empty() || !handle_)
        return;
    // Read the picture as 32-bit top-down pixels, swap the transparent colour for the
    // background, and put the result on the device in one call.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<size_t>(width_) * height_);
    {
        unique_hdc mem(::CreateCompatibleDC(dc));
        if (!::GetDIBits(mem.get(), handle_.get(), 0, height_, pixels.data(), &info, DIB_RGB_COLORS))
            return;
    }
    const COLORREF transparent = TransparentColor();
    const RGBQUAD key{GetBValue(transparent), GetGValue(transparent), GetRValue(transparent), 0};
    const RGBQUAD fill{GetBValue(background), GetGValue(background), GetRValue(background), 0};
    for (RGBQUAD& p : pixels) {
        if (p.rgbBlue == key.rgbBlue && p.rgbGreen == key.rgbGreen && p.rgbRed == key.rgbRed)
            p = fill;
    }
    ::SetDIBitsToDevice(dc, x, y, width_, height_, 0, 0, 0, height_, pixels.data(), &info, DIB_RGB_COLORS);
}
