// The bitmap's image: its kinds, size, palette, pixels, canvas and copies.
#include "toolkit/graphics/Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/DibSections.h"
#include "toolkit/graphics/Palettes.h"

constinit const TClass TBitmap::Class{L"TBitmap", &TGraphic::Class, &MakeInstance<TBitmap>};

namespace {

int BitCountOf(TPixelFormat format)
{
    TDibLayout layout;
    DescribeFormat(format, layout);
    return layout.bitCount;
}

unique_hbitmap CreateDeviceBitmap(int width, int height, bool monochrome)
{
    HBITMAP made;
    if (monochrome) {
        made = ::CreateBitmap(width, height, 1, 1, nullptr);
    } else {
        WindowDC screen(nullptr);
        made = ::CreateCompatibleBitmap(screen.get(), width, height);
    }
    if (!made)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    return unique_hbitmap(made);
}

// The colour table of a section, read through a device context that has it selected.
int ReadColorTable(HDC dc, RGBQUAD* table)
{
    return static_cast<int>(::GetDIBColorTable(dc, 0, 256, table));
}

}  // namespace

// ---- TBitmapCanvas ----------------------------------------------------------------------

void TBitmapCanvas::AcquireDC()
{
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    if (!dc)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    if (bitmap_.handle_)
        oldBitmap_ = ::SelectObject(dc.get(), bitmap_.handle_.get());
    if (bitmap_.palette_) {
        oldPalette_ = ::SelectPalette(dc.get(), bitmap_.palette_.get(), TRUE);
        ::RealizePalette(dc.get());
    }
    memDC_ = std::move(dc);
    AttachHandle(memDC_.get());
}

void TBitmapCanvas::FreeDC()
{
    if (!memDC_)
        return;
    AttachHandle(nullptr);
    if (oldBitmap_)
        ::SelectObject(memDC_.get(), oldBitmap_);
    if (oldPalette_)
        ::SelectPalette(memDC_.get(), oldPalette_, TRUE);
    oldBitmap_ = nullptr;
    oldPalette_ = nullptr;
    memDC_.reset();
}

void TBitmapCanvas::NotifyChanged()
{
    TCanvas::NotifyChanged();
    bitmap_.NotifyChanged(&bitmap_);
}

// ---- TBitmap: image ---------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    canvas_.reset();  // the canvas lets go of the image before the image is deleted
}

TCanvas& TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TBitmapCanvas>(*this);
    return *canvas_;
}

void TBitmap::FreeCanvasDC()
{
    if (canvas_)
        canvas_->FreeDC();
}

void TBitmap::WithImageDC(const std::function<void(HDC)>& fn) const
{
    if (canvas_ && canvas_->HandleAllocated()) {
        fn(canvas_->Handle());
        return;
    }
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    SelectGuard image(dc.get(), handle_.get());
    PaletteGuard palette(dc.get(), palette_.get());
    fn(dc.get());
}

void TBitmap::TakeImage(unique_hbitmap image, unique_hpalette palette)
{
    FreeCanvasDC();
    handle_ = std::move(image);
    palette_ = std::move(palette);
    DIBSECTION ds;
    if (SectionOf(handle_.get(), ds)) {
        width_ = ds.dsBm.bmWidth;
        height_ = std::abs(ds.dsBmih.biHeight);
        handleType_ = TBitmapHandleType::bmDIB;
        pixelFormat_ = PixelFormatOf(ds.dsBmih.biBitCount, ds.dsBmih.biCompression, ds.dsBitfields);
        RGBQUAD table[256];
        int count = 0;
        if (ds.dsBmih.biBitCount <= 8)
            WithImageDC([&](HDC dc) { count = ReadColorTable(dc, table); });
        monochrome_ = ds.dsBmih.biBitCount == 1 && IsBlackAndWhite(table, count);
        if (!palette_ && count > 0)
            palette_.reset(PaletteFromColorTable(table, count));
    } else if (handle_) {
        BITMAP bm{};
        ::GetObjectW(handle_.get(), sizeof bm, &bm);
        width_ = bm.bmWidth;
        height_ = bm.bmHeight;
        handleType_ = TBitmapHandleType::bmDDB;
        pixelFormat_ = TPixelFormat::pfDevice;
        monochrome_ = bm.bmPlanes * bm.bmBitsPixel == 1;
    } else {
        width_ = height_ = 0;
    }
}

void TBitmap::SetHandle(HBITMAP bitmap)
{
    if (bitmap == handle_.get())
        return;
    TakeImage(unique_hbitmap(bitmap), {});
    NotifyChanged(this);
}

HBITMAP TBitmap::ReleaseHandle()
{
    FreeCanvasDC();
    HBITMAP image = handle_.release();
    TakeImage({}, {});
    NotifyChanged(this);
    return image;
}

