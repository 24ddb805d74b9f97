// The image controls on a screen of 8 bits per pixel: they paint with the library's default
// palette and give the device context its palette back, and their form realises it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/UDrawSupport.h"
#include "imaging/UImageEx.h"
#include "tests/support/TestImagePack.h"
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
