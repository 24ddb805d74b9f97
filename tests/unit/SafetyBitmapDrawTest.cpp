// The safety bitmap's drawing - masks of every kind of pixel, its caches, the canvas settings
// it leaves, on screens and printers of both platform families - and its registration.
#include "imaging/USafetyBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/UDrawSupport.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Picture.h"
#include "toolkit/graphics/PictureFormats.h"
#include "toolkit/graphics/Printer.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr COLORREF kSilver = RGB(192, 192, 192);

// Two pixels, red then blue, of every kind the mask reads differently.
Bytes RedBlue(uint16_t bits)
{
    BmpSpec s;
    s.width = 2;
    s.height = 1;
    s.bitCount = bits;
    if (bits >= 24) {
        s.rows = {Row(bits / 8, {0xFF0000, 0x0000FF})};
    } else {
        s.table = {Quad(kRed), Quad(kBlue)};
        s.rows = {bits == 8 ? Bytes{0, 1} : Bytes{0x01}};
    }
    return BmpFile(s);
}

// A silver page, drawn on through its own canvas or through the printer bound to it.
class TTarget {
public:
    explicit TTarget(bool printer) : printer_(printer)
    {
        page.Canvas().Brush().SetColor(clSilver);
        page.Canvas().FillRect({0, 0, 10, 10});
        if (printer)
            Printer().BindDC(page.Canvas().Handle());
    }
    ~TTarget()
    {
        if (printer_)
            Printer().BindDC(nullptr);
    }
    TCanvas& Canvas() { return printer_ ? Printer().Canvas() : page.Canvas(); }
    COLORREF Pixel(int x, int y) { return page.Canvas().Pixel(x, y); }

    WhitePage page;

private:
    bool printer_;
};

void LoadTransparent(TSafetyBitmap& bitmap, const Bytes& file, COLORREF key)
{
    LoadBmp(bitmap, file);
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(key);
}

}  // namespace

TEST(SafetyBitmapDraw, PixelsOfTheTransparentColourShowTheBackgroundEverywhere)
{
    const struct {
        const char* name;
        Bytes file;
        COLORREF key;
        COLORREF left;  // what shows where the red pixel is
    } cases[] = {
        {"24 bits", RedBlue(24), kRed, kSilver},
        {"32 bits", RedBlue(32), kRed, kSilver},
        {"8 bits", RedBlue(8), kRed, kSilver},
        {"8 bits, the colour not in the palette", RedBlue(8), RGB(254, 0, 0), kRed},
        {"4 bits, read through the canvas", RedBlue(4), kRed, kSilver},
    };
    for (const auto& c : cases)
        for (bool winNT : {true, false})
            for (bool printer : {false, true}) {
                const TPlatformFamilyOverride family(winNT);
                TSafetyBitmap bitmap;
                LoadTransparent(bitmap, c.file, c.key);
                TTarget target(printer);
                target.Canvas().RenderScaled({0, 0, 4, 2}, &bitmap);
                const auto where = testing::Message() << c.name << (winNT ? ", NT" : ", other") << (printer ? ", printer" : "");
                EXPECT_EQ(target.Pixel(0, 0), c.left) << where;
                EXPECT_EQ(target.Pixel(1, 1), c.left) << where;
                EXPECT_EQ(target.Pixel(3, 1), kBlue) << where;
                EXPECT_EQ(target.Pixel(4, 0), kSilver) << where;
            }
}

TEST(SafetyBitmapDraw, MaskAndImageAreBuiltOncePerChangeAndGoAlongWithCopyIn)
{
    for (bool winNT : {true, false}) {
        const TPlatformFamilyOverride family(winNT);
        TSafetyBitmap bitmap;
        LoadTransparent(bitmap, RedBlue(24), kRed);
        const auto blueShows = [](TSafetyBitmap& b) {
            TTarget target(false);
            target.Canvas().RenderScaled({0, 0, 2, 1}, &b);
            EXPECT_EQ(target.Pixel(0, 0), kSilver);
            return target.Pixel(1, 0) == kBlue;
        };
        EXPECT_TRUE(blueShows(bitmap));
        // The blue pixel turns red behind the bitmap's back, with no change notified.
        static_cast<uint8_t*>(bitmap.ScanLine(0))[3] = 0, static_cast<uint8_t*>(bitmap.ScanLine(0))[5] = 255;
        EXPECT_TRUE(blueShows(bitmap)) << "drawn from the caches";
        TSafetyBitmap copy;
        copy.CopyIn(&bitmap);
        EXPECT_TRUE(blueShows(copy)) << "the caches came along, clean";
        bitmap.NotifyChanged(&bitmap);
        EXPECT_FALSE(blueShows(bitmap)) << "rebuilt after the change";
    }
}