void TBitmap::Rebuild(int width, int height, TBitmapHandleType type, TPixelFormat format, bool monochrome,
                      unique_hpalette palette)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    unique_hbitmap image;
    if (width > 0 && height > 0) {
        if (type == TBitmapHandleType::bmDDB) {
            image = CreateDeviceBitmap(width, height, monochrome);
        } else {
            TDibLayout layout;
            layout.width = width;
            layout.height = height;
            DIBSECTION old;
            const bool oldIsSection = SectionOf(handle_.get(), old);
            if (format == TPixelFormat::pfCustom && oldIsSection) {
                layout.bitCount = old.dsBmih.biBitCount;
                layout.compression = old.dsBmih.biCompression;
                std::memcpy(layout.masks, old.dsBitfields, sizeof layout.masks);
            } else {
                DescribeFormat(format, layout);
            }
            if (layout.bitCount <= 8) {
                if (!palette)
                    palette.reset(DefaultPaletteFor(layout.bitCount));
                PaletteToColorTable(palette.get(), layout.table, 1 << layout.bitCount);
            }
            image = CreateSection(layout);
        }
    }

    FreeCanvasDC();
    if (image) {
        unique_hdc dest(::CreateCompatibleDC(nullptr));
        SelectGuard selectDest(dest.get(), image.get());
        PaletteGuard destPalette(dest.get(), palette.get());
        const RECT all{0, 0, width, height};
        ::FillRect(dest.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        if (handle_) {
            DIBSECTION from, to;
            const int w = std::min(width, width_);
            const int h = std::min(height, height_);
            if (SectionOf(handle_.get(), from) && SectionOf(image.get(), to) &&
                from.dsBmih.biBitCount == to.dsBmih.biBitCount &&
                from.dsBmih.biCompression == to.dsBmih.biCompression &&
                std::memcmp(from.dsBitfields, to.dsBitfields, sizeof from.dsBitfields) == 0) {
                // Same layout: the pixel values themselves, not the colours they show.
                ::GdiFlush();
                const size_t bytes = static_cast<size_t>((static_cast<long long>(w) * to.dsBmih.biBitCount + 7) / 8);
                for (int y = 0; y < h; ++y)
                    std::memcpy(SectionRow(to, y), SectionRow(from, y), bytes);
            } else {
                unique_hdc source(::CreateCompatibleDC(nullptr));
                SelectGuard selectSource(source.get(), handle_.get());
                PaletteGuard sourcePalette(source.get(), palette_.get());
                ::BitBlt(dest.get(), 0, 0, w, h, source.get(), 0, 0, SRCCOPY);
            }
        }
    }
    TakeImage(std::move(image), std::move(palette));
    if (!handle_) {
        width_ = width;
        height_ = height;
        handleType_ = type;
        pixelFormat_ = type == TBitmapHandleType::bmDDB ? TPixelFormat::pfDevice : format;
        monochrome_ = monochrome;
    }
    NotifyChanged(this);
}

// ---- TBitmap: settings ------------------------------------------------------------------

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    Rebuild(width, height, handleType_, pixelFormat_, monochrome_, unique_hpalette(CopyPalette(palette_.get())));
}

void TBitmap::SetHandleType(TBitmapHandleType type)
{
    if (type == handleType_)
        return;
    TPixelFormat format = TPixelFormat::pfDevice;
    if (type == TBitmapHandleType::bmDIB) {
        BITMAP bm{};
        if (handle_)
            ::GetObjectW(handle_.get(), sizeof bm, &bm);
        const int bits = bm.bmPlanes * bm.bmBitsPixel;
        format = monochrome_ ? TPixelFormat::pf1bit
                 : bits > 0 && bits <= 8 ? TPixelFormat::pf8bit
                 : bits == 32 ? TPixelFormat::pf32bit
                              : TPixelFormat::pf24bit;
    }
    Rebuild(width_, height_, type, format, monochrome_, unique_hpalette(CopyPalette(palette_.get())));
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == pixelFormat_)
        return;
    if (format == TPixelFormat::pfDevice) {
        SetHandleType(TBitmapHandleType::bmDDB);
        return;
    }
    const int bits = BitCountOf(format);
    Rebuild(width_, height_, TBitmapHandleType::bmDIB, format, bits == 1,
            unique_hpalette(DefaultPaletteFor(bits)));
}

void TBitmap::SetMonochrome(bool monochrome)
{
    if (monochrome == monochrome_)
        return;
    if (monochrome && handleType_ == TBitmapHandleType::bmDIB) {
        SetPixelFormat(TPixelFormat::pf1bit);
        return;
    }
    Rebuild(width_, height_, TBitmapHandleType::bmDDB, TPixelFormat::pfDevice, monochrome,
            monochrome ? unique_hpalette() : unique_hpalette(CopyPalette(palette_.get())));
}

void TBitmap::SetIgnorePalette(bool ignore)
{
    if (ignore == ignorePalette_)
        return;
    ignorePalette_ = ignore;
    NotifyChanged(this);
}

