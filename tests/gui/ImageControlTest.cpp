// The image controls: what they paint and where, automatic sizing, binding to packs, the
// transparent window, full repaints and the stored form.
#include "imaging/UImageEx.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/GuiCounts.h"
#include "tests/support/TestImagePack.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/windows/Application.h"
#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"

namespace {

// Paints the control into a white page as WM_PAINT would, on a device context of its own.
void PaintInto(TOriginalControl& control, WhitePage& page)
{
    HDC dc = page.Canvas().Handle();
    const int saved = ::SaveDC(dc);
    control.PaintToDC(dc);
    ::RestoreDC(dc, saved);
}

// The colours along the middle row at these columns.
std::vector<COLORREF> Row(WhitePage& page, std::initializer_list<int> columns)
{
    std::vector<COLORREF> colours;
    for (int x : columns)
        colours.push_back(page.Canvas().Pixel(x, page.Height() / 2));
    return colours;
}

// A form whose layout is complete, shown, with an image control on it.
struct Shown {
    Shown()
    {
        form.SetClientSize(300, 200);
        form.AfterLoad();
        image->SetParent(&form);
        image->SetBounds(10, 10, 200, 100);
        image->AfterLoad();
        form.Show();
        ::UpdateWindow(form.Handle());
    }
    // The control's update region after `action`, as "left,top,right,bottom", or "" for none.
    std::string Invalidated(HWND window, const std::function<void()>& action)
    {
        ::UpdateWindow(form.Handle());
        ::ValidateRect(window, nullptr);
        action();
        RECT r{};
        if (!::GetUpdateRect(window, &r, FALSE))
            return "";
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    }
    TForm form{nullptr};
    TImageEx* image = new TImageEx(&form);
};

}  // namespace

TEST(ImageControls, TheImageIsDrawnFirstAndTheBrushFillsOnlyWhatIsLeft)
{
    const COLORREF R = kRed, B = kBlue, W = kWhite;
    const struct {
        const char* what;
        bool pack, keepRatio, transparent;
        int index;
        std::vector<COLORREF> row;  // at x = 0, 44, 45, 155, 156, 199
    } cases[] = {
        {"no pack", false, true, false, 0, {R, R, R, R, R, R}},
        {"ratio kept: (45, 0, 156, 100)", true, true, false, 0, {R, R, B, B, R, R}},
        {"stretched", true, false, false, 0, {B, B, B, B, B, B}},
        {"index beyond the count", true, true, false, 1, {R, R, R, R, R, R}},
        {"transparent, no pack", false, true, true, 0, {W, W, W, W, W, W}},
        {"transparent, ratio kept", true, true, true, 0, {W, W, B, B, W, W}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TTestPack pack(nullptr, 400, 360, kBlue);
        TImageEx image(nullptr);
        image.SetBounds(0, 0, 200, 100);
        image.Brush().SetColor(clRed);
        image.SetKeepRatio(c.keepRatio);
        image.SetTransparent(c.transparent);
        image.SetImageIndex(c.index);
        if (c.pack)
            image.SetImagePack(&pack);
        WhitePage page(200, 100);
        PaintInto(image, page);
        EXPECT_EQ(Row(page, {0, 44, 45, 155, 156, 199}), c.row);
        EXPECT_EQ(page.Canvas().Pixel(100, 0), c.row[2]);
        EXPECT_EQ(page.Canvas().Pixel(100, 99), c.row[2]);
    }
}

TEST(ImageControls, ChildrenOverThePictureArePaintedAndEveryPaintEndsAlsoWhenDrawingFails)
{
    std::vector<std::wstring> errors;
    Application().OnException = [&](TObject*, const Exception& e) { errors.push_back(e.Message()); };
    for (bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "the pack's drawing fails" : "the pack draws");
        errors.clear();
        Shown shown;
        TTestPack pack(nullptr, 200, 100, kBlue);
        shown.image->SetKeepRatio(false);  // the picture covers the whole control
        shown.image->SetColor(kGreen);     // which the label fills with
        shown.image->SetImagePack(&pack);
        pack.FailDrawing = fails;
        const auto label = std::make_unique<TLabel>(nullptr);
        label->SetAutoSize(false);
        label->Transparent = false;
        label->SetCaption(L"ロゴ");
        label->SetBounds(50, 30, 40, 20);
        label->SetParent(shown.image);
        HWND window = shown.image->Handle();
        const auto paint = [&] {
            ::InvalidateRect(window, nullptr, FALSE);
            ::UpdateWindow(window);
        };
        paint();  // whatever the system makes once is made now
        const GuiLeakCheck check;
        for (int i = 0; i < 100; ++i)
            paint();
        EXPECT_EQ(check.Check(), "");
        EXPECT_EQ(errors, std::vector<std::wstring>(fails ? 101 : 0, L"drawing failed")) << "through the guard";
        const WindowDC screen(window);
        EXPECT_EQ(::GetPixel(screen.get(), 85, 45), kGreen) << "the label, over the picture";
        if (!fails) {
            EXPECT_EQ(::GetPixel(screen.get(), 150, 80), kBlue) << "the picture";
        }
        label->SetParent(nullptr);
    }
    Application().OnException = nullptr;
}

