// The main window's logo through the real executable: the shipped picture on the screen and
// the window sized to it, another picture in its place, an "Image.res" beside the executable,
// and the pictures that end the start.
#include "tests/support/Driver.h"
#include "tests/support/Files.h"
#include "tests/support/ResFileBytes.h"
#include "tests/support/ResourceEdit.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace std::chrono_literals;

namespace {

constexpr Millis kStart = 15s;
constexpr Millis kStep = 10s;
const RECT kButtons[] = {{52, 278, 166, 321}, {236, 278, 350, 321}};  // as laid out

// A bitmap resource's bytes (no file header) of one colour.
std::vector<BYTE> SolidDib(int width, int height, COLORREF colour)
{
    BmpSpec form;
    form.width = width;
    form.height = height;
    std::vector<uint8_t> row(3 * static_cast<size_t>(width));
    for (size_t i = 0; i < row.size(); i += 3) {
        row[i] = GetBValue(colour);
        row[i + 1] = GetGValue(colour);
        row[i + 2] = GetRValue(colour);
    }
    form.rows.assign(static_cast<size_t>(height), row);
    const std::vector<uint8_t> file = BmpFile(form);
    return std::vector<BYTE>(file.begin() + 14, file.end());
}

std::string ImageRes(const wchar_t* name, const std::vector<BYTE>& dib)
{
    std::vector<uint8_t> bytes = EmptyResEntry();
    const std::vector<uint8_t> entry = ResEntry({RT_BITMAP, name, dib});
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    return std::string(bytes.begin(), bytes.end());
}

SIZE ClientSize(HWND window)
{
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right, r.bottom};
}

// The button's place in the window's client area.
RECT PlaceOf(HWND window, const wchar_t* caption)
{
    RECT r{};
    HWND button = FindButton(window, caption);
    ::GetWindowRect(button, &r);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// What the screen shows of the window's client area.
void Capture(HWND window, WhitePage& page)
{
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    WindowDC screen(nullptr);
    ::BitBlt(page.Canvas().Handle(), 0, 0, page.Width(), page.Height(), screen.get(), origin.x, origin.y, SRCCOPY);
}

// Pixels of the client area outside the buttons that differ from `expected`; waits for the
// window to finish painting. Names the first one.
std::string ScreenDiffers(HWND window, TBitmap& expected)
{
    WhitePage want(expected.Width(), expected.Height()), seen(expected.Width(), expected.Height());
    want.Canvas().Render(0, 0, &expected);
    std::string report;
    WaitUntil(
        [&] {
            Capture(window, seen);
            long count = 0;
            POINT first{};
            for (int y = 0; y < seen.Height(); ++y) {
                const auto* a = static_cast<const BYTE*>(want.ScanLine(y));
                const auto* b = static_cast<const BYTE*>(seen.ScanLine(y));
                for (int x = 0; x < seen.Width(); ++x) {
                    const POINT at{x, y};
                    if (std::memcmp(a + 3 * x, b + 3 * x, 3) == 0 || ::PtInRect(&kButtons[0], at) ||
                        ::PtInRect(&kButtons[1], at))
                        continue;
                    if (count++ == 0)
                        first = at;
                }
            }
            char text[80] = "";
            if (count)
                std::snprintf(text, sizeof text, "%ld pixels differ, first at (%ld, %ld)", count, first.x, first.y);
            report = text;
            return count == 0;
        },
        5s);
    return report;
}

void Quit(DrivenProcess& updater, HWND main)
{
    Click(FindButton(main, L"終了"));
    EXPECT_EQ(updater.WaitForExit(kStep), 0u);
}

}  // namespace

