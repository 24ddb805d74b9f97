// The whole update, driven through the real SoranoteUpdater.exe as a user would: press the
// buttons, read every message, then look at the exit code and at the files on disk.
#include "tests/e2e/UpdateFlow.h"

namespace {

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
