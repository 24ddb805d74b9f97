// The canvas and its tools, and the printer bound to a memory bitmap.
#include "toolkit/graphics/Canvas.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Printer.h"

namespace {

// A 24-bit DIB section selected into its own memory device context.
struct MemoryPage {
    unique_hdc dc{::CreateCompatibleDC(nullptr)};
    unique_hbitmap bitmap;
    HGDIOBJ old = nullptr;
    explicit MemoryPage(int size)
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, size, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        old = ::SelectObject(dc.get(), bitmap.get());
        const RECT all{0, 0, size, size};
        ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    ~MemoryPage() { ::SelectObject(dc.get(), old); }
    COLORREF Pixel(int x, int y) { return ::GetPixel(dc.get(), x, y); }
};

}  // namespace

TEST(Canvas, AttachingAnotherDeviceContextDeselectsItsToolsFromTheOldOne)
{
    MemoryPage first(8), second(8);
    const HGDIOBJ stockFont = ::GetCurrentObject(first.dc.get(), OBJ_FONT);
    const HGDIOBJ stockPen = ::GetCurrentObject(first.dc.get(), OBJ_PEN);
    const HGDIOBJ stockBrush = ::GetCurrentObject(first.dc.get(), OBJ_BRUSH);

    TCanvas canvas;
    EXPECT_TRUE(FailsWith<EInvalidOperation>([&] { canvas.Handle(); }, tkconst::SNoCanvasHandle));
    canvas.AttachHandle(first.dc.get());
    canvas.TextOut(0, 0, L"ソ");
    canvas.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(::GetCurrentObject(first.dc.get(), OBJ_FONT), canvas.Font().Handle());
    EXPECT_EQ(::GetCurrentObject(first.dc.get(), OBJ_PEN), canvas.Pen().Handle());
    EXPECT_EQ(::GetCurrentObject(first.dc.get(), OBJ_BRUSH), canvas.Brush().Handle());

    canvas.AttachHandle(second.dc.get());
    EXPECT_EQ(::GetCurrentObject(first.dc.get(), OBJ_FONT), stockFont);
    EXPECT_EQ(::GetCurrentObject(first.dc.get(), OBJ_PEN), stockPen);
    EXPECT_EQ(::GetCurrentObject(first.dc.get(), OBJ_BRUSH), stockBrush);

    // A tool changed while selected leaves the device context before its object goes.
    canvas.Brush().SetColor(clBlue);
    canvas.FillRect({0, 0, 2, 2});
    const HGDIOBJ blue = canvas.Brush().Handle();
    canvas.Brush().SetColor(clRed);
    EXPECT_NE(::GetCurrentObject(second.dc.get(), OBJ_BRUSH), blue);
    canvas.FillRect({2, 0, 4, 2});
    EXPECT_EQ(second.Pixel(0, 0), kBlue);
    EXPECT_EQ(second.Pixel(3, 0), kRed);
    canvas.AttachHandle(nullptr);
    EXPECT_FALSE(canvas.HandleAllocated());
}

TEST(Canvas, FontHeightFollowsSizeAndResolution)
{
    struct Case {
        int dpi, points, height;
    };
    const Case cases[] = {{96, 9, -12}, {72, 9, -9}, {120, 10, -17}, {600, 12, -100}};
    for (const Case& c : cases) {
        TFont font;
        font.SetPixelsPerInch(c.dpi);
        font.SetSize(c.points);
        EXPECT_EQ(font.Height(), c.height) << c.dpi << " dpi, " << c.points << " pt";
        EXPECT_EQ(font.Size(), c.points);
    }
    TFont font;
    font.SetPixelsPerInch(96);
    font.SetHeight(-12);
    font.SetPixelsPerInch(192);
    EXPECT_EQ(font.Height(), -12) << "a new resolution keeps the pixels";
    EXPECT_EQ(font.Size(), 5);

    TFont printerFont;
    printerFont.SetPixelsPerInch(600);
    printerFont.CopyIn(&font);
    EXPECT_EQ(printerFont.Size(), 5) << "copied across resolutions, the points stay";
}

TEST(Canvas, GraphicsAreCopiedWithTheCopyMode)
{
    TBitmap bitmap, source;
    for (TBitmap* b : {&bitmap, &source}) {
        b->SetPixelFormat(TPixelFormat::pf24bit);
        b->SetSize(2, 2);  // white
    }
    bitmap.Canvas().SetCopyMode(NOTSRCCOPY);
    bitmap.Canvas().Render(1, 1, &source);
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), kBlack);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kWhite);
    EXPECT_EQ(bitmap.Canvas().ClipRect().right, 2);
}

TEST(Printer, PrintsIntoADeviceContextItIsBoundTo)
{
    MemoryPage page(40);
    TPrinter& printer = Printer();
    printer.BindDC(page.dc.get());
    EXPECT_EQ(printer.PageWidth(), 40);
    EXPECT_EQ(printer.PageHeight(), 40);

    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(2, 2);
    picture.Canvas().Brush().SetColor(clBlue);
    picture.Canvas().FillRect({0, 0, 2, 2});

    printer.BeginDoc();
    EXPECT_TRUE(printer.Printing());
    EXPECT_TRUE(FailsWith<EPrinter>([&] { printer.BeginDoc(); }, tkconst::SPrinting));
    printer.Canvas().Brush().SetColor(clRed);
    printer.Canvas().FillRect({0, 0, 10, 10});
    printer.Canvas().RenderScaled({20, 20, 40, 40}, &picture);
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(printer.Canvas().HandleAllocated());

    EXPECT_EQ(page.Pixel(5, 5), kRed);
    EXPECT_EQ(page.Pixel(15, 15), kWhite);
    EXPECT_EQ(page.Pixel(25, 25), kBlue);
    EXPECT_EQ(page.Pixel(39, 39), kBlue);
    EXPECT_EQ(printer.Canvas().Font().PixelsPerInch(), ::GetDeviceCaps(page.dc.get(), LOGPIXELSY));
    EXPECT_TRUE(FailsWith<EPrinter>([&] { printer.EndDoc(); }, tkconst::SNotPrinting));
    printer.BindDC(nullptr);
}
