// The update under what a user's machine does to it: the product folder going away while the
// dialog is open, a full disk, a second updater at the same time, long and Japanese paths, and
// a bare product name that a search order could read elsewhere. Nothing may be lost.
#include "tests/e2e/UpdateFlow.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"

namespace {

const std::wstring kNoUpdateNeeded = L"お使いのソラノートは、アップデートの必要がありません";

// Creates every missing folder of an absolute path, however long.
void CreateFolders(const std::wstring& folder)
{
    for (size_t at = folder.find(L'\\', 3); ; at = folder.find(L'\\', at + 1)) {
        CreateDirectoryW(LongPathForm(folder.substr(0, at)).c_str(), nullptr);
        if (at == std::wstring::npos)
            break;
    }
    ASSERT_NE(GetFileAttributesW(LongPathForm(folder).c_str()), INVALID_FILE_ATTRIBUTES) << "cannot create the folder";
}

// The stand-in product of this version as folder\Soranote.exe; returns its bytes.
std::vector<BYTE> InstallAt(const Sandbox& sandbox, const std::wstring& folder, const VersionNumbers& version)
{
    // Made under a short name first: the resource functions take no "\\?\" paths.
    const std::wstring made = sandbox.File(L"made.exe");
    MakeVersionedExe(StandInExe(), made, version);
    std::vector<BYTE> bytes = ReadFileBytes(made);
    const std::wstring target = LongPathForm(folder + L"\\Soranote.exe");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(made.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        throw std::runtime_error("MoveFileExW failed, error " + std::to_string(GetLastError()));
    return bytes;
}

class MachineFaults : public UpdateFlow {
protected:
    // Starts a further updater beside the fixture's, in the sandbox, and returns its main window.
    HWND StartAnother(std::unique_ptr<DrivenProcess>& process)
    {
        process = std::make_unique<DrivenProcess>(UpdaterExe(), sandbox_.Folder());
        return WaitForWindowWithButton(*process, kUpdate, kStart);
    }

    // The update run to its end through the folder the registry proposes.
    void UpdateThroughProposedFolder(const std::wstring& folder)
    {
        HWND dialog = OpenFolderDialog();
        EXPECT_EQ(WindowText(FindChild(dialog, L"Edit")), folder);
        HWND begin = FindButton(dialog, kBegin);
        ASSERT_TRUE(IsWindowEnabled(begin)) << "Soranote.exe not found there";
        Click(begin);
        EXPECT_EQ(NextMessage(), kSucceeded);
        EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    }
};

}  // namespace

// An empty folder box means the bare name "Soranote.exe", in the current folder. The version
// functions would look a bare name up beside the updater first; the gate must judge the file
// the check found and the writer replaces.
TEST_F(MachineFaults, BareNameIsJudgedWhereItIsWritten)
{
    const std::wstring own = sandbox_.File(L"download");
    const std::wstring work = sandbox_.File(L"work");
    CreateFolders(own);
    CreateFolders(work);
    const std::wstring updater = own + L"\\SoranoteUpdater.exe";
    ASSERT_TRUE(CopyFileW(UpdaterExe().c_str(), updater.c_str(), FALSE));
    // Beside the updater an older product, which would pass; in the current folder one that is
    // up to date.
    std::vector<BYTE> besideUpdater = InstallAt(sandbox_, own, VersionNumbers{1, 0, 0, 0});
    InstallAt(sandbox_, work, VersionNumbers{1, 0, 1, 0});
    sandbox_.PointRegistryAt(work);
    StartOnly(updater, work);
    HWND dialog = OpenFolderDialog();
    HWND begin = FindButton(dialog, kBegin);
    TypeText(FindChild(dialog, L"Edit"), L"");
    ASSERT_TRUE(IsWindowEnabled(begin));
    Click(begin);
    EXPECT_EQ(NextMessage(), kNoUpdateNeeded);

    // The other way round: another major beside the updater, an older product here.
    besideUpdater = InstallAt(sandbox_, own, VersionNumbers{2, 0, 0, 0});
    InstallAt(sandbox_, work, VersionNumbers{1, 0, 0, 0});
    Click(begin);
    EXPECT_EQ(NextMessage(), kSucceeded);
    EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    EXPECT_TRUE(ReadFileBytes(work + L"\\Soranote.exe") == InflatedPayload());
    EXPECT_TRUE(ReadFileBytes(own + L"\\Soranote.exe") == besideUpdater) << "the product beside the updater changed";
    EXPECT_EQ(FilesIn(work), std::vector<std::wstring>{L"Soranote.exe"});
}

// The user deletes the product's folder while the dialog proposes it: "開始" finds nothing,
// stays open without a message, and nothing is made again.
TEST_F(MachineFaults, ProductFolderDeletedWhileTheDialogIsOpen)
{
    const std::wstring product = sandbox_.File(L"Soranote");
    CreateFolders(product);
    InstallAt(sandbox_, product, VersionNumbers{1, 0, 0, 0});
    sandbox_.PointRegistryAt(product);
    StartOnly();
    HWND dialog = OpenFolderDialog();
    HWND begin = FindButton(dialog, kBegin);
    ASSERT_TRUE(IsWindowEnabled(begin));

    ASSERT_TRUE(RemoveTree(product));
    Click(begin);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(begin); }, kStep)) << "開始 still enabled";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);  // the click is handled
    EXPECT_TRUE(MessageBoxes(updater_->Id()).empty());
    EXPECT_EQ(FindWindowWithButton(updater_->Id(), kBegin), dialog);

    Click(FindButton(dialog, kNo));
    ExpectIdle();
    QuitAndExpectExitCode0();
    EXPECT_TRUE(sandbox_.Files().empty());
}

