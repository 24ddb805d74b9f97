#include "tests/support/GuiCounts.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

HWND MakeWindow(HWND parent)
{
    return ::CreateWindowExW(0, L"STATIC", L"", parent ? WS_CHILD : WS_OVERLAPPED, 0, 0, 10, 10, parent, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

// What a reader of pictures does many times over: objects and windows made, used, freed.
void MakeAndFreeEverything()
{
    HBRUSH brush = ::CreateSolidBrush(RGB(10, 20, 30));
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    RECT all{0, 0, 16, 16};
    ::FillRect(memory, &all, brush);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(brush);
    HWND top = MakeWindow(nullptr);
    MakeWindow(MakeWindow(top));  // a grandchild goes with its top-level window
    ::DestroyWindow(top);
}

}  // namespace

TEST(GuiCounts, NoticesObjectsAndWindowsLeftAlive)
{
    // The first window of a thread brings the system's input-method window along; one window
    // alive throughout keeps that out of the counts.
    HWND host = MakeWindow(nullptr);
    const GuiLeakCheck check;
    ASSERT_GT(check.Before().gdiObjects, 0) << "GDI objects cannot be counted here";
    EXPECT_EQ(check.Check(), "");

    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 100; ++i)
        brushes.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
    HWND top = MakeWindow(nullptr);
    HWND child = MakeWindow(top);
    MakeWindow(child);
    const GuiCounts leaking = CountGuiObjects();
    EXPECT_EQ(leaking.gdiObjects - check.Before().gdiObjects, 100);
    EXPECT_EQ(leaking.topLevelWindows - check.Before().topLevelWindows, 1);
    EXPECT_EQ(leaking.childWindows - check.Before().childWindows, 2);
    const std::string failure = check.Check();
    EXPECT_NE(failure.find("GDI objects"), std::string::npos) << failure;
    EXPECT_NE(failure.find("top-level windows"), std::string::npos) << failure;
    EXPECT_NE(failure.find("child windows"), std::string::npos) << failure;

    for (HBRUSH brush : brushes)
        ::DeleteObject(brush);
    ::DestroyWindow(top);
    EXPECT_EQ(check.Check(), "");
    ::DestroyWindow(host);
}

TEST(GuiCounts, MakingAndFreeingStaysFlat)
{
    MakeAndFreeEverything();  // whatever the system makes once, on first use, is made now
    const GuiLeakCheck check;
    for (int i = 0; i < 200; ++i)
        MakeAndFreeEverything();
    EXPECT_EQ(check.Check(), "");
    const GuiCounts after = CountGuiObjects();
    EXPECT_EQ(after.gdiObjects, check.Before().gdiObjects);
    EXPECT_EQ(after.topLevelWindows, check.Before().topLevelWindows);
}
