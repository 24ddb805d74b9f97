// Captures, draws, part draws and memory canvases give back every GDI object they make.
#include <gtest/gtest.h>

#include <cstdio>

#include "imaging/UCanvas.h"
#include "imaging/UDIB.h"
#include "imaging/UDrawSupport.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/GuiCounts.h"

namespace {

struct TOnBitmap : TMemoryCanvas {
    HBITMAP GetBitmapHandle() override { return bitmap; }
    HBITMAP bitmap = nullptr;
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
    TOnBitmap canvas;
    canvas.bitmap = device.Handle();
    canvas.TextOut(0, 0, L"ソ");
    canvas.SetReferenceDC(target.Canvas().Handle());
    canvas.FillRect({0, 0, 4, 4});
}

}  // namespace

TEST(GuiCounts, AThousandCapturesAndDrawsLeaveTheCountsFlat)
{
    TBitmap section, device;
    WhitePage target(16, 16);
    section.SetPixelFormat(TPixelFormat::pf8bit);
    section.SetSize(16, 16);
    device.SetSize(16, 16);
    CaptureAndDraw(section, device, target);  // whatever the system makes once is made now
    const GuiLeakCheck check;
    for (int i = 0; i < 1000; ++i)
        CaptureAndDraw(section, device, target);
    std::printf("GDI objects %ld -> %ld after 1,000 capture/draw cycles\n", check.Before().gdiObjects,
                CountGdiObjects());
    EXPECT_EQ(check.Check(), "");
}
