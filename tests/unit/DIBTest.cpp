// The DIB holder: captures of every kind of bitmap, shared and borrowed pixels, drawing and
// the row-by-row fallback.
#include "imaging/UDIB.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

struct Page : TBitmap {
    explicit Page(int width = 10, int height = 10)
    {
        SetPixelFormat(TPixelFormat::pf24bit);
        SetSize(width, height);
    }
};

void Fill(TBitmap& bitmap, TColor color)
{
    bitmap.Canvas().Brush().SetColor(color);
    bitmap.Canvas().FillRect({0, 0, bitmap.Width(), bitmap.Height()});
}

// A 2 x 10 section: rows 0-2 red, 3-5 green, 6-9 blue, counted from the top.
unique_hbitmap Bands(bool topDown)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, topDown ? -10 : 10, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    unique_hbitmap section(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    auto* pixels = static_cast<RGBQUAD*>(bits);
    for (int row = 0; row < 10; ++row) {
        const RGBQUAD q = Quad(row < 3 ? kRed : row < 6 ? kGreen : kBlue);
        const int stored = topDown ? row : 9 - row;
        pixels[2 * stored] = pixels[2 * stored + 1] = q;
    }
    return section;
}

// A device that refuses to draw the whole image at once and notes each band it is given.
class TRefusingDIB : public TDIB {
public:
    struct Call {
        LONG destTop, destBottom;
        int srcY, srcHeight;
    };
    std::vector<Call> calls;

protected:
    int StretchToDevice(HDC dc, const RECT& dest, int srcX, int srcY, int srcWidth, int srcHeight, DWORD rop) override
    {
        calls.push_back({dest.top, dest.bottom, srcY, srcHeight});
        if (srcHeight == 10)
            return 0;
        return TDIB::StretchToDevice(dc, dest, srcX, srcY, srcWidth, srcHeight, rop);
    }
};

}  // namespace

TEST(DIB, CapturedFromEveryKindOfBitmapItDrawsTheSamePicture)
{
    const struct {
        TPixelFormat format;
        TColor color;
    } cases[] = {{TPixelFormat::pfDevice, clBlue}, {TPixelFormat::pf1bit, clWhite}, {TPixelFormat::pf4bit, clRed},
                 {TPixelFormat::pf8bit, clLime}, {TPixelFormat::pf16bit, clLime}, {TPixelFormat::pf24bit, clBlue},
                 {TPixelFormat::pf32bit, clRed}};
    for (const auto& c : cases) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(c.format);
        bitmap.SetSize(3, 2);
        Fill(bitmap, c.color);  // the bitmap stays selected in its canvas
        TDIB dib;
        dib.SetBitmap(bitmap);
        Page page;
        EXPECT_TRUE(dib.Render(page.Canvas(), {1, 1, 7, 5}, {0, 0, 3, 2})) << static_cast<int>(c.format);
        EXPECT_EQ(page.Canvas().Pixel(1, 1), c.color) << static_cast<int>(c.format);
        EXPECT_EQ(page.Canvas().Pixel(6, 4), c.color) << static_cast<int>(c.format);
        EXPECT_EQ(page.Canvas().Pixel(7, 5), kWhite) << "outside, untouched";
        EXPECT_EQ(page.Canvas().StretchMode(), COLORONCOLOR);
    }
}

