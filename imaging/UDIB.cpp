#include "imaging/UDIB.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/UDIBRows.h"
#include "imaging/UDrawSupport.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/DibSections.h"

namespace {

struct FreeBits {
    void operator()(void* p) const { std::free(p); }
};

// Whether a section keeps its top row first. The system reports the height of such a section
// as positive all the same, so its stored rows are compared with the rows it gives out
// bottom-up, from the outside in, until a pair tells; an image the same upside down draws
// the same either way.
bool StoredTopDown(HBITMAP bitmap, const DIBSECTION& section)
{
    if (section.dsBmih.biHeight < 0)
        return true;
    const int height = section.dsBm.bmHeight;
    const int bitCount = section.dsBmih.biBitCount;
    const size_t stride = static_cast<size_t>(RowBytes(section.dsBm.bmWidth, bitCount));
    const size_t used = (static_cast<size_t>(section.dsBm.bmWidth) * bitCount + 7) / 8;
    TDIBInfo query{};
    query.header = section.dsBmih;
    query.header.biSize = sizeof(BITMAPINFOHEADER);
    query.header.biHeight = height;
    std::vector<uint8_t> row(stride);
    const auto* stored = static_cast<const uint8_t*>(section.dsBm.bmBits);
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    for (int k = 0; k < height / 2; ++k) {
        if (!::GetDIBits(dc.get(), bitmap, static_cast<UINT>(k), 1, row.data(), reinterpret_cast<BITMAPINFO*>(&query),
                         DIB_RGB_COLORS))
            return false;
        const bool first = std::memcmp(row.data(), stored + k * stride, used) == 0;
        const bool last = std::memcmp(row.data(), stored + (height - 1 - k) * stride, used) == 0;
        if (first != last)
            return last;
    }
    return false;
}

}  // namespace

// ---- TBitsHolder ------------------------------------------------------------------------

TBitsHolder::~TBitsHolder()
{
    if (ownsBits_)
        std::free(bitsPtr_);
}

void TBitsHolder::SetBits(void* bits, bool owns)
{
    bitsPtr_ = bits;
    ownsBits_ = owns;
}

void* TBitsHolder::AllocateBits(size_t size)
{
    void* bits = std::calloc(size ? size : 1, 1);
    if (!bits)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    return bits;
}

// ---- TDIB: capture ----------------------------------------------------------------------

TDIB::TDIB() : info_{} {}

TDIB::~TDIB() = default;

void TDIB::CopyIn(const TDIB& source)
{
    info_ = source.info_;
    bits_ = source.bits_;
    section_ = source.section_;
}

void TDIB::SetBitmap(TBitmap& bitmap)
{
    HPALETTE palette = nullptr;
    if (bitmap.HandleType() == TBitmapHandleType::bmDIB) {
        const TPixelFormat format = bitmap.PixelFormat();
        if (format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit)
            palette = bitmap.Palette();
    } else if (IsPaletteDevice()) {
        palette = bitmap.Palette();
    }
    SetBitmapHandle(bitmap.Handle(), palette);
}

void TDIB::SetBitmapHandle(HBITMAP bitmap, HPALETTE palette)
{
    bits_ = TInterfaceRef<IBitsHolder>(new TBitsHolder);
    section_ = nullptr;
    DIBSECTION section{};
    if (bitmap && ::GetObjectW(bitmap, sizeof section, &section) == sizeof section && section.dsBm.bmBits)
        CaptureSection(bitmap, section);
    else
        CaptureDeviceBitmap(bitmap, palette);
}

void TDIB::CaptureSection(HBITMAP bitmap, const DIBSECTION& section)
{
    bits_->SetBits(section.dsBm.bmBits, false);
    section_ = bitmap;
    info_ = {};
    info_.header = section.dsBmih;
    info_.header.biHeight = StoredTopDown(bitmap, section) ? -section.dsBm.bmHeight : section.dsBm.bmHeight;
    if (section.dsBmih.biCompression == BI_BITFIELDS) {
        // StretchDIBits takes the colour masks where the colour table starts.
        std::memcpy(info_.colors, section.dsBitfields, sizeof section.dsBitfields);
        return;
    }
    // The system reads as many colours as the header counts, and we hold 256.
    if (info_.header.biClrUsed > 256)
        info_.header.biClrUsed = 256;
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    const HGDIOBJ old = ::SelectObject(dc.get(), bitmap);
    if (old) {
        ::GetDIBColorTable(dc.get(), 0, 256, info_.colors);
        ::SelectObject(dc.get(), old);
    } else {
        // Selected in another device context (its bitmap's canvas, say): ask for the table
        // without selecting it.
        TDIBInfo query{};
        query.header = info_.header;
        query.header.biSize = sizeof(BITMAPINFOHEADER);
        if (::GetDIBits(dc.get(), bitmap, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&query), DIB_RGB_COLORS))
            std::memcpy(info_.colors, query.colors, sizeof info_.colors);
    }
}