TEST(SafetyBitmapDraw, TheCanvasKeepsItsColoursAndCopyModeWhateverTheDrawing)
{
    enum { opaque, transparent, raising };
    for (int mode : {opaque, transparent, raising})
        for (bool winNT : {true, false})
            for (bool printer : {false, true}) {
                const TPlatformFamilyOverride family(winNT);
                TSafetyBitmap bitmap;
                LoadTransparent(bitmap, RedBlue(24), kRed);
                bitmap.SetTransparent(mode != opaque);
                TTarget target(printer);
                TCanvas& canvas = target.Canvas();
                canvas.SetBackgroundColor(RGB(1, 2, 3));
                canvas.SetTextColor(RGB(4, 5, 6));
                canvas.SetCopyMode(NOTSRCCOPY);
                if (mode == raising)
                    canvas.OnChanging = [](TObject*) { throw EInvalidOperation(L"refused"); };
                bool raised = false;
                try {
                    bitmap.Render(canvas, {0, 0, 4, 2});
                } catch (const EInvalidOperation&) {
                    raised = true;
                }
                canvas.OnChanging = nullptr;
                const auto where = testing::Message() << mode << (winNT ? ", NT" : ", other") << (printer ? ", printer" : "");
                // The other family's printers take device-independent pixels, without the canvas.
                EXPECT_EQ(raised, mode == raising && (winNT || !printer)) << where;
                EXPECT_EQ(canvas.BackgroundColor(), RGB(1, 2, 3)) << where;
                EXPECT_EQ(canvas.TextColor(), RGB(4, 5, 6)) << where;
                EXPECT_EQ(canvas.CopyMode(), static_cast<DWORD>(NOTSRCCOPY)) << where;
            }
}

TEST(SafetyBitmapRegistration, BmpAndCbmFollowTheToolkitsEntryUntilTheEndStep)
{
    const auto& formats = FileFormats();
    const auto at = [&](const TClass& cls, const wchar_t* extension) {
        return std::find_if(formats.begin(), formats.end(), [&](const TFileFormat& f) {
                   return f.graphicClass == &cls && f.extension == extension;
               }) - formats.begin();
    };
    EXPECT_LT(at(TBitmap::Class, L"bmp"), at(TSafetyBitmap::Class, L"bmp"));
    EXPECT_LT(at(TSafetyBitmap::Class, L"bmp"), at(TSafetyBitmap::Class, L"cbm"));
    EXPECT_LT(at(TSafetyBitmap::Class, L"cbm"), static_cast<std::ptrdiff_t>(formats.size()));
    EXPECT_EQ(FindFileFormat(L"BMP")->graphicClass, &TSafetyBitmap::Class);
    EXPECT_EQ(FindFileFormat(L"BMP")->description, L"Bitmaps");
    EXPECT_EQ(FindFileFormat(L".cbm")->description, L"Compressed Bitmaps");

    TPicture picture;
    TSafetyBitmap bitmap;
    LoadBmp(bitmap, RedBlue(24));
    picture.SetGraphic(&bitmap);
    TMemoryStream form;
    WriteStoredForm(form, picture);
    {
        TPicture back;
        form.SetPosition(0);
        ReadStoredForm(form, back);
        ASSERT_NE(back.Graphic(), nullptr);
        EXPECT_EQ(&back.Graphic()->ClassType(), &TSafetyBitmap::Class);
        EXPECT_EQ(static_cast<TBitmap*>(back.Graphic())->Canvas().Pixel(1, 0), kBlue);
    }
    struct Ended {
        Ended() { EndSafetyBitmap(); }
        ~Ended() { StartSafetyBitmap(); }
    } ended;
    EXPECT_EQ(FindFileFormat(L"cbm"), nullptr);
    EXPECT_EQ(FindFileFormat(L"bmp")->graphicClass, &TBitmap::Class);
    TPicture back;
    form.SetPosition(0);
    EXPECT_THROW(ReadStoredForm(form, back), EReadError);
}
