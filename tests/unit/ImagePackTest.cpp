// The abstract image pack's defaults, its list of clients, and the rectangle helpers.
#include "imaging/UImagePack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestImagePack.h"
#include "tests/unit/ExpectError.h"

namespace {

std::string Show(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// Receivers whose calls land in one log, so the order across receivers shows.
struct TListener : TObject {
    TListener(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    void Changed(TObject*) { log.push_back(name); }
    void Other(TObject*) { log.push_back(name + " other"); }
    std::vector<std::string>& log;
    std::string name;
};

}  // namespace

TEST(RectHelpers, FittingKeepsTheRatioAndCentres)
{
    const RECT logo{0, 0, 400, 360};
    const struct {
        RECT src, bounds;
        std::string fitted;
    } cases[] = {
        {logo, {0, 0, 200, 100}, "45,0,156,100"},    // MulDiv(400, 100, 360) = 111 fits the width
        {logo, {0, 0, 100, 200}, "0,55,100,145"},    // too wide: MulDiv(360, 100, 400) = 90 high
        {logo, {0, 0, 400, 360}, "0,0,400,360"},
        {logo, {10, 20, 810, 740}, "10,20,810,740"}, // enlarges too
        {{0, 0, 2, 1}, {0, 0, 4, 2}, "0,0,4,2"},     // the width fits exactly: full height
        {{5, 5, 9, 5}, {0, 0, 200, 100}, "101,0,100,100"},  // zero height: MulDiv gives -1, empty
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.src) + " in " + Show(c.bounds));
        EXPECT_EQ(Show(FitRectCentered(c.src, c.bounds)), c.fitted);
    }
    EXPECT_EQ(Show(FitRect({7, 8, 407, 368}, 200, 100)), "7,8,118,108");  // at the source's corner
}

TEST(RectHelpers, CentresHalveTowardZero)
{
    EXPECT_EQ(RectCenter({-3, -3, 0, 0}).x, -1);
    EXPECT_EQ(RectCenter({1, 2, 4, 7}).y, 4);
    EXPECT_EQ(Show(MoveRectCenter({0, 0, 111, 100}, {100, 50})), "45,0,156,100");
    EXPECT_EQ(RectWidth({10, 0, 4, 0}), -6);
    EXPECT_EQ(RectHeight({0, -5, 0, 5}), 10);
}

TEST(NotifyList, KeepsOrderAndDuplicatesAndRemovesEveryCopy)
{
    std::vector<std::string> log;
    TListener a(log, "a"), b(log, "b");
    TNotifyList list;
    list.AddClient(NotifyMethod<&TListener::Changed>(&a));
    list.AddClient(NotifyMethod<&TListener::Changed>(&b));
    list.AddClient(NotifyMethod<&TListener::Changed>(&a));
    list.AddClient(NotifyMethod<&TListener::Other>(&a));
    list.Notify(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "a", "a other"}));

    list.RemoveClient(NotifyMethod<&TListener::Changed>(&a));  // both copies; not a's other method
    list.RemoveClient(NotifyMethod<&TListener::Other>(&b));    // not in the list: nothing
    log.clear();
    list.Notify(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"b", "a other"}));

    // A round calls only the entries it started with, however the list grows meanwhile.
    TNotifyList growing;
    struct TAdder : TObject {
        TNotifyList* list;
        TListener* late;
        void Add(TObject*) { list->AddClient(NotifyMethod<&TListener::Changed>(late)); }
    } adder;
    adder.list = &growing;
    adder.late = &b;
    for (int i = 0; i < 20; ++i)
        growing.AddClient(NotifyMethod<&TAdder::Add>(&adder));
    log.clear();
    growing.Notify(nullptr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(growing.Count(), 40u);
}

TEST(ImagePack, ChangesReachEveryClientInOrderThenOnChange)
{
    std::vector<std::string> log;
    TListener first(log, "first"), second(log, "second");
    TTestPack pack(nullptr, 4, 3);
    pack.Clients().AddClient(NotifyMethod<&TListener::Changed>(&first));
    pack.Clients().AddClient(NotifyMethod<&TListener::Changed>(&second));
    TObject* sender = nullptr;
    pack.OnChange = [&](TObject* s) {
        sender = s;
        log.push_back("OnChange");
    };
    pack.NotifyChanged();
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "OnChange"}));
    EXPECT_EQ(sender, &pack);
}

TEST(ImagePack, SettersOfAPackThatComputesItsImagesRaise)
{
    TTestPack pack(nullptr, 4, 3);
    EXPECT_TRUE(FailsWith<EImagePack>([&] { pack.SetCount(2); }, L"Cannot set count of ImagePack"));
    for (void (TImagePack::*set)(int, int) : {&TImagePack::SetImageLeft, &TImagePack::SetImageTop,
                                              &TImagePack::SetImageWidth, &TImagePack::SetImageHeight})
        EXPECT_TRUE(FailsWith<EImagePack>([&] { (pack.*set)(0, 1); }, L"Cannot set ImageRect of ImagePack"));
    EXPECT_EQ(pack.Count(), 1);
}

TEST(ImagePack, IndexesOutsideTheCountAreEmptyAndDrawNothing)
{
    TTestPack pack(nullptr, 4, 3, kRed);
    pack.Images = 2;
    const struct {
        int index;
        bool empty;
        int width, height;
    } cases[] = {{-1, true, 0, 0}, {0, false, 4, 3}, {1, false, 4, 3}, {2, true, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(pack.IsEmpty(c.index), c.empty);
        EXPECT_EQ(pack.GetImageWidth(c.index), c.width);
        EXPECT_EQ(pack.GetImageHeight(c.index), c.height);
        WhitePage page(8, 8);
        pack.Render(page.Canvas(), 2, 3, c.index);  // natural size, top-left at (2, 3)
        EXPECT_EQ(page.Canvas().Pixel(2, 3), c.empty ? kWhite : kRed);
        EXPECT_EQ(page.Canvas().Pixel(5, 5), c.empty ? kWhite : kRed);
        EXPECT_EQ(page.Canvas().Pixel(6, 5), kWhite);
        EXPECT_EQ(page.Canvas().Pixel(5, 6), kWhite);
    }
}