void TDIB::CaptureDeviceBitmap(HBITMAP bitmap, HPALETTE palette)
{
    BITMAP bm{};
    if (!bitmap || ::GetObjectType(bitmap) != OBJ_BITMAP || ::GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm)
        throw EInvalidGraphic(tkconst::SInvalidBitmap);

    info_ = {};
    BITMAPINFOHEADER& h = info_.header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = bm.bmWidth;
    h.biHeight = bm.bmHeight;  // rows bottom-up
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bm.bmBitsPixel * bm.bmPlanes);
    h.biCompression = BI_RGB;
    const long long imageSize = RowBytes(bm.bmWidth, h.biBitCount) * bm.bmHeight;
    h.biSizeImage = static_cast<DWORD>(imageSize);
    std::unique_ptr<void, FreeBits> pixels(TBitsHolder::AllocateBits(static_cast<size_t>(imageSize)));
    {
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        const PaletteGuard select(dc.get(), palette, false);
        if (palette)
            ::RealizePalette(dc.get());
        if (!::GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(bm.bmHeight), pixels.get(),
                         reinterpret_cast<BITMAPINFO*>(&info_), DIB_RGB_COLORS))
            throw EInvalidGraphic(tkconst::SInvalidBitmap);
    }
    bits_->SetBits(pixels.release(), true);
    if (palette) {
        PALETTEENTRY entries[256];
        const UINT n = ::GetPaletteEntries(palette, 0, 256, entries);
        for (UINT i = 0; i < n; ++i) {
            info_.colors[i].rgbBlue = entries[i].peBlue;
            info_.colors[i].rgbGreen = entries[i].peGreen;
            info_.colors[i].rgbRed = entries[i].peRed;
        }
    }
}

// ---- TDIB: drawing ----------------------------------------------------------------------

bool TDIB::PixelsAlive() const
{
    if (!section_)
        return true;
    DIBSECTION section{};
    return ::GetObjectW(section_, sizeof section, &section) == sizeof section && section.dsBm.bmBits == Bits() &&
           section.dsBmih.biWidth == info_.header.biWidth && section.dsBm.bmHeight == std::abs(info_.header.biHeight) &&
           section.dsBmih.biBitCount == info_.header.biBitCount;
}

int TDIB::StretchToDevice(HDC dc, const RECT& dest, const RECT& src, DWORD rop)
{
    return StretchRows(dc, dest, src, info_, Bits(), rop);
}

bool TDIB::Render(TCanvas& canvas, const RECT& dest, const RECT& src)
{
    if (!Bits() || !PixelsAlive())
        return false;
    const int dw = dest.right - dest.left;
    const int dh = dest.bottom - dest.top;
    const int sw = src.right - src.left;
    const int sh = src.bottom - src.top;
    if (dw == 0 && dh == 0 && sw == 0 && sh == 0)
        return true;
    HDC dc = canvas.Handle();
    if (!::RectVisible(dc, &dest))
        return true;
    canvas.SetStretchMode(COLORONCOLOR);
    return StretchToDevice(dc, dest, src, canvas.CopyMode()) != 0;
}

void TDIB::DrawWithFallback(TCanvas& canvas, const RECT& dest, const RECT& src)
{
    if (Render(canvas, dest, src) || !Bits() || !PixelsAlive())
        return;
    // Each destination row takes its band of the whole image, at least one row high.
    const int rows = dest.bottom - dest.top;
    const int width = info_.header.biWidth;
    const long long height = info_.header.biHeight < 0 ? -static_cast<long long>(info_.header.biHeight)
                                                       : info_.header.biHeight;
    for (int i = 0; i < rows; ++i) {
        const int y0 = static_cast<int>(height * i / rows);
        int y1 = static_cast<int>(height * (i + 1) / rows);
        if (y1 == y0)
            y1 = y0 + 1;
        Render(canvas, {dest.left, dest.top + i, dest.right, dest.top + i + 1}, {0, y0, width, y1});
    }
}
