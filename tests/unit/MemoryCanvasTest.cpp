// The memory canvas holds its descendant's bitmap of the moment and gives every handle back.
#include "imaging/UCanvas.h"

#include <gtest/gtest.h>

#include "toolkit/graphics/Printer.h"

namespace {

class TTestCanvas : public TMemoryCanvas {
public:
    HBITMAP GetBitmapHandle() override { return current; }
    HBITMAP current = nullptr;
};

// Only a bitmap selected nowhere can be selected into another device context.
bool SelectedNowhere(HBITMAP bitmap)
{
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    const SelectGuard select(dc.get(), bitmap);
    return ::GetCurrentObject(dc.get(), OBJ_BITMAP) == bitmap;
}

}  // namespace

TEST(MemoryCanvas, HoldsTheDescendantsBitmapOfTheMomentAndGivesEverythingBack)
{
    const unique_hbitmap first(::CreateBitmap(4, 4, 1, 1, nullptr)), second(::CreateBitmap(4, 4, 1, 1, nullptr));
    unique_hdc reference(::CreateCompatibleDC(nullptr));
    TTestCanvas canvas;
    canvas.current = first.get();
    canvas.Font().SetPixelsPerInch(72), canvas.Font().SetSize(9);
    EXPECT_EQ(::GetCurrentObject(canvas.Handle(), OBJ_BITMAP), first.get());
    EXPECT_EQ(canvas.Font().PixelsPerInch(), ::GetDeviceCaps(canvas.GetReferenceDC(), LOGPIXELSY));
    EXPECT_EQ(canvas.Font().Size(), 9) << "the points stay";
    canvas.SetReferenceDC(reference.get());
    EXPECT_TRUE(SelectedNowhere(first.get()));
    EXPECT_EQ(GetCanvasDC(canvas), reference.get());
    canvas.current = second.get();
    EXPECT_EQ(::GetCurrentObject(canvas.Handle(), OBJ_BITMAP), second.get());
    canvas.FreeHandles();

    // Selected before the canvas had a device context: deselecting frees both bitmaps.
    canvas.current = first.get();
    canvas.SelectBitmap(second.get());
    canvas.DeselectBitmap();
    EXPECT_TRUE(SelectedNowhere(first.get()) && SelectedNowhere(second.get()));

    Printer().BindDC(reference.get());
    EXPECT_TRUE(IsPrinterCanvas(Printer().Canvas())) << "the printer's own, whatever its device";
    EXPECT_FALSE(IsPrinterCanvas(canvas));
    Printer().BindDC(nullptr);
}