void TBitmap::ApplyPalette(HPALETTE value)
{
    if (value == palette_.get())
        return;
    unique_hpalette palette(value);
    FreeCanvasDC();  // the canvas has the old palette selected
    DIBSECTION ds;
    if (palette && SectionOf(handle_.get(), ds) && ds.dsBmih.biBitCount <= 8) {
        RGBQUAD table[256];
        const int n = PaletteToColorTable(palette.get(), table, 1 << ds.dsBmih.biBitCount);
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        SelectGuard image(dc.get(), handle_.get());
        ::SetDIBColorTable(dc.get(), 0, static_cast<UINT>(n), table);
        RGBQUAD now[256];
        const int count = ReadColorTable(dc.get(), now);
        monochrome_ = ds.dsBmih.biBitCount == 1 && IsBlackAndWhite(now, count);
    }
    palette_ = std::move(palette);
    NotifyChanged(this);
}

void TBitmap::SetTransparentColor(TColor color)
{
    if (transparentColor_ == color)
        return;
    transparentColor_ = color;
    NotifyChanged(this);
}

void TBitmap::ResetTransparentColor()
{
    if (!transparentColor_)
        return;
    transparentColor_.reset();
    NotifyChanged(this);
}

void* TBitmap::ScanLine(int row)
{
    if (Empty() || row < 0 || row >= height_)
        throw EInvalidGraphic(tkconst::SScanLineRange);
    SetHandleType(TBitmapHandleType::bmDIB);
    DIBSECTION ds;
    SectionOf(handle_.get(), ds);
    ::GdiFlush();  // drawing the system still holds back must land before the caller reads
    return SectionRow(ds, row);
}

int TBitmap::ScanLineSize() const
{
    DIBSECTION ds;
    if (SectionOf(handle_.get(), ds))
        return ds.dsBm.bmWidthBytes;
    BITMAP bm{};
    if (handle_)
        ::GetObjectW(handle_.get(), sizeof bm, &bm);
    return static_cast<int>(RowBytes(width_, std::max(1, bm.bmPlanes * bm.bmBitsPixel)));
}

void TBitmap::Clear()
{
    if (!handle_ && width_ == 0 && height_ == 0)
        return;
    TakeImage({}, {});
    NotifyChanged(this);
}

// ---- TBitmap: copies --------------------------------------------------------------------

unique_hbitmap TBitmap::CopyImage() const
{
    DIBSECTION ds;
    if (SectionOf(handle_.get(), ds)) {
        TDibLayout layout;
        layout.width = ds.dsBm.bmWidth;
        layout.height = ds.dsBmih.biHeight;
        layout.bitCount = ds.dsBmih.biBitCount;
        layout.compression = ds.dsBmih.biCompression;
        std::memcpy(layout.masks, ds.dsBitfields, sizeof layout.masks);
        if (layout.bitCount <= 8)
            WithImageDC([&](HDC dc) { ReadColorTable(dc, layout.table); });
        void* bits = nullptr;
        unique_hbitmap copy = CreateSection(layout, &bits);
        ::GdiFlush();
        std::memcpy(bits, ds.dsBm.bmBits,
                    static_cast<size_t>(ds.dsBm.bmWidthBytes) * static_cast<size_t>(std::abs(ds.dsBmih.biHeight)));
        return copy;
    }
    if (!handle_)
        return {};
    unique_hbitmap copy = CreateDeviceBitmap(width_, height_, monochrome_);
    unique_hdc dest(::CreateCompatibleDC(nullptr));
    SelectGuard select(dest.get(), copy.get());
    PaletteGuard palette(dest.get(), palette_.get());
    WithImageDC([&](HDC source) { ::BitBlt(dest.get(), 0, 0, width_, height_, source, 0, 0, SRCCOPY); });
    return copy;
}

void TBitmap::CopyIn(TPersistent* source)
{
    if (!source) {
        Clear();
        return;
    }
    if (auto* bitmap = As<TBitmap>(source)) {
        if (bitmap == this)
            return;
        unique_hbitmap image = bitmap->CopyImage();
        TakeImage(std::move(image), unique_hpalette(CopyPalette(bitmap->palette_.get())));
        width_ = bitmap->width_;
        height_ = bitmap->height_;
        handleType_ = bitmap->handleType_;
        pixelFormat_ = bitmap->pixelFormat_;
        monochrome_ = bitmap->monochrome_;
        ignorePalette_ = bitmap->ignorePalette_;
        transparentColor_ = bitmap->transparentColor_;
        TGraphic::ApplyTransparent(bitmap->Transparent());
        NotifyChanged(this);
        return;
    }
    if (auto* graphic = As<TGraphic>(source)) {
        // Any other graphic is drawn onto a white device-dependent bitmap of its size.
        Rebuild(graphic->Width(), graphic->Height(), TBitmapHandleType::bmDDB, TPixelFormat::pfDevice, false,
                unique_hpalette(CopyPalette(graphic->Palette())));
        if (!Empty())
            Canvas().Render(0, 0, graphic);
        return;
    }
    TGraphic::CopyIn(source);
}
