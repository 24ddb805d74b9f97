// The folder-selection dialog driven as the user drives it: opening at a folder, the
// entries and the label, the drive box, and the failures that must change nothing.
#include "target/FSelDir.h"

#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Fonts.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t* const kTitle = L"ソラノート1.01アップデーター";

std::wstring CurrentFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    return std::wstring(buffer, GetCurrentDirectoryW(MAX_PATH + 1, buffer));
}

// The message of the error the system gives for entering `path`, which must fail.
std::wstring ErrorOfEntering(const std::wstring& path)
{
    const std::wstring before = CurrentFolder();
    if (SetCurrentDirectoryW(path.c_str())) {
        SetCurrentDirectoryW(before.c_str());
        return L"(entered)";
    }
    return Format(tkconst::SInOutError, {static_cast<long long>(GetLastError())});
}

int TextWidth(const std::wstring& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, UiFont());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

std::wstring WindowText(HWND wnd)
{
    wchar_t buffer[1024] = {};
    GetWindowTextW(wnd, buffer, 1024);
    return buffer;
}

struct SeenBox {
    HWND box = nullptr;
    std::wstring text;
    std::wstring caption;
};

// Waits for a message box of this process, reads it and presses OK on it.
SeenBox AnswerMessageBox()
{
    SeenBox seen;
    for (int i = 0; i < 500 && !seen.box; ++i) {
        EnumWindows(
            [](HWND wnd, LPARAM out) -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(wnd, &pid);
                wchar_t cls[16] = {};
                GetClassNameW(wnd, cls, 16);
                if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(wnd))
                    return TRUE;
                *reinterpret_cast<HWND*>(out) = wnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&seen.box));
        Sleep(10);
    }
    if (!seen.box)
        return seen;
    seen.caption = WindowText(seen.box);
    seen.text = WindowText(GetDlgItem(seen.box, 0xFFFF));
    PostMessageW(seen.box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(seen.box, IDOK)));
    for (int i = 0; i < 500 && IsWindow(seen.box); ++i)
        Sleep(10);
    return seen;
}

// Runs the form modally on this thread while `script` acts on it from a helper thread once
// the form is on the screen. A close request follows the script in case it left the form open.
TModalResult RunModal(TForm& form, const std::function<void(HWND form)>& script)
{
    HWND wnd = form.Handle();
    std::thread helper([&] {
        for (int i = 0; i < 500 && !IsWindowVisible(wnd); ++i)
            Sleep(10);
        script(wnd);
        PostMessageW(wnd, WM_CLOSE, 0, 0);
    });
    const TModalResult result = form.ShowModal();
    helper.join();
    return result;
}

