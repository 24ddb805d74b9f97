#include "imaging/UCanvas.h"

#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Printer.h"

constinit const TClass TMemoryCanvas::Class{L"TMemoryCanvas", &TCanvas::Class, nullptr};

TMemoryCanvas::~TMemoryCanvas()
{
    FreeHandles();
}

HDC TMemoryCanvas::GetReferenceDC()
{
    if (refDC_)
        return refDC_;
    if (!screenDC_)
        screenDC_.reset(::GetDC(nullptr));
    return screenDC_.get();
}

void TMemoryCanvas::SetReferenceDC(HDC dc)
{
    if (dc == refDC_)
        return;
    FreeHandles();
    refDC_ = dc;
}

void TMemoryCanvas::SelectBitmap(HBITMAP bitmap)
{
    // The device context first: made now, it already holds the descendant's bitmap, which
    // must be what the next DeselectBitmap takes out, not what a later select displaces.
    HDC dc = Handle();
    DeselectBitmap();
    if (bitmap)
        oldObject_ = ::SelectObject(dc, bitmap);
}

void TMemoryCanvas::DeselectBitmap()
{
    if (!BitmapSelected())
        return;
    ::SelectObject(memDC_.get(), oldObject_);
    oldObject_ = nullptr;
}

void TMemoryCanvas::FreeHandles()
{
    if (memDC_) {
        DeselectBitmap();
        AttachHandle(nullptr);  // the font, pen and brush leave the device context
        memDC_.reset();
    }
    screenDC_.reset();
}

void TMemoryCanvas::AcquireDC()
{
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    if (!dc)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    memDC_ = std::move(dc);
    AttachHandle(memDC_.get());
    // Text keeps its size in points; its height in pixels follows the reference device.
    const int dpi = ::GetDeviceCaps(GetReferenceDC(), LOGPIXELSY);
    if (dpi > 0 && dpi != Font().PixelsPerInch()) {
        const int points = Font().Size();
        Font().SetPixelsPerInch(dpi);
        Font().SetSize(points);
    }
    if (BitmapSelected())
        return;
    try {
        SelectBitmap(GetBitmapHandle());
    } catch (...) {
        // No half-made device context: the next use tries again.
        FreeHandles();
        throw;
    }
}

HDC GetCanvasDC(TCanvas& canvas)
{
    if (auto* memory = As<TMemoryCanvas>(&canvas))
        return memory->GetReferenceDC();
    if (&canvas == &Printer().Canvas())
        return Printer().Handle();
    return canvas.Handle();
}

bool IsPrinterCanvas(TCanvas& canvas)
{
    if (&canvas == &Printer().Canvas())
        return true;
    HDC dc = GetCanvasDC(canvas);
    // No device context answers 0, the plotter's number: that is no printer.
    if (!dc)
        return false;
    const int technology = ::GetDeviceCaps(dc, TECHNOLOGY);
    return technology == DT_PLOTTER || technology == DT_RASPRINTER;
}
