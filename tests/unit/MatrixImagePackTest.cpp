// The matrix pack: its grid of cells over one picture, its notifications, the copies it hands
// out and its drawing, and the loading of its picture once its owner's layout is complete.
#include "imaging/UMatrixImagePack.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/BmpBytes.h"
#include "tests/support/HostPath.h"
#include "toolkit/graphics/Canvas.h"

namespace {

std::string Show(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// A w x h picture whose left and right halves are red and blue.
void Paint(TMatrixImagePack& pack, int w, int h)
{
    TPicture holder;
    TBitmap& picture = holder.Bitmap();
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(w, h);
    picture.Canvas().Brush().SetColor(kRed);
    picture.Canvas().FillRect({0, 0, w / 2, h});
    picture.Canvas().Brush().SetColor(kBlue);
    picture.Canvas().FillRect({w / 2, 0, w, h});
    pack.SetImage(holder);
}

}  // namespace

TEST(MatrixImagePack, CellsFallOnRoundedFractionsAndNeverDivideByZero)
{
    const struct {
        int cols, rows, w;  // w 0: no picture; else w x 4
        int index;
        std::string rect;
        bool empty;
    } cases[] = {
        {1, 1, 400, 0, "0,0,400,4", false}, {1, 1, 400, -1, "0,0,0,0", true}, {1, 1, 400, 1, "0,0,0,0", true},
        {1, 1, 0, 0, "0,0,0,0", true},      // no picture
        {3, 2, 10, 4, "3,2,7,4", false},    // row 1, column 1; columns 3, 4 and 3 wide
        {3, 2, 10, 5, "7,2,10,4", false},   {3, 2, 10, 6, "0,0,0,0", true},
        {4, 1, 2, 1, "1,0,1,4", false},     // edges 0, 1, 1, 2, 2: a cell of no width
        {0, 1, 10, 0, "0,0,0,0", true},     {1, 0, 10, 0, "0,0,0,0", true},
        {-3, -2, 10, 5, "0,0,0,0", false},  // count 6, yet every cell is empty
        {-3, 2, 10, 0, "0,0,0,0", true},    // count -6
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows) + " over width " + std::to_string(c.w) +
                     ", index " + std::to_string(c.index));
        TMatrixImagePack pack(nullptr);
        if (c.w)
            Paint(pack, c.w, 4);
        pack.SetCountCol(c.cols);
        pack.SetCountRow(c.rows);
        EXPECT_EQ(pack.Count(), c.cols * c.rows);
        EXPECT_EQ(Show(pack.ImageRect(c.index)), c.rect);
        EXPECT_EQ(pack.IsEmpty(c.index), c.empty);
    }
}

// The order (every client, then OnChange) is the abstract pack's; here, what counts as a change.
TEST(MatrixImagePack, EachRealChangeNotifiesOnce)
{
    TMatrixImagePack pack(nullptr);
    int changes = 0;
    pack.OnChange = [&](TObject*) { ++changes; };
    pack.SetCountCol(1);
    pack.SetCountRow(1);
    EXPECT_EQ(changes, 0) << "the same counts again";
    pack.SetCountCol(2);
    pack.SetCountRow(-1);
    Paint(pack, 6, 4);                    // a picture copied in
    pack.Image().Bitmap().SetSize(8, 4);  // the owned picture changed
    EXPECT_EQ(changes, 4);
}

TEST(MatrixImagePack, OneCellHandsOutTheWholeGraphicMoreCellsABitmapOfTheCell)
{
    TMatrixImagePack pack(nullptr);
    TPicture jpeg;
    jpeg.LoadFile(HostPath(JPEG_SEED));  // 131 x 64, blocks of 32: red, green, blue, yellow
    pack.SetImage(jpeg);
    TPicture got;
    pack.GetImage(got, 0);
    ASSERT_NE(got.Graphic(), nullptr);
    EXPECT_EQ(got.Graphic()->ClassName(), pack.Image().Graphic()->ClassName());
    EXPECT_NE(got.Graphic(), pack.Image().Graphic()) << "a copy";
    EXPECT_EQ(got.Width(), 131);

    pack.SetCountCol(2);  // cells 0..66 and 66..131
    pack.GetImage(got, 1);
    ASSERT_NE(As<TBitmap>(got.Graphic()), nullptr);
    EXPECT_EQ(Show({0, 0, got.Width(), got.Height()}), "0,0,65,64");
    const COLORREF blue = got.Bitmap().Canvas().Pixel(10, 10);  // (76, 10) of the whole
    EXPECT_TRUE(GetBValue(blue) > 200 && GetRValue(blue) < 60 && GetGValue(blue) < 60) << std::hex << blue;
    pack.GetImage(got, 2);
    EXPECT_EQ(got.Graphic(), nullptr) << "no such cell: the picture is cleared";
}

TEST(MatrixImagePack, ACellOfABitmapIsDrawnScaledFromItsOwnPart)
{
    TMatrixImagePack pack(nullptr);
    Paint(pack, 20, 10);
    pack.SetCountCol(2);
    WhitePage page(40, 20);
    pack.RenderScaled(page.Canvas(), {5, 2, 35, 18}, 1);  // the blue half, three times as wide
    EXPECT_EQ(page.Canvas().Pixel(5, 2), kBlue);
    EXPECT_EQ(page.Canvas().Pixel(34, 17), kBlue);
    EXPECT_EQ(page.Canvas().Pixel(35, 17), kWhite);
}

// Its errors are the loader's; the end-to-end scenarios show them through the real program.
TEST(MatrixImagePack, LoadsOnceItsOwnersLayoutIsCompleteThenReloadsOnEachChange)
{
    TComponent owner(nullptr);
    owner.SetLoading(true);
    TMatrixImagePack pack(&owner);
    pack.ImageLoader().SetResType(L"RT_BITMAP");
    pack.ImageLoader().SetResName(L"LOGO");
    EXPECT_TRUE(pack.IsEmpty(0)) << "settings alone load nothing";
    pack.AfterLoad();
    EXPECT_EQ(pack.GetImageWidth(0), 400);
    pack.ImageLoader().SetResName(L"Button");  // ready now: loaded at once
    EXPECT_LT(pack.GetImageWidth(0), 400);
}
