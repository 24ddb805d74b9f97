// The main window gives back every GDI object and window it makes, over many builds and
// many paints of its logo.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/FMain.h"
#include "tests/support/GuiCounts.h"

namespace {

void BuildShowAndClose()
{
    auto form = std::make_unique<TfrmMain>(nullptr);
    form->Show();
    ::UpdateWindow(form->Handle());
}

}  // namespace

TEST(GuiCounts, AHundredMainWindowsAndAHundredPaintsLeaveTheCountsFlat)
{
    BuildShowAndClose();  // whatever the system makes once is made now
    const GuiLeakCheck check;
    for (int i = 0; i < 100; ++i)
        BuildShowAndClose();
    std::printf("after 100 main windows: GDI objects %ld -> %ld\n", check.Before().gdiObjects, CountGdiObjects());
    EXPECT_EQ(check.Check(), "");

    auto form = std::make_unique<TfrmMain>(nullptr);
    form->Show();
    ::UpdateWindow(form->Handle());
    const GuiLeakCheck painting;
    for (int i = 0; i < 100; ++i)
        ::RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::printf("after 100 paints: GDI objects %ld -> %ld\n", painting.Before().gdiObjects, CountGdiObjects());
    EXPECT_EQ(painting.Check(), "");
}
