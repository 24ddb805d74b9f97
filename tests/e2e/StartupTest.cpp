// Start-up of the real executable with its version record broken or changed: the error
// report and the end of the program, or the title the record gives.
#include "tests/support/Driver.h"
#include "tests/support/ResourceEdit.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using namespace std::chrono_literals;

namespace {

constexpr Millis kStart = 15s;
constexpr Millis kStep = 10s;

std::vector<BYTE> Record(std::int32_t major, std::int32_t composite, size_t size = 8)
{
    std::vector<BYTE> bytes(size, 0xEE);
    std::memcpy(bytes.data(), &major, 4);
    std::memcpy(bytes.data() + 4, &composite, 4);
    return bytes;
}

TEST(Startup, BrokenVersionRecordIsReportedAndTheProgramEnds)
{
    const struct {
        const char* what;
        std::optional<std::vector<BYTE>> record;
        const wchar_t* message;
    } cases[] = {
        {"no UPDATEVERSION", std::nullopt, L"UPDATEVERSION ﾘｿｰｽが見つかりません."},
        {"7 bytes", std::vector<BYTE>(7, 1), L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox sandbox;
        DrivenProcess updater(sandbox.CopyUpdater(L"UPDATEVERSION", c.record), sandbox.Folder());
        const MessageBoxSeen box = WaitForMessageBox(updater, kStart);
        EXPECT_EQ(box.text, c.message);
        // No update can be started: the main window never shows.
        EXPECT_EQ(FindWindowWithButton(updater.Id(), L"アップデート"), nullptr);
        PressOk(box, kStep);
        updater.WaitForExit(kStep);
    }
}

TEST(Startup, TitleComesFromTheVersionRecord)
{
    const struct {
        std::vector<BYTE> record;
        const wchar_t* title;
    } cases[] = {
        {Record(1, 1, 12), L"ソラノート1.01アップデーター"},  // only the first 8 bytes count
        {Record(2, 13), L"ソラノート2.013アップデーター"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.record.size() << " bytes");
        Sandbox sandbox;
        DrivenProcess updater(sandbox.CopyUpdater(L"UPDATEVERSION", c.record), sandbox.Folder());
        HWND main = WaitForWindowWithButton(updater, L"アップデート", kStart);
        EXPECT_EQ(WindowText(main), c.title);
        EXPECT_TRUE(MessageBoxes(updater.Id()).empty());
        Click(FindButton(main, L"終了"));
        EXPECT_EQ(updater.WaitForExit(kStep), 0u);
    }
}

// The picture belongs to the main window's layout; without it the window cannot be built, and
// the error escapes the program: the runtime's report, and exit code 1.
TEST(Startup, MissingLogoEndsTheProgramWithTheRuntimesReport)
{
    Sandbox sandbox;
    const std::wstring copy = sandbox.File(L"SoranoteUpdater.exe");
    CopyWithResource(UpdaterExe(), copy, RT_BITMAP, L"LOGO", std::nullopt);
    DrivenProcess updater(copy, sandbox.Folder());
    const MessageBoxSeen box = WaitForMessageBox(updater, kStart);
    EXPECT_EQ(box.caption, L"ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ");
    EXPECT_EQ(box.text.rfind(L"EResNotFoundがﾓｼﾞｭｰﾙ SoranoteUpdater.exe の ", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(L" で発生しました。\nLOGO ﾘｿｰｽが見つかりません."), std::wstring::npos) << box.text;
    const size_t at = box.text.find(L"の ") + 2;
    const std::wstring address = box.text.substr(at, box.text.find(L' ', at) - at);
    EXPECT_EQ(address.size(), 2 * sizeof(void*)) << box.text;
    EXPECT_NE(address, std::wstring(2 * sizeof(void*), L'0')) << "where the error was raised";
    EXPECT_EQ(FindWindowWithButton(updater.Id(), L"アップデート"), nullptr);
    PressOk(box, kStep);
    EXPECT_EQ(updater.WaitForExit(kStep), 1u);
}

}  // namespace
