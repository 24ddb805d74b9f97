#include "update/SafeWrite.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/HandleOwners.h"

namespace {

using Bytes = std::string;

// Three pieces and a bit, each byte telling where it is.
Bytes NewContent()
{
    Bytes bytes(3 * ReplacePieceSize + 100, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

void Replace(const std::wstring& target, const Bytes& bytes)
{
    ReplaceFileContents(target, bytes.data(), bytes.size());
}

struct ProbeGuard {
    ~ProbeGuard() { SetReplaceProbe(nullptr); }
};

TEST(SafeWrite, TargetEndsHoldingExactlyTheNewBytes)
{
    TempFolder temp;
    struct Case {
        const wchar_t* folder;  // under the temp folder
        const wchar_t* name;
        const char* before;     // nullptr: no target yet
        Bytes content;
    };
    const Case cases[] = {
        {L"a", L"Soranote.exe", nullptr, NewContent()},
        {L"b", L"Soranote.exe", "much longer than the new content, which is only short", "MZ short"},
        {L"c", L"Soranote.exe", "MZ", NewContent()},
        {L"d", L"Soranote.exe", "something", ""},
        // In Shift-JIS both names end in byte 0x5C, the backslash.
        {L"表", L"ソ.exe", "old", NewContent()},
    };
    for (const Case& c : cases) {
        const std::wstring folder = temp.File(c.folder);
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring target = folder + L"\\" + c.name;
        SCOPED_TRACE(testing::Message() << target);
        if (c.before)
            WriteFileContents(target, c.before);

        Replace(target, c.content);

        EXPECT_TRUE(FileContents(target) == c.content) << FileContents(target).size() << " bytes";
        EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{c.name});
    }
}

TEST(SafeWrite, FailureWhileWritingLeavesTheTargetAsItWasAndNoTemporaryFile)
{
    TempFolder temp;
    ProbeGuard guard;
    const std::wstring target = temp.File(L"Soranote.exe");
    WriteFileContents(target, "the working product");
    std::vector<size_t> offsets;
    std::wstring tempPath;
    SetReplaceProbe([&](const std::wstring& path, size_t written) {
        offsets.push_back(written);
        tempPath = path;
        // Nothing reaches the target while the new content is on its way.
        EXPECT_EQ(FileContents(target), "the working product");
        if (written == 2 * ReplacePieceSize)
            throw EWriteError(L"ｽﾄﾘｰﾑへの書き込みｴﾗｰ");
    });

    EXPECT_TRUE(FailsWith<EWriteError>([&] { Replace(target, NewContent()); }, L"ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));

    EXPECT_EQ(offsets, (std::vector<size_t>{0, ReplacePieceSize, 2 * ReplacePieceSize}));
    // The new content went to a sibling of the target, so putting it in place is a rename.
    EXPECT_EQ(tempPath.substr(0, temp.Path().size() + 1), temp.Path() + L"\\");
    EXPECT_EQ(tempPath.find(L'\\', temp.Path().size() + 1), std::wstring::npos);
    EXPECT_EQ(FileContents(target), "the working product");
    EXPECT_EQ(FilesIn(temp.Path()), std::vector<std::wstring>{L"Soranote.exe"});
}

// The file's DACL in its text form, for comparing.
std::wstring DaclText(const std::wstring& path)
{
    DWORD needed = 0;
    ::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> sd(needed);
    if (needed == 0 || !::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, sd.data(), needed, &needed))
        return L"<unreadable>";
    wchar_t* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                &text, nullptr))
        return L"<unconvertible>";
    std::wstring result(text);
    ::LocalFree(text);
    return result;
}

void SetDacl(const std::wstring& path, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    const BOOL set = ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    ASSERT_TRUE(set) << "error " << ::GetLastError();
}

uint64_t CreationTicks(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (uint64_t{data.ftCreationTime.dwHighDateTime} << 32) | data.ftCreationTime.dwLowDateTime;
}

}  // namespace

// A new file would take the folder's defaults; the one that replaces the product keeps what
// the old one had. Rules that grant no more than reading must not lock the updater out of its
// own file once they are on it: what follows them goes through the handle it created the file
// with. (Wine maps the rules to the file's Unix mode and, running as root here, is stopped by
// none of them; that case tells on Windows.)
TEST(SafeWrite, NewFileKeepsTheOldOnesAttributesCreationTimeAndAccessRules)
{
    TempFolder temp;
    // 2001-02-03 04:05:06 UTC
    SYSTEMTIME when{2001, 2, 6, 3, 4, 5, 6, 0};
    FILETIME created{};
    ASSERT_TRUE(::SystemTimeToFileTime(&when, &created));
    const uint64_t ticks = (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    // Protected: nothing inherited.
    const wchar_t kAnyoneWrites[] = L"D:P(A;;FA;;;WD)(A;;FR;;;BU)";
    const wchar_t kReadOnly[] = L"D:P(A;;FR;;;WD)";
    const struct {
        DWORD attributes;  // what the new file must show, with the archive bit: its content is new
        const wchar_t* rules;
    } cases[] = {
        {FILE_ATTRIBUTE_HIDDEN, kAnyoneWrites},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, kAnyoneWrites},
        {0, kAnyoneWrites},
        {0, kReadOnly},
        {FILE_ATTRIBUTE_HIDDEN, kReadOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "attributes " << c.attributes << ", rules " << c.rules);
        const std::wstring target = temp.File(L"Soranote.exe");
        WriteFileContents(target, "the old product");
        {
            unique_handle file(::CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(::SetFileTime(file.get(), &created, nullptr, nullptr));
        }
        ASSERT_TRUE(::SetFileAttributesW(target.c_str(), c.attributes ? c.attributes : FILE_ATTRIBUTE_NORMAL));
        SetDacl(target, c.rules);
        // Some systems show every file as due for backup; Wine shows rules that grant nobody
        // writing as the read-only bit.
        const DWORD shown = ::GetFileAttributesW(target.c_str()) & ~(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);
        ASSERT_EQ(shown & ~FILE_ATTRIBUTE_READONLY, c.attributes);
        // Linux has no call that sets a file's birth time, so Wine there cannot keep one;
        // where the old file shows it, the new one must too.
        const bool timeKept = CreationTicks(target) == ticks;
        // The rules as the system keeps them, and not those a new file gets.
        const std::wstring rules = DaclText(target);
        WriteFileContents(temp.File(L"fresh"), "");
        ASSERT_NE(rules, DaclText(temp.File(L"fresh")));
        ::DeleteFileW(temp.File(L"fresh").c_str());

        Replace(target, NewContent());

        EXPECT_TRUE(FileContents(target) == NewContent());
        EXPECT_EQ(::GetFileAttributesW(target.c_str()), shown | FILE_ATTRIBUTE_ARCHIVE);
        if (timeKept)
            EXPECT_EQ(CreationTicks(target), ticks);
        else if (&c == cases)
            std::cout << "This file system keeps no creation times; they are not compared.\n";
        EXPECT_EQ(DaclText(target), rules);
        EXPECT_EQ(FilesIn(temp.Path()), std::vector<std::wstring>{L"Soranote.exe"});

        // Writable again for the next case; as the file's owner the test may change its rules.
        SetDacl(target, L"D:(A;;FA;;;WD)");
        ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
}
