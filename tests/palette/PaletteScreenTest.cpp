// On a screen of 8 bits per pixel, which shows colours through a palette: device bitmaps are
// captured through their palette, and the default palette was realised at start-up.
// scripts/test.sh runs these on such a screen of their own; elsewhere they are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "imaging/UDIB.h"
#include "imaging/UDrawSupport.h"
#include "imaging/USafetyBitmap.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Palettes.h"

namespace {

class PaletteScreen : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("SORANOTE_PALETTE_SCREEN"))
            ASSERT_EQ(ScreenColorDepth(), 8) << "this run is to be on a screen of 8 bits per pixel";
        else if (ScreenColorDepth() != 8)
            GTEST_SKIP() << "not a palette screen";
        EXPECT_TRUE(IsPaletteDevice() && ::GetDeviceCaps(screen.get(), SIZEPALETTE) == 256);
    }
    WindowDC screen{nullptr};
};

}  // namespace

TEST_F(PaletteScreen, ADeviceBitmapIsCapturedWithItsPalettesColours)
{
    RGBQUAD table[16];
    for (int i = 0; i < 16; ++i)
        table[i] = {BYTE(16 * i), BYTE(255 - 8 * i), BYTE(40 + 9 * i), 0};
    table[5] = Quad(kRed);
    TBitmap bitmap;
    bitmap.SetSize(4, 2);
    bitmap.SetPalette(PaletteFromColorTable(table, 16));
    bitmap.Canvas().Brush().SetColor(clRed);
    bitmap.Canvas().FillRect({0, 0, 4, 2});
    TDIB dib;
    dib.SetBitmap(bitmap);
    EXPECT_EQ(dib.Info().header.biBitCount, 8);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(std::memcmp(&dib.Info().colors[i], &table[i], 3), 0) << i;
    WhitePage page(4, 2);
    EXPECT_TRUE(dib.Render(page.Canvas(), {0, 0, 4, 2}, {0, 0, 4, 2}));
    EXPECT_EQ(page.Canvas().Pixel(3, 1), kRed);
}

TEST_F(PaletteScreen, TheDefaultPaletteWasRealisedAtStartUp)
{
    const PaletteGuard select(screen.get(), GetDefaultPalette(), true);
    EXPECT_EQ(::RealizePalette(screen.get()), 0u) << "no entry left to map";
}

TEST_F(PaletteScreen, ASafetyBitmapDrawsTransparentlyOnADeviceBitmap)
{
    // The mask and the image copy go on by raster operations on palette indexes: black must be
    // the first index and white the last, on the device as in the picture.
    BmpSpec s;
    s.width = 3;
    s.height = 1;
    s.bitCount = 8;
    s.table = {Quad(kRed), Quad(kBlue), Quad(kWhite)};
    s.rows = {Row(1, {0, 1, 2})};
    TSafetyBitmap bitmap;
    LoadBmp(bitmap, BmpFile(s));
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(clRed);
    TBitmap page;  // device-dependent: 8 bits on this screen
    page.SetSize(3, 1);
    page.Canvas().Brush().SetColor(clSilver);
    page.Canvas().FillRect({0, 0, 3, 1});
    page.Canvas().Render(0, 0, &bitmap);
    EXPECT_EQ(page.Canvas().Pixel(0, 0), RGB(192, 192, 192));
    EXPECT_EQ(page.Canvas().Pixel(1, 0), kBlue);
    EXPECT_EQ(page.Canvas().Pixel(2, 0), kWhite);
}
