// The memory canvas: a canvas on a memory device context made on demand, with one bitmap
// selected; and the canvas questions the image classes ask before they draw.
#pragma once
#include <windows.h>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Canvas.h"

// The device context is made on the first use of Handle (AcquireDC) and holds the bitmap the
// descendant names in GetBitmapHandle. Fonts are measured against the reference device: the
// one given with SetReferenceDC (not owned), else the screen. FreeHandles gives every device
// context back; the canvas stays usable, and its next use selects the descendant's bitmap of
// that moment.
class TMemoryCanvas : public TCanvas {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TMemoryCanvas() = default;
    ~TMemoryCanvas() override;

    // The reference device context; the screen's, taken now, when none was given.
    HDC GetReferenceDC();
    // Another reference lets go of every device context first (null: the screen).
    void SetReferenceDC(HDC dc);

    bool BitmapSelected() const { return oldObject_ != nullptr; }
    // Selects `bitmap` (null: none) in place of the one selected now.
    void SelectBitmap(HBITMAP bitmap);
    // Puts back what the selected bitmap displaced.
    void DeselectBitmap();
    void FreeHandles();

    void AcquireDC() override;
    // The bitmap the device context is to hold.
    virtual HBITMAP GetBitmapHandle() = 0;

private:
    HGDIOBJ oldObject_ = nullptr;  // what the selected bitmap displaced in memDC_
    HDC refDC_ = nullptr;          // not owned
    unique_hdc memDC_;
    unique_screen_dc screenDC_;
};

// The device context drawing on `canvas` is measured against: a memory canvas's reference
// device, the printer's device context for the printer's own canvas, else the canvas's Handle.
HDC GetCanvasDC(TCanvas& canvas);

// True for the printer's own canvas, and for a canvas whose device is a plotter or a raster
// printer.
bool IsPrinterCanvas(TCanvas& canvas);
