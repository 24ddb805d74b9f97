#include "update/SafeWrite.h"

#include <windows.h>

#include <gtest/gtest.h>

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

}  // namespace
