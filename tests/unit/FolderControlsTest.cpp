#include "toolkit/windows/DirectoryListBox.h"
#include "toolkit/windows/DriveComboBox.h"

#include "tests/support/TempFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One unit of width per character, so the widths of the steps are easy to read off.
int Chars(const std::wstring& s)
{
    return static_cast<int>(s.size());
}

TEST(MinimizeName, ShrinksStepByStepAndKeepsTheLastName)
{
    // Each row: the widest path of its steps that still fits the width.
    const struct {
        const wchar_t* path;
        int width;
        const wchar_t* shown;
    } cases[] = {
        {L"C:\\Program Files\\Soranote\\Data", 30, L"C:\\Program Files\\Soranote\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 29, L"C:\\...\\Soranote\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 20, L"C:\\...\\Soranote\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 19, L"C:\\...\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 11, L"C:\\...\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 10, L"...\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 8, L"...\\Data"},
        {L"C:\\Program Files\\Soranote\\Data", 7, L"Data"},
        {L"C:\\Program Files\\Soranote\\Data", 0, L"Data"},  // no further, though too wide
        {L"C:\\Program Files\\AVeryLongFolderName", 5, L"AVeryLongFolderName"},
        {L"AVeryLongFolderName", 5, L"AVeryLongFolderName"},
        // Without a drive.
        {L"\\Program Files\\Soranote\\Data", 28, L"\\Program Files\\Soranote\\Data"},
        {L"\\Program Files\\Soranote\\Data", 27, L"\\...\\Soranote\\Data"},
        {L"\\Program Files\\Soranote\\Data", 17, L"\\...\\Data"},
        {L"\\Program Files\\Soranote\\Data", 8, L"...\\Data"},
        {L"\\Program Files\\Soranote\\Data", 7, L"Data"},
        {L"\\\\server\\share\\Data", 9, L"\\...\\Data"},
        {L"\\\\server\\share\\Data", 3, L"Data"},
        // Right below the root the lone "\" goes first, then the drive.
        {L"C:\\Data", 6, L"C:Data"},
        {L"C:\\Data", 5, L"Data"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MinimizeName(c.path, Chars, c.width), c.shown)
            << testing::PrintToString(std::wstring(c.path)) << " width " << c.width;
}

TEST(MinimizeName, DoubleByteNamesAreWholeCharacters)
{
    // Widths in Shift-JIS bytes: both names end in byte 0x5C there, and neither may be
    // split at it.
    auto bytes = [](const std::wstring& s) {
        int n = 0;
        for (wchar_t c : s)
            n += c < 0x80 ? 1 : 2;
        return n;
    };
    const std::wstring path = L"C:\\表示用\\ソフト\\Data";
    EXPECT_EQ(MinimizeName(path, bytes, 21), path);
    EXPECT_EQ(MinimizeName(path, bytes, 20), L"C:\\...\\ソフト\\Data");
    EXPECT_EQ(MinimizeName(path, bytes, 17), L"C:\\...\\Data");
}

TEST(FolderPath, EntriesPathsAndIndents)
{
    using P = TFolderPicture;
    const struct {
        const wchar_t* folder;
        std::vector<TFolderEntry> entries;
        std::vector<const wchar_t*> paths;
        std::vector<int> indents;
        int subFolderIndent;
    } cases[] = {
        {L"C:\\", {{L"C:\\", P::fpCurrent}}, {L"C:\\"}, {2}, 10},
        {L"C:\\Program Files\\Soranote",
         {{L"C:\\", P::fpOpen}, {L"Program Files", P::fpOpen}, {L"Soranote", P::fpCurrent}},
         {L"C:\\", L"C:\\Program Files", L"C:\\Program Files\\Soranote"},
         {2, 6, 10},
         14},
        {L"C:\\a\\b\\c\\d",
         {{L"C:\\", P::fpOpen}, {L"a", P::fpOpen}, {L"b", P::fpOpen}, {L"c", P::fpOpen}, {L"d", P::fpCurrent}},
         {L"C:\\", L"C:\\a", L"C:\\a\\b", L"C:\\a\\b\\c", L"C:\\a\\b\\c\\d"},
         {2, 6, 10, 14, 18},
         22},
        {L"C:\\表\\ソ",
         {{L"C:\\", P::fpOpen}, {L"表", P::fpOpen}, {L"ソ", P::fpCurrent}},
         {L"C:\\", L"C:\\表", L"C:\\表\\ソ"},
         {2, 6, 10},
         14},
        {L"\\\\server\\share\\a\\b",
         {{L"\\\\server\\share\\", P::fpOpen}, {L"a", P::fpOpen}, {L"b", P::fpCurrent}},
         {L"\\\\server\\share\\", L"\\\\server\\share\\a", L"\\\\server\\share\\a\\b"},
         {2, 6, 10},
         26},
        {L"\\\\server\\share\\", {{L"\\\\server\\share\\", P::fpCurrent}}, {L"\\\\server\\share\\"}, {2}, 22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)));
        const auto entries = FolderPathEntries(c.folder);
        EXPECT_EQ(entries, c.entries);
        for (size_t i = 0; i < c.paths.size(); ++i) {
            EXPECT_EQ(FolderEntryPath(c.folder, static_cast<int>(i)), c.paths[i]) << "entry " << i;
            EXPECT_EQ(FolderEntryIndent(c.folder, static_cast<int>(i), false), c.indents[i]) << "entry " << i;
        }
        EXPECT_EQ(FolderEntryIndent(c.folder, static_cast<int>(entries.size()), true), c.subFolderIndent);
    }
}