// A drive too small for the new file beside the old one (a RAM-backed one the build mounts,
// tests/e2e/small-drive.sh): the write fails part way, the old product stays byte for byte and
// no temporary file is left.
TEST_F(MachineFaults, DiskFullWhileWritingLeavesTheOldProduct)
{
    const std::wstring drive = HostPath(SMALL_DRIVE);
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExW((drive + L"\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > 16u << 20)
        GTEST_SKIP() << "no small drive at " << SMALL_DRIVE << " (mounting needs the right to)";
    const std::wstring product = drive + L"\\Soranote";
    struct RemovedAfterwards {
        std::wstring folder;
        ~RemovedAfterwards() { RemoveTree(folder); }
    } removed{product};
    CreateFolders(product);
    const std::vector<BYTE> old = InstallAt(sandbox_, product, VersionNumbers{1, 0, 0, 0});
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW((drive + L"\\").c_str(), &free, nullptr, nullptr));
    ASSERT_LT(free.QuadPart, InflatedPayload().size()) << "the drive has room for the new file";
    sandbox_.PointRegistryAt(product);
    StartOnly();

    Click(FindButton(OpenFolderDialog(), kBegin));
    EXPECT_EQ(NextMessage(), L"予期しないエラーが発生しました\r\nｽﾄﾘｰﾑへの書き込みｴﾗｰ");
    EXPECT_EQ(NextMessage(), kFailed);
    ExpectIdle();
    QuitAndExpectExitCode0();
    EXPECT_TRUE(ReadFileBytes(product + L"\\Soranote.exe") == old) << "the old product changed";
    EXPECT_EQ(FilesIn(product), std::vector<std::wstring>{L"Soranote.exe"});
}

// Two updaters at once. Each writes its own temporary file (named for its process) and puts
// it in place in one step, waiting out the moments the other has the file open; whichever
// comes second replaces a finished file with the same bytes, and both report success. An
// updater that reaches the gate after the product has been updated finds it up to date.
TEST_F(MachineFaults, SecondUpdaterAtOnceLeavesTheFirstOnesWorkWhole)
{
    sandbox_.Install(VersionNumbers{1, 0, 0, 0});
    sandbox_.PointRegistryAt(sandbox_.Folder());
    StartOnly();
    std::unique_ptr<DrivenProcess> second;
    HWND secondMain = StartAnother(second);
    std::unique_ptr<DrivenProcess> third;
    HWND thirdMain = StartAnother(third);

    HWND firstDialog = OpenFolderDialog();
    Click(FindButton(secondMain, kUpdate));
    HWND secondDialog = WaitForWindowWithButton(*second, kBegin, kStep);
    Click(FindButton(thirdMain, kUpdate));
    HWND thirdDialog = WaitForWindowWithButton(*third, kBegin, kStep);

    Click(FindButton(firstDialog, kBegin));
    Click(FindButton(secondDialog, kBegin));
    const MessageBoxSeen first = WaitForMessageBox(*updater_, kStep);
    const MessageBoxSeen other = WaitForMessageBox(*second, kStep);
    EXPECT_EQ(first.text, kSucceeded);
    EXPECT_EQ(other.text, kSucceeded);
    PressOk(first, kStep);
    PressOk(other, kStep);
    EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    EXPECT_EQ(second->WaitForExit(kStep), 0u);
    EXPECT_TRUE(ReadFileBytes(sandbox_.Target()) == InflatedPayload()) << "Soranote.exe is not the payload";
    EXPECT_EQ(sandbox_.Files(), std::vector<std::wstring>{L"Soranote.exe"});

    Click(FindButton(thirdDialog, kBegin));
    const MessageBoxSeen late = AnswerMessageBox(*third, kStep);
    EXPECT_EQ(late.text, kNoUpdateNeeded);
    Click(FindButton(thirdDialog, kNo));
    Click(FindButton(thirdMain, kQuit));
    EXPECT_EQ(third->WaitForExit(kStep), 0u);
    EXPECT_TRUE(ReadFileBytes(sandbox_.Target()) == InflatedPayload());
}

// A product folder of 250 characters (its Soranote.exe and the temporary file beside it are
// longer than MAX_PATH), and one of Japanese folder names whose last Shift-JIS byte is a
// backslash's.
TEST_F(MachineFaults, LongAndJapaneseProductPaths)
{
    std::wstring longFolder = sandbox_.File(L"");
    for (int part = 0; longFolder.size() < 250; ++part)
        longFolder += std::wstring(std::min<size_t>(100, 250 - longFolder.size()), L'a' + part) + L"\\";
    longFolder.pop_back();
    ASSERT_EQ(longFolder.size(), 250u);
    const std::wstring japanese = sandbox_.File(L"ソラノート\\表示\\ソ");

    for (const std::wstring& folder : {longFolder, japanese}) {
        SCOPED_TRACE(testing::Message() << folder.size() << " characters");
        CreateFolders(folder);
        InstallAt(sandbox_, folder, VersionNumbers{1, 0, 0, 0});
        sandbox_.PointRegistryAt(folder);
        StartOnly();
        UpdateThroughProposedFolder(folder);
        EXPECT_TRUE(ReadFileBytes(LongPathForm(folder + L"\\Soranote.exe")) == InflatedPayload());
        EXPECT_EQ(FilesIn(LongPathForm(folder)), std::vector<std::wstring>{L"Soranote.exe"});
    }
}
