// The matrix pack: its grid of cells over one picture, its notifications, the copies it hands
// out and its drawing, and the loading of its picture once its owner's layout is complete.
#include "imaging/UMatrixImagePack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/USafetyBitmap.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/HostPath.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Canvas.h"

namespace {

std::string Show(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// A w x h picture whose cells of a cols x rows grid are each of their own colour (when the
// grid is at least 1 x 1 and the picture divides evenly).
void Paint(TMatrixImagePack& pack, int w, int h, int cols = 1, int rows = 1)
{
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(w, h);
    for (int i = 0; i < cols * rows; ++i) {
        const int col = i % cols, row = i / cols;
        picture.Canvas().Brush().SetColor(RGB(10 * i, 255 - 10 * i, 100));
        picture.Canvas().FillRect({col * w / cols, row * h / rows, (col + 1) * w / cols, (row + 1) * h / rows});
    }
    TPicture holder;
    holder.SetGraphic(&picture);
    pack.SetImage(holder);
}

COLORREF CellColour(int i) { return RGB(10 * i, 255 - 10 * i, 100); }

}  // namespace

TEST(MatrixImagePack, CellsFallOnRoundedFractionsAndNeverDivideByZero)
{
    const struct {
        int cols, rows, w, h;  // w 0: no picture at all
        int index;
        std::string rect;
        bool empty;
    } cases[] = {
        {1, 1, 400, 360, 0, "0,0,400,360", false},
        {1, 1, 400, 360, -1, "0,0,0,0", true},
        {1, 1, 400, 360, 1, "0,0,0,0", true},
        {1, 1, 0, 0, 0, "0,0,0,0", true},  // no picture
        {3, 2, 10, 4, 0, "0,0,3,2", false},
        {3, 2, 10, 4, 4, "3,2,7,4", false},  // row 1, column 1; columns 3, 4 and 3 wide
        {3, 2, 10, 4, 5, "7,2,10,4", false},
        {3, 2, 10, 4, 6, "0,0,0,0", true},
        {4, 1, 2, 3, 1, "1,0,1,3", false},  // edges 0, 1, 1, 2, 2: a cell of no width
        {4, 1, 2, 3, 3, "2,0,2,3", false},
        {0, 1, 10, 4, 0, "0,0,0,0", true},
        {1, 0, 10, 4, 0, "0,0,0,0", true},
        {-3, -2, 10, 4, 0, "0,0,0,0", false},  // count 6, yet every cell is empty
        {-3, -2, 10, 4, 5, "0,0,0,0", false},
        {-3, 2, 10, 4, 0, "0,0,0,0", true},    // count -6
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows) + " over " + std::to_string(c.w) +
                     " x " + std::to_string(c.h) + ", index " + std::to_string(c.index));
        TMatrixImagePack pack(nullptr);
        if (c.w)
            Paint(pack, c.w, c.h);
        pack.SetCountCol(c.cols);
        pack.SetCountRow(c.rows);
        EXPECT_EQ(pack.Count(), c.cols * c.rows);
        EXPECT_EQ(Show(pack.ImageRect(c.index)), c.rect);
        EXPECT_EQ(pack.IsEmpty(c.index), c.empty);
        EXPECT_EQ(pack.GetImageWidth(c.index), RectWidth(pack.ImageRect(c.index)));
        WhitePage page(4, 4);
        pack.RenderScaled(page.Canvas(), {0, 0, 4, 4}, c.index);
        if (c.rect == "0,0,0,0")
            EXPECT_EQ(page.Canvas().Pixel(1, 1), kWhite) << "an empty cell draws nothing";
    }
    TMatrixImagePack pack(nullptr);
    EXPECT_TRUE(FailsWith<EImagePack>([&] { pack.SetCount(4); }, L"Cannot set count of ImagePack"));
    EXPECT_TRUE(FailsWith<EImagePack>([&] { pack.SetImageWidth(0, 4); }, L"Cannot set ImageRect of ImagePack"));
}

TEST(MatrixImagePack, EachRealChangeTellsTheClientsOnceThenOnChange)
{
    TMatrixImagePack pack(nullptr);
    std::vector<std::string> log;
    struct TClient : TObject {
        std::vector<std::string>* log;
        void Changed(TObject* sender) { log->push_back(sender ? "client" : "client without sender"); }
    } client;
    client.log = &log;
    pack.Clients().AddClient(NotifyMethod<&TClient::Changed>(&client));
    pack.OnChange = [&](TObject*) { log.push_back("OnChange"); };
    const std::vector<std::string> once{"client", "OnChange"};

    pack.SetCountCol(1);
    pack.SetCountRow(1);
    EXPECT_TRUE(log.empty()) << "the same counts again";
    pack.SetCountCol(2);
    EXPECT_EQ(log, once);
    log.clear();
    pack.SetCountRow(-1);
    EXPECT_EQ(log, once);
    log.clear();
    Paint(pack, 6, 4);  // a new picture copied in
    EXPECT_EQ(log, once);
    log.clear();
    pack.Image().Bitmap().SetSize(8, 4);  // a change of the owned picture's graphic
    EXPECT_EQ(log, once);
}

