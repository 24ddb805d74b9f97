// The update under what a user's machine does to it: the product folder going away while the
// dialog is open, a full disk, a second updater at the same time, long and Japanese paths, and
// a bare product name that a search order could read elsewhere. Nothing may be lost.
#include "tests/e2e/UpdateFlow.h"
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
