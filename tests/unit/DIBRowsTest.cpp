// Partial draws of top-down and bottom-up images through StretchDIBits: the DIB holder and the
// DIB bitmap show the rows asked for in every kind of draw, the ones where Windows counts a
// top-down image's source rows from its top and the ones where it counts from its bottom.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "imaging/UDIB.h"
#include "imaging/UDIBitmap.h"
#include "tests/support/BmpBytes.h"

namespace {

// 2 x 4 pixels, one colour a row.
const COLORREF kRows[] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(200, 200, 0)};

// A 32-bit section of those rows, stored top-down when `height` is negative.
unique_hbitmap RowsSection(int height)
{
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 2, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    unique_hbitmap section(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 2; ++x)
            static_cast<RGBQUAD*>(bits)[(height > 0 ? 3 - row : row) * 2 + x] = Quad(kRows[row]);
    return section;
}

std::vector<uint8_t> RowsFile(int height)
{
    BmpSpec s;
    s.height = height;
    for (COLORREF c : kRows)
        s.rows.push_back(Row(3, {static_cast<uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c)),
                                 static_cast<uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c))}));
    return BmpFile(s);
}

// Bitmaps made while it lives draw by the given method.
struct DrawingMethod {
    explicit DrawingMethod(bool useDIBits) { TDIBitmap::SetDefaultUseDIBits(useDIBits); }
    ~DrawingMethod() { TDIBitmap::SetDefaultUseDIBits(previous); }
    bool previous = TDIBitmap::DefaultUseDIBits();
};

using Draw = std::function<void(TCanvas&, const RECT& dest, const RECT& src, int height)>;

}  // namespace

TEST(DIBRows, TopDownAndBottomUpImagesShowTheRowsAskedForInEveryKindOfDraw)
{
    struct Case {
        const char* name;
        RECT src, dest;
        DWORD rop;
        std::vector<int> shown;  // the source row in each page row from the top; -1: untouched
    };
    const Case cases[] = {
        {"unstretched, the top rows from the corner", {0, 0, 2, 2}, {0, 0, 2, 2}, SRCCOPY, {0, 1, -1, -1}},
        {"unstretched, the bottom rows from the left edge", {0, 2, 2, 4}, {0, 0, 2, 2}, SRCCOPY, {2, 3, -1, -1}},
        {"unstretched, the middle rows of one column", {1, 1, 2, 3}, {0, 1, 1, 3}, SRCCOPY, {-1, 1, 2, -1}},
        {"stretched, the bottom rows", {0, 2, 1, 4}, {0, 0, 2, 4}, SRCCOPY, {2, 2, 3, 3}},
        {"stretched, the top-left pixel", {0, 0, 1, 1}, {0, 0, 2, 2}, SRCCOPY, {0, 0, -1, -1}},
        {"another raster operation, one middle row", {0, 1, 2, 2}, {0, 2, 2, 3}, NOTSRCCOPY, {-1, -1, 1, -1}},
        {"another raster operation, stretched", {0, 2, 2, 4}, {0, 0, 2, 4}, NOTSRCCOPY, {2, 2, 3, 3}},
        {"another raster operation, the whole image", {0, 0, 2, 4}, {0, 0, 2, 4}, NOTSRCCOPY, {0, 1, 2, 3}},
    };
    const std::pair<const char*, Draw> draws[] = {
        {"DIB holder",
         [](TCanvas& canvas, const RECT& dest, const RECT& src, int height) {
             const unique_hbitmap section = RowsSection(height);
             TDIB dib;
             dib.SetBitmapHandle(section.get(), nullptr);
             EXPECT_TRUE(dib.Render(canvas, dest, src));
         }},
        {"DIB bitmap from its pixels",
         [](TCanvas& canvas, const RECT& dest, const RECT& src, int height) {
             const DrawingMethod method(true);
             TDIBitmap dib;
             const std::vector<uint8_t> file = RowsFile(height);
             TByteViewStream stream(file.data(), file.size());
             dib.LoadStream(stream);
             dib.SetViewRect(src);
             dib.Render(canvas, dest);
         }},
    };
    for (const auto& [drawName, draw] : draws)
        for (int height : {4, -4})
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message() << drawName << ", height " << height << ": " << c.name);
                WhitePage page(4, 4);
                page.Canvas().SetCopyMode(c.rop);
                draw(page.Canvas(), c.dest, c.src, height);
                for (int y = 0; y < 4; ++y) {
                    const int row = c.shown[static_cast<size_t>(y)];
                    const COLORREF expected =
                        row < 0 ? kWhite : c.rop == NOTSRCCOPY ? ~kRows[row] & 0xFFFFFF : kRows[row];
                    EXPECT_EQ(page.Canvas().Pixel(c.dest.left, y), expected) << "page row " << y;
                }
            }
}
