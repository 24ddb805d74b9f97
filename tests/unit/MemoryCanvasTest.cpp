// The memory canvas: its device context made on demand with the descendant's bitmap, given
// back whole, fonts measured on the reference device; and the canvas questions.
#include "imaging/UCanvas.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/BmpBytes.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Printer.h"

namespace {

unique_hbitmap Section(int size)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, size, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    return unique_hbitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

// Draws into whichever section it is told to hold.
class TSectionCanvas : public TMemoryCanvas {
public:
    HBITMAP GetBitmapHandle() override { return current; }
    HBITMAP current = nullptr;
};

// True when the bitmap is selected in no device context: only then may another take it.
bool SelectedNowhere(HBITMAP bitmap)
{
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    const SelectGuard select(dc.get(), bitmap);
    return ::GetCurrentObject(dc.get(), OBJ_BITMAP) == bitmap;
}

}  // namespace

TEST(MemoryCanvas, HoldsTheDescendantsBitmapOfTheMomentAndGivesEverythingBack)
{
    const unique_hbitmap first = Section(4), second = Section(4);
    TSectionCanvas canvas;
    canvas.current = first.get();
    EXPECT_FALSE(canvas.HandleAllocated());
    HDC dc = canvas.Handle();
    EXPECT_TRUE(canvas.BitmapSelected());
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), first.get());
    canvas.Brush().SetColor(clBlue);
    canvas.FillRect({0, 0, 4, 4});
    EXPECT_EQ(canvas.Pixel(3, 3), kBlue);

    canvas.FreeHandles();
    EXPECT_FALSE(canvas.HandleAllocated());
    EXPECT_FALSE(canvas.BitmapSelected());
    EXPECT_TRUE(SelectedNowhere(first.get()));
    canvas.current = second.get();
    EXPECT_EQ(::GetCurrentObject(canvas.Handle(), OBJ_BITMAP), second.get());

    // Selecting on a canvas without a device context: deselecting then frees both sections.
    TSectionCanvas fresh;
    fresh.current = first.get();
    const unique_hbitmap other = Section(2);
    fresh.SelectBitmap(other.get());
    EXPECT_EQ(::GetCurrentObject(fresh.Handle(), OBJ_BITMAP), other.get());
    fresh.DeselectBitmap();
    EXPECT_TRUE(SelectedNowhere(first.get()));
    EXPECT_TRUE(SelectedNowhere(other.get()));
}

TEST(MemoryCanvas, AnotherReferenceDeviceStartsAfreshAndFontsKeepTheirPoints)
{
    const unique_hbitmap bitmap = Section(4);
    TSectionCanvas canvas;
    canvas.current = bitmap.get();
    HDC screen = canvas.GetReferenceDC();
    EXPECT_EQ(::GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
    canvas.Font().SetPixelsPerInch(72);
    canvas.Font().SetSize(9);
    canvas.Handle();
    EXPECT_EQ(canvas.Font().PixelsPerInch(), ::GetDeviceCaps(screen, LOGPIXELSY));
    EXPECT_EQ(canvas.Font().Size(), 9);

    unique_hdc reference(::CreateCompatibleDC(nullptr));
    canvas.SetReferenceDC(reference.get());
    EXPECT_FALSE(canvas.HandleAllocated()) << "a new reference frees the handles";
    EXPECT_TRUE(SelectedNowhere(bitmap.get()));
    EXPECT_EQ(canvas.GetReferenceDC(), reference.get());
    HDC dc = canvas.Handle();
    canvas.SetReferenceDC(reference.get());
    EXPECT_EQ(canvas.Handle(), dc) << "the same reference changes nothing";
}

TEST(MemoryCanvas, CanvasDeviceAndPrinterQuestions)
{
    const unique_hbitmap bitmap = Section(4), page = Section(8);
    unique_hdc pageDC(::CreateCompatibleDC(nullptr));
    const SelectGuard selectPage(pageDC.get(), page.get());
    TSectionCanvas memory, referenced;
    memory.current = referenced.current = bitmap.get();
    referenced.SetReferenceDC(pageDC.get());
    TBitmap picture;
    picture.SetSize(2, 2);
    Printer().BindDC(pageDC.get());

    const struct {
        const char* name;
        TCanvas& canvas;
        HDC dc;
        bool printer;
    } cases[] = {
        {"memory canvas", memory, memory.GetReferenceDC(), false},
        {"memory canvas with a reference", referenced, pageDC.get(), false},
        {"bitmap canvas", picture.Canvas(), picture.Canvas().Handle(), false},
        {"the printer's canvas", Printer().Canvas(), pageDC.get(), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetCanvasDC(c.canvas), c.dc) << c.name;
        EXPECT_EQ(IsPrinterCanvas(c.canvas), c.printer) << c.name;
    }
    Printer().BindDC(nullptr);
}
