// The whole update, driven through the real SoranoteUpdater.exe as a user would: press the
// buttons, read every message, then look at the exit code and at the files on disk.
#include "tests/support/Driver.h"
#include "tests/support/ResourceEdit.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr Millis kStart = 15s;  // a cold Wine start is slow
constexpr Millis kStep = 10s;

const std::wstring kTitle = L"ソラノート1.01アップデーター";
const std::wstring kUpdate = L"アップデート";
const std::wstring kQuit = L"終了";
const std::wstring kBegin = L"開始";
const std::wstring kNo = L"いいえ";
const std::wstring kSucceeded = L"アップデートは正常に終了しました";
const std::wstring kFailed = L"アップデート処理に失敗しました";

class UpdateFlow : public testing::Test {
protected:
    // Installs the product in the sandbox, points the registry at it and starts `exe` there.
    void Start(const std::optional<VersionNumbers>& installed, const std::wstring& exe = UpdaterExe())
    {
        sandbox_.Install(installed);
        sandbox_.PointRegistryAt(sandbox_.Folder());
        StartOnly(exe);
    }

    void StartOnly(const std::wstring& exe = UpdaterExe())
    {
        installedBytes_ = ReadFileBytes(sandbox_.Target());
        updater_ = std::make_unique<DrivenProcess>(exe, sandbox_.Folder());
        main_ = WaitForWindowWithButton(*updater_, kUpdate, kStart);
        EXPECT_EQ(WindowText(main_), kTitle);
    }

    // "アップデート": the install-folder dialog comes up.
    HWND OpenFolderDialog()
    {
        Click(FindButton(main_, kUpdate));
        return WaitForWindowWithButton(*updater_, kBegin, kStep);
    }

    // Reads the next message, checks its caption and presses OK.
    std::wstring NextMessage()
    {
        const MessageBoxSeen box = AnswerMessageBox(*updater_, kStep);
        EXPECT_EQ(box.caption, kTitle);
        return box.text;
    }

    // Back at the main window with both buttons, and nothing else open.
    void ExpectIdle()
    {
        HWND update = FindButton(main_, kUpdate);
        HWND quit = FindButton(main_, kQuit);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(update) && IsWindowVisible(quit); }, kStep))
            << "the buttons did not come back";
        EXPECT_EQ(TopLevelWindows(updater_->Id()), std::vector<HWND>{main_});
    }

    void QuitAndExpectExitCode0()
    {
        Click(FindButton(main_, kQuit));
        EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    }

    // The installed file is as it was, and nothing else was left in its folder.
    void ExpectTargetUnchanged(const std::vector<std::wstring>& files = {L"Soranote.exe"})
    {
        EXPECT_TRUE(ReadFileBytes(sandbox_.Target()) == installedBytes_) << "Soranote.exe changed";
        EXPECT_EQ(sandbox_.Files(), files);
    }

    Sandbox sandbox_;
    std::vector<BYTE> installedBytes_;
    std::unique_ptr<DrivenProcess> updater_;
    HWND main_ = nullptr;
};

TEST_F(UpdateFlow, OlderInstallationIsReplacedByThePayload)
{
    Start(VersionNumbers{1, 0, 0, 0});
    HWND dialog = OpenFolderDialog();
    EXPECT_EQ(WindowText(FindChild(dialog, L"Edit")), sandbox_.Folder()) << "folder from the registry";
    HWND begin = FindButton(dialog, kBegin);
    ASSERT_TRUE(IsWindowEnabled(begin));
    Click(begin);
    EXPECT_EQ(NextMessage(), kSucceeded);
    EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    EXPECT_TRUE(ReadFileBytes(sandbox_.Target()) == InflatedPayload()) << "Soranote.exe is not the payload";
    EXPECT_EQ(sandbox_.Files(), std::vector<std::wstring>{L"Soranote.exe"});
}

TEST_F(UpdateFlow, CancelAtTheFolderDialogReturnsToIdleSilently)
{
    Start(VersionNumbers{1, 0, 0, 0});
    Click(FindButton(OpenFolderDialog(), kNo));
    ExpectIdle();
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged();
}

TEST_F(UpdateFlow, UpToDateInstallationKeepsTheDialogOpen)
{
    Start(VersionNumbers{1, 0, 1, 0});
    HWND dialog = OpenFolderDialog();
    Click(FindButton(dialog, kBegin));
    EXPECT_EQ(NextMessage(), L"お使いのソラノートは、アップデートの必要がありません");
    EXPECT_EQ(FindWindowWithButton(updater_->Id(), kBegin), dialog);
    Click(FindButton(dialog, kNo));
    ExpectIdle();
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged();
}

TEST_F(UpdateFlow, OtherMajorOrNoVersionCannotBeUpdated)
{
    Start(VersionNumbers{2, 0, 0, 0});
    HWND dialog = OpenFolderDialog();
    Click(FindButton(dialog, kBegin));
    EXPECT_EQ(NextMessage(), L"このソラノートを、アップデートすることはできません");

    // The same with a file that has no version at all, put there while the dialog is open.
    sandbox_.Install(std::nullopt);
    installedBytes_ = ReadFileBytes(sandbox_.Target());
    Click(FindButton(dialog, kBegin));
    EXPECT_EQ(NextMessage(), L"このソラノートを、アップデートすることはできません");
    EXPECT_EQ(FindWindowWithButton(updater_->Id(), kBegin), dialog);

    Click(FindButton(dialog, kNo));
    ExpectIdle();
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged();
}