TEST(MatrixImagePack, ImagesAreCopiesTheWholeGraphicForOneCellElseABitmapOfTheCell)
{
    TMatrixImagePack pack(nullptr);
    TPicture jpeg;
    jpeg.LoadFile(HostPath(JPEG_SEED));  // 131 x 64, blocks of 32: red, green, blue, yellow
    pack.SetImage(jpeg);
    TPicture got;
    pack.GetImage(got, 0);
    ASSERT_NE(got.Graphic(), nullptr);
    EXPECT_EQ(got.Graphic()->ClassName(), pack.Image().Graphic()->ClassName());
    EXPECT_NE(got.Graphic(), pack.Image().Graphic());
    EXPECT_EQ(got.Width(), 131);
    EXPECT_EQ(got.Height(), 64);

    pack.SetCountCol(2);  // cells 0..66 and 66..131
    pack.GetImage(got, 1);
    ASSERT_NE(As<TBitmap>(got.Graphic()), nullptr);
    EXPECT_EQ(got.Width(), 65);
    EXPECT_EQ(got.Height(), 64);
    const COLORREF blue = got.Bitmap().Canvas().Pixel(10, 10);  // (76, 10) of the whole
    EXPECT_TRUE(GetBValue(blue) > 200 && GetRValue(blue) < 60 && GetGValue(blue) < 60) << std::hex << blue;

    pack.GetImage(got, 2);
    EXPECT_EQ(got.Graphic(), nullptr) << "no such cell: the picture is cleared";
}

TEST(MatrixImagePack, CellsOfABitmapAreDrawnStraightFromThePicture)
{
    TMatrixImagePack pack(nullptr);
    Paint(pack, 30, 20, 3, 2);
    pack.SetCountCol(3);
    pack.SetCountRow(2);
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        WhitePage page(40, 20);
        pack.RenderScaled(page.Canvas(), {5, 2, 35, 18}, index);  // three times as wide
        EXPECT_EQ(page.Canvas().Pixel(5, 2), CellColour(index));
        EXPECT_EQ(page.Canvas().Pixel(34, 17), CellColour(index));
        EXPECT_EQ(page.Canvas().Pixel(35, 17), kWhite);
        EXPECT_EQ(page.Canvas().Pixel(4, 2), kWhite);
        pack.Render(page.Canvas(), 0, 0, index);  // natural size: 10 x 10
        EXPECT_EQ(page.Canvas().Pixel(9, 9), CellColour(index));
        EXPECT_EQ(page.Canvas().Pixel(10, 1), kWhite);
    }
}

TEST(MatrixImagePack, LoadsOnceItsOwnersLayoutIsCompleteThenReloadsOnEachChange)
{
    const struct {
        const wchar_t* name;
        bool autoLoad;
        std::wstring error;  // of AfterLoad
        int width;           // of image 0 afterwards
    } cases[] = {
        {L"LOGO", true, L"", 400},
        {L"LOGO", false, L"", 0},
        {L"NOPE", true, L"EResNotFound: NOPE ﾘｿｰｽが見つかりません", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << (c.autoLoad ? "" : ", no AutoLoad"));
        TComponent owner(nullptr);
        owner.SetLoading(true);
        TMatrixImagePack pack(&owner);
        int changes = 0;
        pack.OnChange = [&](TObject*) { ++changes; };
        pack.ImageLoader().SetAutoLoad(c.autoLoad);
        pack.ImageLoader().SetResType(L"RT_BITMAP");
        pack.ImageLoader().SetResName(c.name);
        EXPECT_TRUE(pack.IsEmpty(0)) << "settings alone load nothing";
        std::wstring error;
        try {
            pack.AfterLoad();
        } catch (const Exception& e) {
            error = std::wstring(e.ClassName()) + L": " + e.Message();
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(pack.GetImageWidth(0), c.width);
        EXPECT_EQ(changes, c.width ? 1 : 0);
        EXPECT_EQ(pack.ImageLoader().Ready(), c.error.empty());
        if (!c.autoLoad || !c.error.empty())
            continue;

        TPictureEx other;
        TResourceImageLoader settings(&other);
        settings.SetResType(L"RT_BITMAP");
        settings.SetResName(L"Button");
        TResourceImageLoader* const owned = &pack.ImageLoader();
        pack.SetImageLoader(settings);  // copied in, and loaded at once
        EXPECT_EQ(&pack.ImageLoader(), owned);
        EXPECT_EQ(pack.ImageLoader().ResName(), L"Button");
        EXPECT_LT(pack.GetImageWidth(0), 400);
        EXPECT_EQ(other.Graphic(), nullptr) << "the given loader's picture is left alone";
        EXPECT_GE(changes, 2) << "the reload reached the clients";
    }
}