LPARAM ItemCentre(HWND list, int index)
{
    RECT r{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void PostDoubleClick(HWND list, int index)
{
    const LPARAM at = ItemCentre(list, index);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageW(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
}

// Picks a drive box entry as a click does: the selection moves, then the box tells its parent.
void PostPick(HWND combo, int index)
{
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

int IndexOf(const TDirectoryListBox& list, const std::wstring& text)
{
    for (int i = 0; i < list.Count(); ++i)
        if (list.Entry(i).text == text)
            return i;
    return -1;
}

int DriveIndex(const TDriveComboBox& box, wchar_t letter)
{
    for (int i = 0; i < box.Count(); ++i)
        if (box.ItemText(i).starts_with(std::wstring(1, letter) + L':'))
            return i;
    return -1;
}

// tree\Alpha\Deep\Deeper, tree\beta, tree\Gamma, tree\表, tree\readme.txt and the hidden
// or system folders tree\hid, tree\sys, tree\both, under the temp folder. The process's
// current folder is put back before the tree goes.
class SelDirTest : public testing::Test {
protected:
    SelDirTest()
    {
        tree_ = temp_.File(L"tree");
        for (const wchar_t* name : {L"", L"\\Alpha", L"\\Alpha\\Deep", L"\\Alpha\\Deep\\Deeper", L"\\beta",
                                    L"\\Gamma", L"\\表", L"\\hid", L"\\sys", L"\\both"})
            CreateDirectoryW((tree_ + name).c_str(), nullptr);
        SetFileAttributesW(Tree(L"hid").c_str(), FILE_ATTRIBUTE_HIDDEN);
        SetFileAttributesW(Tree(L"sys").c_str(), FILE_ATTRIBUTE_SYSTEM);
        SetFileAttributesW(Tree(L"both").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        CloseHandle(CreateFileW(Tree(L"readme.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        SetApplicationTitle(kTitle);
    }
    ~SelDirTest() override
    {
        SetEnvironmentVariableW(L"=Z:", nullptr);
        SetCurrentDirectoryW(saved_.c_str());
    }

    std::wstring Tree(const std::wstring& rest) const { return tree_ + L"\\" + rest; }

    // A dialog made while the process's current folder is `start`, opened at `initial`.
    std::unique_ptr<TfrmSelDir> MakeDialog(const std::wstring& start, const std::wstring& initial)
    {
        EXPECT_TRUE(SetCurrentDirectoryW(start.c_str()));
        auto dialog = std::make_unique<TfrmSelDir>(nullptr);
        dialog->SetInitialDir(initial);
        return dialog;
    }

    TempFolder temp_;
    std::wstring tree_;
    const std::wstring saved_ = CurrentFolder();
};

TEST_F(SelDirTest, SetInitialDirOpensTheFolderOrItsNearestAncestor)
{
    const std::wstring beta = Tree(L"beta");
    const struct {
        std::wstring start, initial, opened;
    } cases[] = {
        {beta, L"C:", L"C:\\"},
        {beta, L"C:\\", L"C:\\"},
        {beta, Tree(L"Alpha\\"), Tree(L"Alpha")},
        {beta, Tree(L"missing"), tree_},
        {beta, Tree(L"missing\\deeper\\deepest"), tree_},
        {beta, Tree(L"表\\ソ"), Tree(L"表")},
        {beta, Tree(L"missing\\"), beta},  // its parent part is itself: not retried
        {beta, L"", beta},
        {beta, Tree(L"readme.txt"), tree_},
        {beta, Tree(L"Alpha\\*.txt"), Tree(L"Alpha")},
        {tree_, L"Alpha\\Deep", Tree(L"Alpha\\Deep")},
        {beta, L"..\\Gamma", Tree(L"Gamma")},
        {beta, L"Q:\\missing\\folder", beta},  // no such drive
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.initial));
        auto dialog = MakeDialog(c.start, c.initial);
        EXPECT_EQ(dialog->GetSelectedDir(), c.opened);
        EXPECT_EQ(CurrentFolder(), c.opened);
    }
}

TEST_F(SelDirTest, EntriesAndLabelOfARootAndOfDeeperFolders)
{
    auto dialog = MakeDialog(tree_, tree_);
    TDirectoryListBox& list = *dialog->DirectoryListBox;

    // Root, ancestors, the folder, then the visible sub-folders sorted ignoring case.
    std::vector<TFolderEntry> expected = FolderPathEntries(tree_);
    ASSERT_EQ(expected.back().text, L"tree");
    for (const wchar_t* name : {L"Alpha", L"beta", L"Gamma", L"表"})
        expected.push_back({name, TFolderPicture::fpClosed});
    ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(list.Entry(i), expected[i]);
        std::wstring text(static_cast<size_t>(list.Perform(LB_GETTEXTLEN, i)), L'\0');
        list.Perform(LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        EXPECT_EQ(text, expected[i].text);
    }
    EXPECT_EQ(list.Perform(LB_GETCURSEL), list.CurrentIndex());
    EXPECT_EQ(list.Perform(LB_GETITEMHEIGHT), 16);
    EXPECT_EQ(list.GetItemPath(IndexOf(list, L"Gamma")), Tree(L"Gamma"));

    // A path too wide for the 213-pixel label keeps its last folder and fits.
    const std::wstring deep = Tree(L"Alpha\\Deep\\Deeper");
    dialog->SetInitialDir(deep);
    EXPECT_EQ(list.Entry(list.Count() - 1), (TFolderEntry{L"Deeper", TFolderPicture::fpCurrent}));
    EXPECT_EQ(list.GetItemPath(list.Count() - 3), Tree(L"Alpha"));
    const std::wstring label = dialog->lblDirName->Caption();
    ASSERT_GT(TextWidth(deep), 213);
    EXPECT_LE(TextWidth(label), 213);
    EXPECT_TRUE(label.starts_with(L"C:\\...\\") || label.starts_with(L"...\\")) << testing::PrintToString(label);
    EXPECT_TRUE(label.ends_with(L"\\Deeper")) << testing::PrintToString(label);

    // A root is one current-folder entry followed by its sub-folders.
    dialog->SetInitialDir(L"C:\\");
    EXPECT_EQ(dialog->lblDirName->Caption(), L"C:\\");
    EXPECT_EQ(list.Entry(0), (TFolderEntry{L"C:\\", TFolderPicture::fpCurrent}));
    EXPECT_EQ(list.Entry(IndexOf(list, L"windows")).picture, TFolderPicture::fpClosed);
}

TEST_F(SelDirTest, EnterOnTheListReturnsTheCurrentFolderNotTheHighlightedOne)
{
    auto dialog = MakeDialog(tree_, tree_);
    TDirectoryListBox& list = *dialog->DirectoryListBox;
    const int gamma = IndexOf(list, L"Gamma");
    dialog->SetActiveControl(&list);
    HWND listWnd = list.Handle();
    const DWORD uiThread = GetCurrentThreadId();
    bool listFocused = false;

    const TModalResult result = RunModal(*dialog, [&](HWND) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        for (int i = 0; i < 500 && !listFocused; ++i, Sleep(10))
            listFocused = GetGUIThreadInfo(uiThread, &info) && info.hwndFocus == listWnd;
        // A click and an arrow only move the highlight; Enter then presses "はい".
        const LPARAM at = ItemCentre(listWnd, gamma);
        PostMessageW(listWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(listWnd, WM_LBUTTONUP, 0, at);
        PostMessageW(listWnd, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(listWnd, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_TRUE(listFocused);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(list.ItemIndex(), gamma + 1);
    EXPECT_EQ(dialog->GetSelectedDir(), tree_);
    EXPECT_EQ(CurrentFolder(), tree_);
}

TEST_F(SelDirTest, DoubleClickOpensAnEntryAndEscapeLeavesTheProcessThere)
{
    auto dialog = MakeDialog(tree_, tree_);
    TDirectoryListBox& list = *dialog->DirectoryListBox;
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    const int alpha = IndexOf(list, L"Alpha");
    HWND listWnd = list.Handle();

    const TModalResult result = RunModal(*dialog, [&](HWND) {
        PostDoubleClick(listWnd, alpha);
        PostMessageW(listWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(dialog->GetSelectedDir(), Tree(L"Alpha"));
    EXPECT_EQ(CurrentFolder(), Tree(L"Alpha"));  // not put back on Cancel
    EXPECT_EQ(list.Entry(list.Count() - 1), (TFolderEntry{L"Deep", TFolderPicture::fpClosed}));
}

TEST_F(SelDirTest, DoubleClickOnAFolderRemovedMeanwhileReportsTheErrorAndStaysOpen)
{
    auto dialog = MakeDialog(tree_, tree_);
    TDirectoryListBox& list = *dialog->DirectoryListBox;
    const int gamma = IndexOf(list, L"Gamma");
    const std::wstring label = dialog->lblDirName->Caption();
    ASSERT_TRUE(RemoveDirectoryW(Tree(L"Gamma").c_str()));
    HWND listWnd = list.Handle();
    SeenBox seen;
    bool openAfterwards = false;

    const TModalResult result = RunModal(*dialog, [&](HWND form) {
        PostDoubleClick(listWnd, gamma);
        seen = AnswerMessageBox();
        Sleep(50);
        openAfterwards = IsWindowVisible(form) != FALSE;
    });
    EXPECT_EQ(seen.text, ErrorOfEntering(Tree(L"Gamma")));
    EXPECT_EQ(seen.caption, kTitle);
    EXPECT_TRUE(openAfterwards);
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(dialog->GetSelectedDir(), tree_);
    EXPECT_EQ(CurrentFolder(), tree_);
    EXPECT_EQ(list.Entry(gamma).text, L"Gamma");
    EXPECT_EQ(dialog->lblDirName->Caption(), label);
}

TEST_F(SelDirTest, FailedChangeRaisesTheIoErrorAndLeavesEverythingAsItWas)
{
    auto dialog = MakeDialog(tree_, tree_);
    TDirectoryListBox& list = *dialog->DirectoryListBox;
    TDriveComboBox& box = *dialog->DriveComboBox1;
    const int entries = list.Count();
    const std::wstring label = dialog->lblDirName->Caption();
    const int boxIndex = box.ItemIndex();
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };

    const std::wstring missing = Tree(L"missing");
    EXPECT_TRUE(FailsWith<EInOutError>([&] { list.SetDirectory(missing); }, ErrorOfEntering(missing)));
    wchar_t absent = L'Z';
    while (absent > L'D' && (GetLogicalDrives() & (1u << (absent - L'A'))))
        --absent;
    EXPECT_TRUE(FailsWith<EInOutError>([&] { box.SetDrive(absent); },
                                       ErrorOfEntering(std::wstring(1, absent) + L':')));

    EXPECT_EQ(changes, 0);
    EXPECT_EQ(list.Count(), entries);
    EXPECT_EQ(dialog->lblDirName->Caption(), label);
    EXPECT_EQ(dialog->GetSelectedDir(), tree_);
    EXPECT_EQ(CurrentFolder(), tree_);
    EXPECT_EQ(box.Drive(), L'C');
    EXPECT_EQ(box.Perform(CB_GETCURSEL), boxIndex);
}

TEST_F(SelDirTest, DriveBoxListsTheDrivesAndMovesWithTheList)
{
    auto dialog = MakeDialog(tree_, tree_);
    TDriveComboBox& box = *dialog->DriveComboBox1;

    // Wine offers fixed drives (C: and Z:), read with their labels in upper case.
    std::vector<std::wstring> expected, actual;
    for (int i = 0; i < 26; ++i) {
        const std::wstring root = std::wstring(1, static_cast<wchar_t>(L'A' + i)) + L":\\";
        if (!(GetLogicalDrives() & (1u << i)) || GetDriveTypeW(root.c_str()) != DRIVE_FIXED)
            continue;
        wchar_t label[MAX_PATH + 1] = {};
        GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
        expected.push_back(root.substr(0, 2) + L" [" + CharUpperW(label) + L"]");
    }
    for (int i = 0; i < box.Count(); ++i)
        actual.push_back(box.ItemText(i));
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(box.Perform(CB_GETCOUNT), box.Count());
    EXPECT_EQ(box.Perform(CB_GETCURSEL), DriveIndex(box, L'C'));

    // Picking a drive moves the list, the label and the process; the list moves the box.
    const int z = DriveIndex(box, L'Z');
    ASSERT_GE(z, 0);
    int listChanges = 0, boxChanges = 0;
    dialog->DirectoryListBox->OnChange = [&](TObject*) { ++listChanges; };
    box.OnChange = [&](TObject*) { ++boxChanges; };
    PostPick(box.Handle(), z);
    Application().ProcessMessages();
    EXPECT_EQ(dialog->GetSelectedDir(), L"Z:\\");
    EXPECT_EQ(dialog->lblDirName->Caption(), L"Z:\\");
    EXPECT_EQ(CurrentFolder(), L"Z:\\");
    PostPick(box.Handle(), z);  // the drive already shown: nothing happens
    Application().ProcessMessages();
    dialog->SetInitialDir(tree_);
    EXPECT_EQ(box.Drive(), L'C');
    EXPECT_EQ(box.Perform(CB_GETCURSEL), DriveIndex(box, L'C'));
    EXPECT_EQ(listChanges, 2);
    EXPECT_EQ(boxChanges, 2);

    box.SetTextCase(tcLowerCase);
    EXPECT_EQ(box.Drive(), L'c');
    EXPECT_TRUE(box.ItemText(box.ItemIndex()).starts_with(L"c: ["));
}

TEST_F(SelDirTest, PickedDriveThatCannotBeEnteredIsReportedAndChangesNothing)
{
    // This process's own current folder of drive Z: does not exist, so "Z:" cannot be entered.
    ASSERT_TRUE(SetEnvironmentVariableW(L"=Z:", L"Z:\\sntest_no_such_folder"));
    auto dialog = MakeDialog(tree_, tree_);
    TDriveComboBox& box = *dialog->DriveComboBox1;
    const std::wstring label = dialog->lblDirName->Caption();
    const int entries = dialog->DirectoryListBox->Count();
    HWND combo = box.Handle();
    SeenBox seen;

    RunModal(*dialog, [&](HWND) {
        PostPick(combo, DriveIndex(box, L'Z'));
        seen = AnswerMessageBox();
    });
    EXPECT_EQ(seen.text, ErrorOfEntering(L"Z:"));
    EXPECT_EQ(seen.caption, kTitle);
    EXPECT_EQ(dialog->GetSelectedDir(), tree_);
    EXPECT_EQ(dialog->lblDirName->Caption(), label);
    EXPECT_EQ(dialog->DirectoryListBox->Count(), entries);
    EXPECT_EQ(CurrentFolder(), tree_);
    EXPECT_EQ(box.Drive(), L'C');  // back on the list's drive
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), DriveIndex(box, L'C'));
}

TEST_F(SelDirTest, LinksLetGoOfControlsThatAreDestroyed)
{
    SetCurrentDirectoryW(tree_.c_str());
    auto list = std::make_unique<TDirectoryListBox>(nullptr);
    auto box = std::make_unique<TDriveComboBox>(nullptr);
    auto label = std::make_unique<TLabel>(nullptr);
    list->SetDirLabel(label.get());
    box->SetDirList(list.get());
    EXPECT_EQ(list->DriveCombo(), box.get());
    box.reset();
    label.reset();
    EXPECT_EQ(list->DriveCombo(), nullptr);
    EXPECT_EQ(list->DirLabel(), nullptr);
    list->SetDirectory(L"Z:\\");

    auto other = std::make_unique<TDriveComboBox>(nullptr);
    other->SetDirList(list.get());
    list.reset();
    EXPECT_EQ(other->DirList(), nullptr);
    other->SetDrive(L'C');
    EXPECT_EQ(other->Drive(), L'c');
}

}  // namespace
