#include "target/Pathutil.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct BackslashCase {
    const wchar_t* path;
    bool endsWithBackslash;
    const wchar_t* added;
    const wchar_t* removed;
};

// 表 and ソ end in byte 0x5C in Shift-JIS; they must never count as a trailing backslash.
const BackslashCase kBackslashCases[] = {
    {L"", false, L"", L""},
    {L"\\", true, L"\\", L""},
    {L"C:", false, L"C:\\", L"C:"},
    {L"C:\\", true, L"C:\\", L"C:"},
    {L"C:\\表", false, L"C:\\表\\", L"C:\\表"},
    {L"C:\\ソ", false, L"C:\\ソ\\", L"C:\\ソ"},
    {L"C:\\表\\", true, L"C:\\表\\", L"C:\\表"},
    {L"C:\\Program Files\\Soranote", false, L"C:\\Program Files\\Soranote\\",
     L"C:\\Program Files\\Soranote"},
    {L"\\\\server\\share\\", true, L"\\\\server\\share\\", L"\\\\server\\share"},
    {L"C:\\a\\\\", true, L"C:\\a\\\\", L"C:\\a\\"},  // only one backslash goes
};

TEST(Pathutil, TrailingBackslashHelpers)
{
    for (const BackslashCase& c : kBackslashCases) {
        SCOPED_TRACE(testing::Message() << "path index " << (&c - kBackslashCases));
        EXPECT_EQ(EndsWithBackslash(c.path), c.endsWithBackslash);
        EXPECT_EQ(AddBackslash(c.path), c.added);
        EXPECT_EQ(RemoveBackslash(c.path), c.removed);
    }
}

TEST(Pathutil, TrickyCharactersReallyEndInByte5C)
{
    // Guards the table above: if these stopped ending in 0x5C the cases would prove nothing.
    for (const wchar_t* text : {L"表", L"ソ"}) {
        char bytes[8] = {};
        const int n = WideCharToMultiByte(932, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
        ASSERT_EQ(n, 3);  // two bytes and the terminator
        EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0x5C);
    }
}

TEST(Pathutil, JoinPathGivesOneSeparator)
{
    EXPECT_EQ(JoinPath(L"C:\\Soranote", L"Soranote.exe"), L"C:\\Soranote\\Soranote.exe");
    EXPECT_EQ(JoinPath(L"C:\\Soranote\\", L"Soranote.exe"), L"C:\\Soranote\\Soranote.exe");
    EXPECT_EQ(JoinPath(L"C:\\", L"Soranote.exe"), L"C:\\Soranote.exe");
    EXPECT_EQ(JoinPath(L"C:\\ソ", L"Soranote.exe"), L"C:\\ソ\\Soranote.exe");
    EXPECT_EQ(JoinPath(L"\\\\server\\share\\", L"Soranote.exe"), L"\\\\server\\share\\Soranote.exe");
    // An empty folder leaves the bare name, looked up in the current folder.
    EXPECT_EQ(JoinPath(L"", L"Soranote.exe"), L"Soranote.exe");
}

TEST(Pathutil, ParentPartKeepsLastSeparator)
{
    const struct {
        const wchar_t* path;
        const wchar_t* parent;
    } cases[] = {
        {L"", L""},
        {L"name", L""},
        {L"C:", L"C:"},
        {L"C:x", L"C:"},
        {L"C:\\", L"C:\\"},
        {L"C:\\a\\b.exe", L"C:\\a\\"},
        {L"C:\\ソ\\表", L"C:\\ソ\\"},
        {L"\\\\server\\share\\x", L"\\\\server\\share\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParentPart(c.path), c.parent) << "path \"" << testing::PrintToString(std::wstring(c.path)) << "\"";
}

}  // namespace
