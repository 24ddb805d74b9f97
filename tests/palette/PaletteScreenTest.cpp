// On a screen of 8 bits per pixel, which shows colours through a palette: the screen
// questions, device bitmaps captured through their palette, and the default palette realised.
// scripts/test.sh runs these on such a screen of their own; elsewhere they are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/UDIB.h"
#include "imaging/UDrawSupport.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Palettes.h"

namespace {

class PaletteScreen : public testing::Test {
protected:
    void SetUp() override
    {
        if (ScreenColorDepth() == 8)
            return;
        if (std::getenv("SORANOTE_PALETTE_SCREEN"))
            FAIL() << "this run is to be on a screen of 8 bits per pixel, not " << ScreenColorDepth();
        GTEST_SKIP() << "not a palette screen";
    }
};

}  // namespace

TEST_F(PaletteScreen, IsAPaletteDevice)
{
    WindowDC screen(nullptr);
    EXPECT_TRUE(IsPaletteDevice());
    EXPECT_NE(::GetDeviceCaps(screen.get(), RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(::GetDeviceCaps(screen.get(), SIZEPALETTE), 256);
}

TEST_F(PaletteScreen, ADeviceBitmapIsCapturedWithItsPalettesColours)
{
    RGBQUAD table[16];
    for (int i = 0; i < 16; ++i)
        table[i] = {BYTE(16 * i), BYTE(255 - 8 * i), BYTE(40 + 9 * i), 0};
    table[5] = Quad(kRed);
    TBitmap bitmap;
    bitmap.SetSize(4, 2);
    ASSERT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDDB);
    bitmap.SetPalette(PaletteFromColorTable(table, 16));
    bitmap.Canvas().Brush().SetColor(clRed);
    bitmap.Canvas().FillRect({0, 0, 4, 2});

    TDIB dib;
    dib.SetBitmap(bitmap);
    EXPECT_EQ(dib.Info().header.biBitCount, 8);
    for (int i = 0; i < 16; ++i) {
        const RGBQUAD& c = dib.Info().colors[i];
        EXPECT_EQ(RGB(c.rgbRed, c.rgbGreen, c.rgbBlue), RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue))
            << "entry " << i;
    }
    TBitmap page;
    page.SetPixelFormat(TPixelFormat::pf24bit);
    page.SetSize(4, 2);
    EXPECT_TRUE(dib.Render(page.Canvas(), {0, 0, 4, 2}, {0, 0, 4, 2}));
    EXPECT_EQ(page.Canvas().Pixel(3, 1), kRed);
}

TEST_F(PaletteScreen, TheDefaultPaletteWasRealisedAtStartUp)
{
    // The screen has fewer free entries than the palette has colours, and they are taken in
    // the palette's order: the first half at least is there, and realising it again adds none.
    WindowDC screen(nullptr);
    PALETTEENTRY system[256], ours[256];
    ASSERT_EQ(::GetSystemPaletteEntries(screen.get(), 0, 256, system), 256u);
    ASSERT_EQ(::GetPaletteEntries(GetDefaultPalette(), 0, 256, ours), 256u);
    for (int i = 0; i < 128; ++i) {
        const PALETTEENTRY& e = ours[i];
        bool found = false;
        for (const PALETTEENTRY& s : system)
            found |= s.peRed == e.peRed && s.peGreen == e.peGreen && s.peBlue == e.peBlue;
        EXPECT_TRUE(found) << "entry " << i << ": " << int(e.peRed) << "," << int(e.peGreen) << "," << int(e.peBlue);
    }
    const PaletteGuard select(screen.get(), GetDefaultPalette(), true);
    EXPECT_EQ(::RealizePalette(screen.get()), 0u);
}