TEST_F(UpdateFlow, ReadOnlyTargetIsRefusedAndLeftAlone)
{
    sandbox_.Install(VersionNumbers{1, 0, 0, 0});
    sandbox_.PointRegistryAt(sandbox_.Folder());
    ASSERT_TRUE(SetFileAttributesW(sandbox_.Target().c_str(), FILE_ATTRIBUTE_READONLY));
    StartOnly();
    Click(FindButton(OpenFolderDialog(), kBegin));
    EXPECT_EQ(NextMessage(),
              L"ファイルが読み取り専用になっているためアップデートできません\r\n" + sandbox_.Target());
    EXPECT_EQ(NextMessage(), kFailed);
    ExpectIdle();
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged();
    EXPECT_EQ(GetFileAttributesW(sandbox_.Target().c_str()) & FILE_ATTRIBUTE_READONLY,
              DWORD{FILE_ATTRIBUTE_READONLY});
}

TEST_F(UpdateFlow, TargetInUseIsReportedAndLeftWhole)
{
    Start(VersionNumbers{1, 0, 0, 0});
    {
        DrivenProcess running(sandbox_.Target(), sandbox_.Folder());
        WaitForMessageBox(running, kStart);
        Click(FindButton(OpenFolderDialog(), kBegin));
        EXPECT_EQ(NextMessage(), L"予期しないエラーが発生しました\r\nﾌｧｲﾙ " + sandbox_.Target() +
                                     L" を作成できません");
        EXPECT_EQ(NextMessage(), kFailed);
        ExpectIdle();
    }
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged();
}

TEST_F(UpdateFlow, StartIsEnabledOnlyForAFolderHoldingTheExecutable)
{
    const std::wstring empty = sandbox_.File(L"empty");
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    sandbox_.Install(VersionNumbers{1, 0, 0, 0});
    sandbox_.PointRegistryAt(empty);
    StartOnly();
    HWND dialog = OpenFolderDialog();
    HWND edit = FindChild(dialog, L"Edit");
    HWND begin = FindButton(dialog, kBegin);
    EXPECT_FALSE(IsWindowEnabled(begin)) << "proposed folder without Soranote.exe";

    const struct {
        std::wstring typed;
        bool enabled;
    } steps[] = {
        {sandbox_.File(L"missing"), false},
        {sandbox_.Folder(), true},
        {empty + L"\\", false},
        {sandbox_.Folder() + L"\\", true},
        {sandbox_.Target(), false},  // the file itself is no folder
    };
    for (const auto& step : steps) {
        TypeText(edit, step.typed);
        EXPECT_EQ(IsWindowEnabled(begin) != FALSE, step.enabled) << testing::PrintToString(step.typed);
    }

    Click(FindButton(dialog, kNo));
    ExpectIdle();
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged({L"Soranote.exe", L"empty"});
}

TEST_F(UpdateFlow, CorruptPayloadIsReportedBeforeAnythingIsWritten)
{
    std::vector<BYTE> corrupt = PayloadContainer();
    ASSERT_GT(corrupt.size(), 19u);
    corrupt[19] = 0xFF;  // first deflate block header: final block of the reserved type 3
    sandbox_.Install(VersionNumbers{1, 0, 0, 0});
    sandbox_.PointRegistryAt(sandbox_.Folder());
    StartOnly(sandbox_.CopyUpdater(L"UPDATEDATA", corrupt));
    Click(FindButton(OpenFolderDialog(), kBegin));
    EXPECT_EQ(NextMessage(), L"予期しないエラーが発生しました\r\nerror");
    EXPECT_EQ(NextMessage(), kFailed);
    ExpectIdle();
    QuitAndExpectExitCode0();
    ExpectTargetUnchanged({L"Soranote.exe", L"SoranoteUpdater.exe"});
}

}  // namespace

// The keyboard in Idle: Enter is the update button, Esc the quit button; and the two buttons
// lie where the layout puts them, in the room the logo leaves.
TEST_F(UpdateFlow, EnterStartsTheUpdateAndEscQuits)
{
    Start(VersionNumbers{1, 0, 0, 0});
    HWND update = FindButton(main_, kUpdate);
    HWND quit = FindButton(main_, kQuit);
    RECT r;
    ASSERT_TRUE(GetWindowRect(update, &r));
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<LONG>{52, 278, 114, 43}));
    ASSERT_TRUE(GetWindowRect(quit, &r));
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<LONG>{236, 278, 114, 43}));

    PostMessageW(update, WM_KEYDOWN, VK_RETURN, 0);
    HWND dialog = WaitForWindowWithButton(*updater_, kBegin, kStep);
    PostMessageW(FindChild(dialog, L"Edit"), WM_KEYDOWN, VK_ESCAPE, 0);
    ExpectIdle();

    PostMessageW(update, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    ExpectTargetUnchanged();
}