TEST(ImageControls, PlainControlsPaintNothingAndSwallowTheErase)
{
    TForm form(nullptr);
    TOriginalControl plain(nullptr);
    TBitmapControl bound(nullptr);
    TTestPack pack(nullptr, 10, 10);
    bound.SetImagePack(&pack);
    for (TOriginalControl* c : {&plain, static_cast<TOriginalControl*>(&bound)}) {
        c->SetParent(&form);
        WhitePage page(c->Width(), c->Height());  // 75 x 25 when new
        PaintInto(*c, page);
        EXPECT_EQ(c->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(page.Canvas().Handle())), 1);
        EXPECT_EQ(Row(page, {0, 37, 74}), (std::vector<COLORREF>{kWhite, kWhite, kWhite}));
        c->SetParent(nullptr);
    }
    EXPECT_EQ(pack.Draws, 0);
}

TEST(ImageControls, AutoSizeTakesTheImagesSizeOnlyOnceLoadedAndOnlyForAnImage)
{
    TForm form(nullptr);  // its layout is still being built
    TTestPack pack(nullptr, 40, 30);
    auto* image = new TImageEx(&form);
    image->SetImagePack(&pack);
    image->SetAutoSize(true);
    EXPECT_EQ(image->Width(), 75) << "not while loading";
    image->AfterLoad();
    EXPECT_EQ(image->Width(), 75) << "only at the next change";
    pack.Paint(40, 30, kRed);
    EXPECT_EQ(image->Width(), 40);
    EXPECT_EQ(image->Height(), 30);
    image->SetImageIndex(1);  // beyond the count: the size stays
    pack.Paint(50, 20, kRed);
    EXPECT_EQ(image->Width(), 40);
    image->SetImageIndex(0);
    EXPECT_EQ(image->Width(), 50);
    EXPECT_EQ(image->Height(), 20);
    image->SetKeepRatio(false);  // plays no part
    image->SetAutoSize(false);
    pack.Paint(60, 60, kRed);
    EXPECT_EQ(image->Width(), 50);
}

TEST(ImageControls, BindingMovesBetweenPacksAndSurvivesEitherSideGoingFirst)
{
    TTestPack first(nullptr, 40, 30);
    auto second = std::make_unique<TTestPack>(nullptr, 20, 10);
    auto image = std::make_unique<TImageEx>(nullptr);
    image->SetAutoSize(true);
    image->SetImagePack(&first);
    image->SetImagePack(&first);
    EXPECT_EQ(first.Clients().Count(), 1u);
    image->SetImagePack(second.get());
    EXPECT_EQ(first.Clients().Count(), 0u);
    EXPECT_EQ(second->Clients().Count(), 1u);
    EXPECT_EQ(image->Width(), 20);

    second.reset();  // the pack goes first: none bound, the size kept
    EXPECT_EQ(image->ImagePack(), nullptr);
    EXPECT_EQ(image->Width(), 20);
    WhitePage page(20, 10);
    PaintInto(*image, page);
    EXPECT_EQ(page.Canvas().Pixel(10, 5), kWhite);

    image->SetImagePack(&first);
    image.reset();  // the control goes first: the pack no longer calls it
    EXPECT_EQ(first.Clients().Count(), 0u);
    first.Paint(5, 5, kRed);
}

