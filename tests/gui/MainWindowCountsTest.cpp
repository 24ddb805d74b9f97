// The main window gives back every GDI object and window it makes, over many builds and
// many paints of its logo.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/FMain.h"
#include "tests/support/GuiCounts.h"

namespace {

void Print(const char* what, const GuiCounts& before)
{
    const GuiCounts now = CountGuiObjects();
    std::printf("after %s: GDI objects %ld -> %ld, windows %ld + %ld children -> %ld + %ld\n", what,
                before.gdiObjects, now.gdiObjects, before.topLevelWindows, before.childWindows, now.topLevelWindows,
                now.childWindows);
}

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
    Print("100 main windows", check.Before());
    EXPECT_EQ(check.Check(), "");

    auto form = std::make_unique<TfrmMain>(nullptr);
    form->Show();
    ::UpdateWindow(form->Handle());
    const GuiLeakCheck painting;
    for (int i = 0; i < 100; ++i)
        ::RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Print("100 paints", painting.Before());
    EXPECT_EQ(painting.Check(), "");
}
