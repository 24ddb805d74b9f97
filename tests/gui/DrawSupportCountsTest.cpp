// The drawing support gives back every GDI object it makes: a thousand cycles of captures,
// draws, part draws and memory canvases leave the process's counts where they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "imaging/UCanvas.h"
#include "imaging/UDIB.h"
#include "imaging/UDrawSupport.h"
#include "tests/support/GuiCounts.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

class TBitmapOnCanvas : public TMemoryCanvas {
public:
    explicit TBitmapOnCanvas(HBITMAP bitmap) : bitmap_(bitmap) {}
    HBITMAP GetBitmapHandle() override { return bitmap_; }

private:
    HBITMAP bitmap_;
};

void CaptureAndDraw(TBitmap& section, TBitmap& device, TBitmap& target)
{
    TDIB fromSection, fromDevice, shared;
    fromSection.SetBitmap(section);
    fromDevice.SetBitmapHandle(device.Handle(), GetDefaultPalette());
    shared.CopyIn(fromDevice);
    fromSection.Render(target.Canvas(), {0, 0, 8, 8}, {0, 0, 16, 16});
    shared.DrawWithFallback(target.Canvas(), {8, 0, 16, 8}, {0, 0, 16, 16});
    try {
        fromSection.SetBitmapHandle(reinterpret_cast<HBITMAP>(GetDefaultPalette()), nullptr);
    } catch (const EInvalidGraphic&) {
    }
    StretchDrawPart(target.Canvas(), {0, 8, 16, 16}, section, {4, 4, 12, 12});

    TBitmapOnCanvas canvas(device.Handle());
    canvas.TextOut(0, 0, L"ソ");
    canvas.SetReferenceDC(target.Canvas().Handle());
    canvas.FillRect({0, 0, 4, 4});
}

}  // namespace

TEST(GuiCounts, AThousandCapturesAndDrawsLeaveTheCountsFlat)
{
    TBitmap section, device, target;
    section.SetPixelFormat(TPixelFormat::pf8bit);
    for (TBitmap* b : {&section, &device, &target})
        b->SetSize(16, 16);
    device.Canvas().Brush().SetColor(clBlue);
    device.Canvas().FillRect({0, 0, 16, 16});

    CaptureAndDraw(section, device, target);  // whatever the system makes once is made now
    const GuiLeakCheck check;
    for (int i = 0; i < 1000; ++i)
        CaptureAndDraw(section, device, target);
    const GuiCounts after = CountGuiObjects();
    std::printf("GDI objects %ld -> %ld after 1,000 capture/draw cycles\n", check.Before().gdiObjects, after.gdiObjects);
    EXPECT_EQ(check.Check(), "");
}
