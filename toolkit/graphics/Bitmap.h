// The bitmap: a device-dependent bitmap or a DIB section, with its palette and its canvas.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/Graphic.h"

enum class TBitmapHandleType { bmDIB, bmDDB };
// pfDevice: a device-dependent bitmap. pfCustom: a DIB with colour masks of its own.
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

class TBitmap;

// The bitmap's own canvas: a memory device context with the bitmap (and its palette)
// selected. Drawing through it changes the bitmap and says so.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    ~TBitmapCanvas() override { FreeDC(); }

    // Gives the device context back, the bitmap and its palette selected out first; the next
    // use makes a new one.
    void FreeDC();

    void NotifyChanged() override;
    void AcquireDC() override;

private:
    TBitmap& bitmap_;
    unique_hdc memDC_;
    HGDIOBJ oldBitmap_ = nullptr;
    HPALETTE oldPalette_ = nullptr;
};

// A new bitmap is empty and device-dependent. Loading a BMP makes it a DIB section of the
// file's depth. Setting the size keeps the pixels that still fit (new ones are white).
//
// Transparency: while Transparent is set the bitmap leaves out the pixels of its
// transparent colour when it draws. That colour is the one set (a system colour resolved),
// else white for a monochrome bitmap, else the colour of the bottom-left pixel.
//
// Stored form ("Data"): a 32-bit little-endian length, then a plain BMP file of that length.
class TBitmap : public TGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TBitmap();
    ~TBitmap() override;

    // The longest side a file may give a bitmap: the system's drawing code overflows on far
    // larger sides, and no picture this program shows comes near.
    static constexpr int MaxSide = 32767;

    // The image; null while the bitmap is empty. SetHandle takes a bitmap over;
    // ReleaseHandle gives the image away and leaves the bitmap empty.
    HBITMAP Handle() const { return handle_.get(); }
    void SetHandle(HBITMAP bitmap);
    HBITMAP ReleaseHandle();

    TBitmapHandleType HandleType() const { return handleType_; }
    void SetHandleType(TBitmapHandleType type);
    TPixelFormat PixelFormat() const { return pixelFormat_; }
    // Converts the pixels; the new image gets the default colours of its depth (halftone
    // for 8 bits, the VGA colours for 4, black and white for 1).
    void SetPixelFormat(TPixelFormat format);
    bool Monochrome() const { return monochrome_; }
    void SetMonochrome(bool monochrome);
    // While set, drawing does not select and realise the bitmap's palette.
    bool IgnorePalette() const { return ignorePalette_; }
    void SetIgnorePalette(bool ignore);
    void SetSize(int width, int height);

    COLORREF TransparentColor() const;
    void SetTransparentColor(TColor color);
    // Back to the automatic colour (white or the bottom-left pixel).
    void ResetTransparentColor();
    bool TransparentColorSet() const { return transparentColor_.has_value(); }

    // Row `row` (0 is the top) of the pixels; a device-dependent bitmap becomes a DIB
    // section first. Rows are padded to 4 bytes. EInvalidGraphic outside the image.
    void* ScanLine(int row);
    int ScanLineSize() const;

    TCanvas& Canvas();

    // Loads a bitmap resource of a module. A missing resource raises EResNotFound.
    void LoadFromResourceName(HINSTANCE instance, const std::wstring& name);
    // Reads a packed DIB (info header, colour table, pixels) at the stream's position, as a
    // bitmap resource holds it.
    void LoadDIB(TStream& stream);
    // Makes the bitmap empty; notifies when it was not.
    void Clear();

    // Draws at (x, y) in its own size, as it is.
    void Draw(HDC dc, int x, int y) const;
    // Draws at (x, y) in its own size; every pixel of the transparent colour is painted
    // in `background` instead.
    void DrawOn(HDC dc, int x, int y, COLORREF background) const;

    void CopyIn(TPersistent* source) override;
    void Render(TCanvas& canvas, const RECT& rect) override;
    bool QueryEmpty() const override { return width_ == 0 || height_ == 0; }
    int QueryHeight() const override { return height_; }
    HPALETTE QueryPalette() override { return palette_.get(); }
    int QueryWidth() const override { return width_; }
    void ReadStored(TStream& stream) override;
    void ApplyHeight(int value) override { SetSize(width_, value); }
    // Rewrites the colour table of a palette DIB from the palette; the pixel values stay.
    void ApplyPalette(HPALETTE value) override;
    void ApplyWidth(int value) override { SetSize(value, height_); }
    void WriteStored(TStream& stream) override;
    // A BMP file; see BitmapFile.cpp for what the reader takes.
    void LoadStream(TStream& stream) override;
    void SaveStream(TStream& stream) override;

private:
    friend class TBitmapCanvas;

    // Runs `fn` with a device context that has the image selected: the canvas's when it has
    // one, else a temporary one.
    void WithImageDC(const std::function<void(HDC)>& fn) const;
    void FreeCanvasDC();
    // Makes a new image of that size and kind, with the pixels of the old one that fit.
    // The new image has `palette`; a palette DIB without one gets the default colours.
    void Rebuild(int width, int height, TBitmapHandleType type, TPixelFormat format, bool monochrome,
                 unique_hpalette palette);
    // A copy of the image of the same kind, pixels and colour table.
    unique_hbitmap CopyImage() const;
    // Takes a new image over and describes it from the system's view of it.
    void TakeImage(unique_hbitmap image, unique_hpalette palette);
    void DrawTransparent(HDC dest, const RECT& rect, HDC source);
    void StretchForPrinter(HDC dest, const RECT& rect, DWORD rop);

    unique_hbitmap handle_;
    unique_hpalette palette_;
    int width_ = 0;
    int height_ = 0;
    TBitmapHandleType handleType_ = TBitmapHandleType::bmDDB;
    TPixelFormat pixelFormat_ = TPixelFormat::pfDevice;
    bool monochrome_ = false;
    bool ignorePalette_ = false;
    std::optional<TColor> transparentColor_;
    std::unique_ptr<TBitmapCanvas> canvas_;
};
