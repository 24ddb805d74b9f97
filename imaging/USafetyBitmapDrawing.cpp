// The safety bitmap's drawing: the mask and the image copy it keeps, and its ways onto
// screens and printers.
#include <algorithm>
#include <vector>

#include "imaging/UCanvas.h"
#include "imaging/UDIB.h"
#include "imaging/UDrawSupport.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/core/HandleOwners.h"

namespace {

// Puts the canvas's background colour, text colour and copy mode back, however drawing ends.
class TCanvasSettings {
public:
    explicit TCanvasSettings(TCanvas& canvas)
        : canvas_(canvas), background_(canvas.BackgroundColor()), text_(canvas.TextColor()),
          copyMode_(canvas.CopyMode())
    {
    }
    ~TCanvasSettings()
    {
        canvas_.SetCopyMode(copyMode_);
        if (canvas_.HandleAllocated()) {
            canvas_.SetBackgroundColor(background_);
            canvas_.SetTextColor(text_);
        }
    }
    TCanvasSettings(const TCanvasSettings&) = delete;
    TCanvasSettings& operator=(const TCanvasSettings&) = delete;

private:
    TCanvas& canvas_;
    COLORREF background_;
    COLORREF text_;
    DWORD copyMode_;
};

class TCanvasLock {
public:
    explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
    ~TCanvasLock() { canvas_.Unlock(); }
    TCanvasLock(const TCanvasLock&) = delete;
    TCanvasLock& operator=(const TCanvasLock&) = delete;

private:
    TCanvas& canvas_;
};

}  // namespace

void TSafetyBitmap::Render(TCanvas& canvas, const RECT& rect)
{
    if (Empty())
        return;
    TCanvasSettings saved(canvas);
    // The mask's set bits take the background colour and its clear bits the text colour.
    canvas.SetBackgroundColor(clWhite);
    canvas.SetTextColor(clBlack);
    if (Transparent()) {
        BuildMask(TransparentColor());
        BuildImage();
    }
    if (IsPrinterCanvas(canvas))
        PrinterDraw(canvas, rect);
    else
        ScreenDraw(canvas, rect);
}

void TSafetyBitmap::BuildMask(COLORREF color)
{
    if (!maskDirty_)
        return;
    const int width = Width();
    const int height = Height();
    maskBitmap_->SetSize(width, height);
    BITMAP bm{};
    ::GetObjectW(maskBitmap_->Handle(), sizeof bm, &bm);
    const size_t rowLength = static_cast<size_t>(bm.bmWidthBytes);
    std::vector<uint8_t> bits(rowLength * static_cast<size_t>(height), 0);
    const auto mark = [&](int x, int y) { bits[y * rowLength + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); };
    const BYTE red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);

    switch (PixelFormat()) {
    case TPixelFormat::pf8bit: {
        // One look-up: the entry nearest the colour counts only when it is the colour.
        HPALETTE palette = Palette();
        const UINT index = palette ? ::GetNearestPaletteIndex(palette, RGB(red, green, blue)) : CLR_INVALID;
        PALETTEENTRY entry{};
        if (index == CLR_INVALID || !::GetPaletteEntries(palette, index, 1, &entry) || entry.peRed != red ||
            entry.peGreen != green || entry.peBlue != blue)
            break;
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const uint8_t*>(ScanLine(y));
            for (int x = 0; x < width; ++x)
                if (row[x] == index)
                    mark(x, y);
        }
        break;
    }
    case TPixelFormat::pf24bit:
    case TPixelFormat::pf32bit: {
        const int step = PixelFormat() == TPixelFormat::pf24bit ? 3 : 4;
        for (int y = 0; y < height; ++y) {
            const auto* p = static_cast<const uint8_t*>(ScanLine(y));
            for (int x = 0; x < width; ++x, p += step)
                if (p[0] == blue && p[1] == green && p[2] == red)
                    mark(x, y);
        }
        break;
    }
    default:
        if (HandleType() == TBitmapHandleType::bmDDB) {
            const COLORREF wanted = RGB(red, green, blue);
            TCanvas& canvas = Canvas();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if ((canvas.Pixel(x, y) & 0xFFFFFF) == wanted)
                        mark(x, y);
            break;
        }
        // The colours a canvas would read, a band of rows at a time: one call per pixel made a
        // large picture take hours. The system hands the rows over bottom-up.
        const int band = std::max(1, (1 << 18) / width);
        std::vector<RGBQUAD> colors(static_cast<size_t>(width) * static_cast<size_t>(band));
        BITMAPINFO query{{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        for (int bottom = 0; bottom < height; bottom += band) {
            const int rows = std::min(band, height - bottom);
            if (!::GetDIBits(dc.get(), Handle(), static_cast<UINT>(bottom), static_cast<UINT>(rows), colors.data(),
                             &query, DIB_RGB_COLORS))
                break;
            for (int i = 0; i < rows; ++i) {
                const RGBQUAD* p = colors.data() + static_cast<size_t>(i) * width;
                for (int x = 0; x < width; ++x)
                    if (p[x].rgbBlue == blue && p[x].rgbGreen == green && p[x].rgbRed == red)
                        mark(x, height - 1 - (bottom + i));
            }
        }
        break;
    }
    ::SetBitmapBits(maskBitmap_->Handle(), static_cast<DWORD>(bits.size()), bits.data());
    if (!IsWinNT())
        maskDIB_->SetBitmap(*maskBitmap_);
    maskDirty_ = false;
}

