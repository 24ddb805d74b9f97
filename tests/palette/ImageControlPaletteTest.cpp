// The image controls on a screen of 8 bits per pixel: they paint with the library's default
// palette and give the device context its palette back, and their form realises it; the
// matrix pack's cell copies keep the picture's colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/UDrawSupport.h"
#include "imaging/UImageEx.h"
#include "imaging/UMatrixImagePack.h"
#include "tests/support/TestImagePack.h"
#include "toolkit/graphics/Palettes.h"
#include "toolkit/windows/Forms.h"

namespace {

class PaletteScreenControls : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("SORANOTE_PALETTE_SCREEN"))
            ASSERT_TRUE(IsPaletteDevice()) << "this run is to be on a screen of 8 bits per pixel";
        else if (!IsPaletteDevice())
            GTEST_SKIP() << "not a palette screen";
    }
};

}  // namespace

TEST_F(PaletteScreenControls, PaintingSelectsTheDefaultPaletteAndRestoresItEvenWhenDrawingFails)
{
    TTestPack pack(nullptr, 40, 30);
    TImageEx image(nullptr);
    image.SetImagePack(&pack);
    WhitePage page(75, 25);
    HDC dc = page.Canvas().Handle();
    const HGDIOBJ before = ::GetCurrentObject(dc, OBJ_PAL);
    for (bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "drawing fails" : "drawing succeeds");
        pack.FailDrawing = fail;
        pack.PaletteWhileDrawing = nullptr;
        if (fail)
            EXPECT_THROW(image.PaintToDC(dc), EImagePack);
        else
            image.PaintToDC(dc);
        ::SelectClipRgn(dc, nullptr);
        EXPECT_EQ(pack.PaletteWhileDrawing, GetDefaultPalette());
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_PAL), before);
    }
}

TEST_F(PaletteScreenControls, TheFormRealisesThePaletteItsImageControlAsksFor)
{
    TForm form(nullptr);
    form.SetClientSize(100, 100);
    auto* image = new TImageEx(&form);
    image->SetParent(&form);
    form.Show();
    EXPECT_EQ(image->QueryPalette(), GetDefaultPalette());
    EXPECT_EQ(form.Perform(WM_QUERYNEWPALETTE), TRUE) << "the form itself has none";
    image->SetParent(nullptr);
    EXPECT_EQ(form.Perform(WM_QUERYNEWPALETTE), FALSE);
    delete image;
}

// A cell copied out of a matrix pack on a palette screen is an 8-bit bitmap with the colours
// of the picture's own palette, so it shows in them rather than in the halftone ones.
TEST_F(PaletteScreenControls, ACellCopiedOnAPaletteScreenIsEightBitInThePicturesColours)
{
    TMatrixImagePack pack(nullptr);
    TPicture source;
    TBitmap& picture = source.Bitmap();
    picture.SetPixelFormat(TPixelFormat::pf8bit);
    const RGBQUAD colours[2] = {{0x10, 0x20, 0x30, 0}, {0x11, 0x22, 0x33, 0}};  // not halftone ones
    picture.SetPalette(PaletteFromColorTable(colours, 2));
    picture.SetSize(8, 4);
    pack.SetImage(source);
    pack.SetCountCol(2);
    TPicture cell;
    pack.GetImage(cell, 1);
    ASSERT_NE(As<TBitmap>(cell.Graphic()), nullptr);
    EXPECT_EQ(cell.Bitmap().PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(cell.Width(), 4);
    PALETTEENTRY entry{};
    ASSERT_EQ(::GetPaletteEntries(cell.Bitmap().Palette(), 1, 1, &entry), 1u);
    EXPECT_EQ(RGB(entry.peRed, entry.peGreen, entry.peBlue), RGB(0x33, 0x22, 0x11));
    EXPECT_NE(cell.Bitmap().Palette(), picture.Palette()) << "a copy of it";
}