TEST(DIB, ASectionsPixelsAreBorrowedAndADeviceBitmapsCopied)
{
    TBitmap section, device;
    section.SetPixelFormat(TPixelFormat::pf24bit);
    for (TBitmap* b : {&section, &device}) {
        b->SetSize(2, 2);
        Fill(*b, clRed);
    }
    TDIB fromSection, fromDevice;
    fromSection.SetBitmap(section);
    fromDevice.SetBitmap(device);
    DIBSECTION ds{};
    ::GetObjectW(section.Handle(), sizeof ds, &ds);
    EXPECT_EQ(fromSection.Bits(), ds.dsBm.bmBits);

    Fill(section, clBlue);
    Fill(device, clBlue);
    Page page;
    fromSection.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2});
    fromDevice.Render(page.Canvas(), {2, 0, 4, 2}, {0, 0, 2, 2});
    EXPECT_EQ(page.Canvas().Pixel(0, 0), kBlue) << "the section's pixels of now";
    EXPECT_EQ(page.Canvas().Pixel(2, 0), kRed) << "the pixels at the capture";

    // Copies share the pixels, which outlive the TDIB they were captured by.
    TDIB copy;
    {
        TDIB shortLived;
        shortLived.CopyIn(fromDevice);
        copy.CopyIn(shortLived);
    }
    EXPECT_EQ(copy.Bits(), fromDevice.Bits());
    EXPECT_EQ(std::memcmp(&copy.Info(), &fromDevice.Info(), sizeof(TDIBInfo)), 0);
    fromDevice.SetBitmap(section);
    EXPECT_TRUE(copy.Render(page.Canvas(), {4, 0, 6, 2}, {0, 0, 2, 2}));
    EXPECT_EQ(page.Canvas().Pixel(4, 0), kRed);

    // Pixels borrowed from a section that is gone are not read.
    section.SetHandle(nullptr);
    EXPECT_FALSE(fromSection.Render(page.Canvas(), {6, 0, 8, 2}, {0, 0, 2, 2}));
    EXPECT_EQ(page.Canvas().Pixel(6, 0), kWhite);
}

TEST(DIB, WithoutPixelsNothingIsDrawn)
{
    Page page;
    TDIB never;
    EXPECT_FALSE(never.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2}));
    never.DrawWithFallback(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2});

    TDIB failed;
    failed.SetBitmap(page);
    const unique_hpalette notABitmap(::CreateHalftonePalette(nullptr));
    EXPECT_TRUE(FailsWith<EInvalidGraphic>(
        [&] { failed.SetBitmapHandle(reinterpret_cast<HBITMAP>(notABitmap.get()), nullptr); }, tkconst::SInvalidBitmap));
    EXPECT_EQ(failed.Bits(), nullptr);
    EXPECT_FALSE(failed.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2}));

    TDIB dib;
    dib.SetBitmap(page);
    EXPECT_TRUE(dib.Render(page.Canvas(), {0, 0, 0, 0}, {0, 0, 0, 0})) << "nothing to draw";
    EXPECT_TRUE(dib.Render(page.Canvas(), {20, 20, 30, 30}, {0, 0, 2, 2})) << "outside the clipping";
}

TEST(DIB, DrawsWithTheCanvasCopyMode)
{
    Page picture(2, 2), page(2, 2);
    TDIB dib;
    dib.SetBitmap(picture);
    page.Canvas().SetCopyMode(NOTSRCCOPY);
    dib.Render(page.Canvas(), {0, 0, 2, 2}, {0, 0, 2, 2});
    EXPECT_EQ(page.Canvas().Pixel(1, 1), kBlack);
}

TEST(DIB, WhenTheWholeImageIsRefusedEachRowTakesItsBand)
{
    for (bool topDown : {false, true}) {
        const unique_hbitmap bands = Bands(topDown);
        TRefusingDIB dib;
        dib.SetBitmapHandle(bands.get(), nullptr);
        Page page;
        dib.DrawWithFallback(page.Canvas(), {0, 4, 10, 7}, {0, 0, 2, 10});
        // The system counts source rows from the bottom, also in a top-down image.
        const int y[3] = {7, 4, 0};
        ASSERT_EQ(dib.calls.size(), 4u);
        EXPECT_EQ(dib.calls[0].srcHeight, 10) << "the whole image first";
        for (int i = 0; i < 3; ++i) {
            const TRefusingDIB::Call& call = dib.calls[i + 1];
            EXPECT_EQ(call.destTop, 4 + i);
            EXPECT_EQ(call.destBottom, 5 + i);
            EXPECT_EQ(call.srcY, y[i]) << "top-down " << topDown << ", row " << i;
            EXPECT_EQ(call.srcHeight, i == 2 ? 4 : 3);
        }
        EXPECT_EQ(page.Canvas().Pixel(5, 4), kRed) << "top-down " << topDown;
        EXPECT_EQ(page.Canvas().Pixel(5, 5), kGreen);
        EXPECT_EQ(page.Canvas().Pixel(5, 6), kBlue);
        EXPECT_EQ(page.Canvas().Pixel(5, 7), kWhite);
    }
}