TEST(DriveEntryText, OneTextPerDriveType)
{
    const struct {
        wchar_t letter;
        UINT type;
        const wchar_t* label;
        const wchar_t* remote;
        TTextCase textCase;
        const wchar_t* text;
    } cases[] = {
        {L'A', DRIVE_REMOVABLE, L"", L"", tcUpperCase, L"A:"},
        {L'A', DRIVE_REMOVABLE, L"", L"", tcLowerCase, L"a:"},
        {L'C', DRIVE_FIXED, L"System", L"", tcUpperCase, L"C: [SYSTEM]"},
        {L'C', DRIVE_FIXED, L"System", L"", tcLowerCase, L"c: [system]"},
        {L'C', DRIVE_FIXED, L"", L"", tcUpperCase, L"C: []"},
        {L'C', DRIVE_FIXED, L"%s [50%]", L"", tcUpperCase, L"C: [%S [50%]]"},
        {L'E', DRIVE_CDROM, L"Disc_1", L"", tcUpperCase, L"E: [DISC_1]"},
        {L'R', DRIVE_RAMDISK, L"Ram", L"", tcLowerCase, L"r: [ram]"},
        {L'N', DRIVE_REMOTE, L"Label", L"\\\\Server\\Share", tcUpperCase, L"N: \\\\SERVER\\SHARE"},
        {L'N', DRIVE_REMOTE, L"Label", L"\\\\Server\\Share", tcLowerCase, L"n: \\\\server\\share"},
        {L'N', DRIVE_REMOTE, L"Label", L"", tcUpperCase, L"N: [LABEL]"},
        {L'Q', DRIVE_UNKNOWN, L"x", L"", tcUpperCase, L""},
        {L'Q', DRIVE_NO_ROOT_DIR, L"x", L"", tcUpperCase, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DriveEntryText(c.letter, c.type, c.label, c.remote, c.textCase), c.text)
            << "drive " << static_cast<char>(c.letter) << " type " << c.type;
}

TEST(ReadSubFolders, SortedIgnoringCaseWithoutHiddenSystemOrFiles)
{
    TempFolder temp;
    for (const wchar_t* name : {L"beta", L"Alpha", L"gamma", L"ALPHA2", L"表", L"hidden", L"system", L"both", L"ro"})
        ASSERT_TRUE(CreateDirectoryW(temp.File(name).c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(temp.File(L"hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(temp.File(L"system").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(temp.File(L"both").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(temp.File(L"ro").c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE file = CreateFileW(temp.File(L"afile").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    const std::vector<std::wstring> expected = {L"Alpha", L"ALPHA2", L"beta", L"gamma", L"ro", L"表"};
    EXPECT_EQ(ReadSubFolders(temp.Path()), expected);
    EXPECT_EQ(ReadSubFolders(temp.Path() + L"\\"), expected);
    EXPECT_TRUE(ReadSubFolders(temp.File(L"Alpha")).empty());
    EXPECT_TRUE(ReadSubFolders(temp.File(L"missing")).empty());
}

}  // namespace