void TSafetyBitmap::BuildImage()
{
    if (!imageDirty_)
        return;
    imageBitmap_->CopyIn(this);
    imageBitmap_->SetIgnorePalette(false);
    imageBitmap_->SetTransparent(false);
    // OR-ing the mask on whitens the transparent pixels and leaves the others as they are.
    TCanvas& canvas = imageBitmap_->Canvas();
    canvas.SetCopyMode(SRCPAINT);
    if (IsWinNT()) {
        canvas.SetStretchMode(COLORONCOLOR);
        canvas.Render(0, 0, maskBitmap_.get());
    } else {
        const RECT all{0, 0, Width(), Height()};
        maskDIB_->Render(canvas, all, all);
    }
    imageDirty_ = false;
}

void TSafetyBitmap::ScreenDraw(TCanvas& canvas, const RECT& rect)
{
    if (!Transparent()) {
        TBitmap::Render(canvas, rect);
        return;
    }
    // (NOT mask) OR destination whitens the opaque pixels; the image copy AND-ed on then
    // shows the picture there and leaves the transparent pixels alone.
    canvas.SetStretchMode(COLORONCOLOR);
    canvas.SetCopyMode(MERGEPAINT);
    if (IsWinNT())
        canvas.RenderScaled(rect, maskBitmap_.get());
    else
        maskDIB_->Render(canvas, rect, {0, 0, Width(), Height()});
    canvas.SetCopyMode(SRCAND);
    canvas.RenderScaled(rect, imageBitmap_.get());
}

void TSafetyBitmap::PrinterDraw(TCanvas& canvas, const RECT& rect)
{
    if (IsWinNT()) {
        const TCanvasLock own(Canvas()), mask(maskBitmap_->Canvas()), image(imageBitmap_->Canvas());
        if (!Transparent()) {
            TBitmap::Render(canvas, rect);
            return;
        }
        canvas.SetCopyMode(MERGEPAINT);
        canvas.SetStretchMode(COLORONCOLOR);
        canvas.RenderScaled(rect, maskBitmap_.get());
        canvas.SetCopyMode(SRCAND);
        canvas.RenderScaled(rect, imageBitmap_.get());
        return;
    }
    // Printers of the other family take device-independent pixels, row by row if need be.
    const RECT source{0, 0, Width(), Height()};
    TDIB picture;
    if (Transparent()) {
        picture.SetBitmap(*imageBitmap_);
        canvas.SetCopyMode(MERGEPAINT);
        maskDIB_->DrawWithFallback(canvas, rect, source);
        canvas.SetCopyMode(SRCAND);
    } else {
        picture.SetBitmap(*this);
    }
    picture.DrawWithFallback(canvas, rect, source);
}
