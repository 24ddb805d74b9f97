#include "toolkit/graphics/Bitmap.h"

#include <cstdlib>
#include <vector>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::wstring& name)
{
    auto loaded = static_cast<HBITMAP>(
        ::LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded)
        throw EResNotFound(Format(tkconst::SResNotFound, {name}));
    unique_hbitmap bitmap(loaded);

    DIBSECTION section{};
    ::GetObjectW(bitmap.get(), sizeof section, &section);
    unique_hpalette palette;
    if (section.dsBmih.biBitCount <= 8) {
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        SelectGuard select(dc.get(), bitmap.get());
        RGBQUAD table[256];
        UINT count = ::GetDIBColorTable(dc.get(), 0, 256, table);
        if (count > 0) {
            std::vector<BYTE> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
            auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
            log->palVersion = 0x300;
            log->palNumEntries = static_cast<WORD>(count);
            for (UINT i = 0; i < count; ++i)
                log->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
            palette.reset(::CreatePalette(log));
        }
    }

    bitmap_ = std::move(bitmap);
    palette_ = std::move(palette);
    width_ = section.dsBm.bmWidth;
    height_ = std::abs(section.dsBm.bmHeight);
    {
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        SelectGuard select(dc.get(), bitmap_.get());
        transparent_ = ::GetPixel(dc.get(), 0, height_ - 1);
    }
    Changed();
}

void TBitmap::Clear()
{
    if (Empty())
        return;
    bitmap_.reset();
    palette_.reset();
    width_ = height_ = 0;
    transparent_ = CLR_INVALID;
    Changed();
}

void TBitmap::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TBitmap::DrawOn(HDC dc, int x, int y, COLORREF background) const
{
    if (Empty())
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
        if (!::GetDIBits(mem.get(), bitmap_.get(), 0, height_, pixels.data(), &info, DIB_RGB_COLORS))
            return;
    }
    const RGBQUAD key{GetBValue(transparent_), GetGValue(transparent_), GetRValue(transparent_), 0};
    const RGBQUAD fill{GetBValue(background), GetGValue(background), GetRValue(background), 0};
    for (RGBQUAD& p : pixels) {
        if (p.rgbBlue == key.rgbBlue && p.rgbGreen == key.rgbGreen && p.rgbRed == key.rgbRed)
            p = fill;
    }
    ::SetDIBitsToDevice(dc, x, y, width_, height_, 0, 0, 0, height_, pixels.data(), &info, DIB_RGB_COLORS);
}

void TBitmap::Draw(HDC dc, int x, int y) const
{
    if (Empty())
        return;
    unique_hdc mem(::CreateCompatibleDC(dc));
    SelectGuard select(mem.get(), bitmap_.get());
    ::BitBlt(dc, x, y, width_, height_, mem.get(), 0, 0, SRCCOPY);
}
