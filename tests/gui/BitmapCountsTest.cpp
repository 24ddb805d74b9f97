// Bitmaps give back every GDI object they make: loading, drawing and freeing a thousand of
// them leaves the process's counts where they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/support/GuiCounts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Palettes.h"
#include "toolkit/graphics/Picture.h"

namespace {

// A glyph-sized palette picture, loaded, drawn plainly and transparently, copied, given a new
// palette, resized and held by a picture.
void LoadDrawAndFree(const std::vector<uint8_t>& file)
{
    TBitmap bitmap;
    LoadBmp(bitmap, file);
    TBitmap target;
    target.SetSize(40, 40);
    target.Canvas().TextOut(0, 0, L"ソ");
    target.Canvas().RenderScaled({0, 0, 40, 40}, &bitmap);
    bitmap.SetTransparent(true);
    target.Canvas().Render(2, 2, &bitmap);
    TBitmap copy;
    copy.CopyIn(&bitmap);
    copy.SetPalette(CopyPalette(bitmap.Palette()));
    copy.SetSize(20, 10);
    TPicture picture;
    picture.SetGraphic(&copy);
    TMemoryStream saved;
    picture.Bitmap().SaveStream(saved);
}

}  // namespace

TEST(GuiCounts, AThousandBitmapsLoadedDrawnAndFreedLeaveTheCountsFlat)
{
    BmpSpec glyph;
    glyph.bitCount = 8;
    glyph.width = glyph.height = 17;
    for (int i = 0; i < 256; ++i)
        glyph.table.push_back({static_cast<BYTE>(i), static_cast<BYTE>(i / 2), static_cast<BYTE>(255 - i), 0});
    for (int y = 0; y < 17; ++y)
        glyph.rows.push_back(std::vector<uint8_t>(17, static_cast<uint8_t>(y * 15)));
    const std::vector<uint8_t> file = BmpFile(glyph);

    LoadDrawAndFree(file);  // whatever the system makes once, on first use, is made now
    const GuiLeakCheck check;
    for (int i = 0; i < 1000; ++i)
        LoadDrawAndFree(file);
    const GuiCounts after = CountGuiObjects();
    std::printf("GDI objects %ld -> %ld, windows %ld -> %ld\n", check.Before().gdiObjects, after.gdiObjects,
                check.Before().topLevelWindows + check.Before().childWindows,
                after.topLevelWindows + after.childWindows);
    EXPECT_EQ(check.Check(), "");
}
