// The DIB holder: captures of every kind of bitmap, borrowed and shared pixels, drawing and
// the row-by-row fallback.
#include "imaging/UDIB.h"

#include <gtest/gtest.h>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

void Fill(TBitmap& bitmap, TColor color)
{
    bitmap.Canvas().Brush().SetColor(color);
    bitmap.Canvas().FillRect({0, 0, bitmap.Width(), bitmap.Height()});
}

// A device that refuses the whole image at once and notes each call: dest top, source top,
// rows.
class TRefusingDIB : public TDIB {
public:
    std::vector<std::vector<int>> calls;

protected:
    int StretchToDevice(HDC dc, const RECT& dest, const RECT& src, DWORD rop) override
    {
        const int rows = src.bottom - src.top;
        calls.push_back({dest.top, src.top, rows});
        return rows == 10 ? 0 : TDIB::StretchToDevice(dc, dest, src, rop);
    }
};

}  // namespace

TEST(DIB, CapturedFromEveryKindOfBitmapItDrawsTheSamePicture)
{
    const std::pair<TPixelFormat, TColor> cases[] = {
        {TPixelFormat::pfDevice, clBlue}, {TPixelFormat::pf1bit, clWhite}, {TPixelFormat::pf4bit, clRed},
        {TPixelFormat::pf8bit, clLime},   {TPixelFormat::pf16bit, clLime}, {TPixelFormat::pf32bit, clRed}};
    for (auto [format, color] : cases) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(format);
        bitmap.SetSize(3, 2);
        Fill(bitmap, color);  // and the bitmap stays selected in its canvas
        TDIB dib;
        dib.SetBitmap(bitmap);
        WhitePage page;
        page.Canvas().SetCopyMode(NOTSRCCOPY);
        EXPECT_TRUE(dib.Render(page.Canvas(), {1, 1, 7, 5}, {0, 0, 3, 2}));
        EXPECT_EQ(page.Canvas().Pixel(6, 4), ~color & 0xFFFFFF) << static_cast<int>(format);
        EXPECT_EQ(page.Canvas().Pixel(7, 5), kWhite);
        EXPECT_EQ(page.Canvas().StretchMode(), COLORONCOLOR);
    }
}

TEST(DIB, ASectionsPixelsAreBorrowedAndADeviceBitmapsCopiedAndShared)
{
    WhitePage section(2, 2), page(8, 2);
    TBitmap device;
    device.SetSize(2, 2);
    Fill(device, clRed);
    TDIB fromSection, copy;
    fromSection.SetBitmap(section);
    {
        TDIB fromDevice;
        fromDevice.SetBitmap(device);
        copy.CopyIn(fromDevice);
    }
    Fill(section, clBlue);
    Fill(device, clBlue);
    EXPECT_TRUE(fromSection.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2}));
    EXPECT_TRUE(copy.Render(page.Canvas(), {2, 0, 4, 2}, {0, 0, 2, 2}));
    EXPECT_EQ(page.Canvas().Pixel(0, 0), kBlue) << "the section's pixels of now";
    EXPECT_EQ(page.Canvas().Pixel(2, 0), kRed) << "the pixels at the capture, shared";
    section.SetHandle(nullptr);  // borrowed pixels of a section that is gone are not read
    EXPECT_FALSE(fromSection.Render(page.Canvas(), {4, 0, 6, 2}, {0, 0, 2, 2}));
}

TEST(DIB, WithoutPixelsNothingIsDrawn)
{
    WhitePage page;
    TDIB dib;
    EXPECT_FALSE(dib.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2}));
    dib.SetBitmap(page);
    EXPECT_TRUE(dib.Render(page.Canvas(), {0, 0, 0, 0}, {0, 0, 0, 0}));
    const unique_hpalette notABitmap(::CreateHalftonePalette(nullptr));
    EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { dib.SetBitmapHandle(HBITMAP(notABitmap.get()), nullptr); },
                                           tkconst::SInvalidBitmap));
    EXPECT_FALSE(dib.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2}));
}

TEST(DIB, WhenTheWholeImageIsRefusedEachRowTakesItsBand)
{
    for (int height : {10, -10}) {  // rows 0-2 red, 3-5 green, 6-9 blue, from the top
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 1, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        const unique_hbitmap bands(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        for (int row = 0; row < 10; ++row)
            static_cast<RGBQUAD*>(bits)[height > 0 ? 9 - row : row] = Quad(row < 3 ? kRed : row < 6 ? kGreen : kBlue);
        TRefusingDIB dib;
        dib.SetBitmapHandle(bands.get(), nullptr);
        WhitePage page;
        dib.DrawWithFallback(page.Canvas(), {0, 4, 10, 7}, {0, 0, 1, 10});
        EXPECT_EQ(dib.calls, (std::vector<std::vector<int>>{{4, 0, 10}, {4, 0, 3}, {5, 3, 3}, {6, 6, 4}}));
        for (auto [y, color] : {std::pair{4, kRed}, {5, kGreen}, {6, kBlue}, {7, kWhite}})
            EXPECT_EQ(page.Canvas().Pixel(5, y), color) << "row " << y << ", height " << height;
    }
}