TEST(ImageControls, SettersCompareFirstAndRepaintWhatChanged)
{
    Shown shown;
    TTestPack pack(nullptr, 40, 30);
    shown.image->SetImagePack(&pack);
    HWND window = shown.image->Handle();
    const std::string all = "0,0,200,100";
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetImageIndex(0); }), "");
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetImagePack(&pack); }), "");
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetKeepRatio(true); }), "");
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetKeepRatio(false); }), all);
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetImageIndex(3); }), all);
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->Brush().SetStyle(TBrushStyle::bsCross); }), all);
    EXPECT_EQ(shown.Invalidated(window, [&] { pack.NotifyChanged(); }), all);
}

TEST(ImageControls, AResizeRepaintsEverythingOnlyUnderFullRepaint)
{
    Shown shown;
    HWND window = shown.image->Handle();
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetWidth(250); }), "0,0,250,100");
    shown.image->SetFullRepaint(false);
    EXPECT_EQ(shown.Invalidated(window, [&] { shown.image->SetWidth(280); }), "250,0,280,100");
    EXPECT_EQ(shown.image->BoundsRect().right, 290);
}

TEST(ImageControls, TransparentControlsLiveInANewWindowAndRepaintTheirParent)
{
    Shown shown;
    auto exStyle = [&] { return ::GetWindowLongW(shown.image->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT; };
    auto* over = new TImageEx(&shown.form);  // a later sibling: under the image in the z-order
    over->SetParent(&shown.form);
    ASSERT_EQ(::GetWindow(shown.image->Handle(), GW_HWNDNEXT), over->Handle());
    EXPECT_EQ(exStyle(), 0);
    shown.image->SetTransparent(true);
    EXPECT_EQ(exStyle(), WS_EX_TRANSPARENT);
    EXPECT_EQ(::GetWindow(shown.image->Handle(), GW_HWNDNEXT), over->Handle()) << "same place";
    EXPECT_EQ(shown.Invalidated(shown.form.Handle(), [&] { shown.image->RequestRepaint(); }), "10,10,210,110");
    shown.image->SetTransparent(false);
    EXPECT_EQ(exStyle(), 0);
    EXPECT_EQ(shown.Invalidated(shown.form.Handle(), [&] { shown.image->RequestRepaint(); }), "");
}

TEST(ImageControls, StoredFormKeepsThePackByNameAndTheBrushAlways)
{
    struct TLayout : TForm {
        TLayout() : TForm(nullptr)
        {
            pack->Name = L"MatrixImagePack1";
            image->Name = L"Image1";
            image->SetImagePack(pack);
        }
        TTestPack* pack = new TTestPack(this, 4, 4);
        TImageEx* image = new TImageEx(this);
    } written, read;
    written.image->SetBounds(0, 0, 400, 360);
    written.image->SetAutoSize(true);
    read.image->SetImagePack(nullptr);
    TMemoryStream stream;
    WriteStoredForm(stream, written);
    const auto* bytes = static_cast<const char*>(stream.Memory());
    const std::string text(bytes, bytes + stream.Size());
    for (const char* name : {"Color", "Style", "ImageIndex", "AutoSize"})  // white, solid, 0: still written
        EXPECT_NE(text.find(name), std::string::npos) << name;
    for (const char* name : {"Transparent", "KeepRatio", "ShowHint", "PopupMenu"})
        EXPECT_EQ(text.find(name), std::string::npos) << name;

    stream.SetPosition(0);
    ReadStoredForm(stream, read);
    EXPECT_EQ(read.image->ImagePack(), read.pack);
    EXPECT_TRUE(read.image->AutoSize());
    EXPECT_EQ(read.image->Width(), 400) << "sized only by the next change";
    read.pack->NotifyChanged();
    EXPECT_EQ(read.image->Width(), 4);

    std::string unknown = text;  // a reference to a component the form does not have
    unknown[unknown.rfind("MatrixImagePack1") + 15] = '2';
    TByteViewStream bad(unknown.data(), unknown.size());
    EXPECT_THROW(ReadStoredForm(bad, read), EReadError);
}