TEST(Logo, TheShippedLogoCoversTheWindowWhichTakesItsSize)
{
    Sandbox sandbox;
    DrivenProcess updater(sandbox.CopyUpdater(), sandbox.Folder());
    HWND main = WaitForWindowWithButton(updater, L"アップデート", kStart);
    const SIZE client = ClientSize(main);
    EXPECT_EQ(client.cx, 400);  // one pixel wider and higher than laid out
    EXPECT_EQ(client.cy, 360);
    TBitmap logo;
    logo.LoadFromResourceName(::GetModuleHandleW(nullptr), L"LOGO");
    EXPECT_EQ(ScreenDiffers(main, logo), "");
    Quit(updater, main);
}

TEST(Logo, AnotherPictureSizesTheWindowAndTheButtonsStayInPlace)
{
    const struct {
        int width, height;
        COLORREF colour;
        bool beside;  // in an "Image.res" beside the executable, which wins over its own
    } cases[] = {
        {520, 400, RGB(0, 128, 0), false},
        {380, 330, RGB(200, 30, 60), false},
        {300, 340, RGB(20, 40, 220), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + (c.beside ? " in Image.res" : ""));
        Sandbox sandbox;
        const std::wstring exe = sandbox.File(L"SoranoteUpdater.exe");
        if (c.beside) {
            sandbox.CopyUpdater();
            WriteFileContents(sandbox.File(L"Image.res"), ImageRes(L"LOGO", SolidDib(c.width, c.height, c.colour)));
        } else {
            CopyWithResource(UpdaterExe(), exe, RT_BITMAP, L"LOGO", SolidDib(c.width, c.height, c.colour));
        }
        DrivenProcess updater(exe, sandbox.Folder());
        HWND main = WaitForWindowWithButton(updater, L"アップデート", kStart);
        const SIZE client = ClientSize(main);
        EXPECT_EQ(client.cx, c.width);
        EXPECT_EQ(client.cy, c.height);
        for (const RECT& place : {PlaceOf(main, L"アップデート"), PlaceOf(main, L"終了")})
            EXPECT_TRUE(::EqualRect(&place, &kButtons[0]) || ::EqualRect(&place, &kButtons[1]))
                << place.left << "," << place.top << "," << place.right << "," << place.bottom;
        TBitmap expected;
        expected.SetSize(c.width, c.height);
        expected.Canvas().Brush().SetColor(c.colour);
        expected.Canvas().FillRect({0, 0, c.width, c.height});
        EXPECT_EQ(ScreenDiffers(main, expected), "");
        Quit(updater, main);
    }
}

TEST(Logo, AnImageResWithoutTheLogoEndsTheStartWithTheRuntimesReport)
{
    Sandbox sandbox;
    const std::wstring exe = sandbox.CopyUpdater();  // carries its own LOGO, which is not looked at
    WriteFileContents(sandbox.File(L"Image.res"), ImageRes(L"OTHER", SolidDib(4, 4, RGB(1, 2, 3))));
    DrivenProcess again(exe, sandbox.Folder());
    const MessageBoxSeen box = WaitForMessageBox(again, kStart);
    EXPECT_EQ(box.caption, L"ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ");
    EXPECT_EQ(box.text.rfind(L"EResNotFoundがﾓｼﾞｭｰﾙ SoranoteUpdater.exe の ", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(L" で発生しました。\nLOGO ﾘｿｰｽが見つかりません."), std::wstring::npos) << box.text;
    EXPECT_EQ(FindWindowWithButton(again.Id(), L"アップデート"), nullptr);
    PressOk(box, kStep);
    EXPECT_EQ(again.WaitForExit(kStep), 1u);
}

TEST(Logo, AnEmptyPictureLeavesTheClientAreaOnePixelSquare)
{
    Sandbox sandbox;
    const std::wstring exe = sandbox.File(L"SoranoteUpdater.exe");
    CopyWithResource(UpdaterExe(), exe, RT_BITMAP, L"LOGO", SolidDib(0, 0, 0));
    DrivenProcess updater(exe, sandbox.Folder());
    HWND main = WaitForWindowWithButton(updater, L"アップデート", kStart);
    const SIZE client = ClientSize(main);
    EXPECT_EQ(client.cx, 1);
    EXPECT_EQ(client.cy, 1);
    Quit(updater, main);
}
