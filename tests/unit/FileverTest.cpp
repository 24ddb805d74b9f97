#include "target/Filever.h"
#include "tests/support/Files.h"

#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VersionedExe.h"
#include "toolkit/core/HandleOwners.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring& StandIn()
{
    static const std::wstring path = HostPath(STANDIN_EXE);
    return path;
}

struct Installed {
    int major;
    int composite;
};

Installed Read(const std::wstring& path)
{
    Installed v{-7, -7};  // the reader must overwrite whatever the caller had
    ReadInstalledVersion(path, v.major, v.composite);
    return v;
}

TEST(ReadInstalledVersion, CompositeIsMinorTimesTenPlusRelease)
{
    const struct {
        VersionNumbers product;
        int major;
        int composite;
    } cases[] = {
        {{1, 0, 1, 5}, 1, 1},
        {{1, 2, 3, 4}, 1, 23},
        {{1, 2, 13, 0}, 1, 33},
        {{1, 3, 3, 0}, 1, 33},
        {{1, 0, 0, 999}, 1, 0},   // build number takes no part
        {{2, 0, 0, 0}, 2, 0},
        {{0, 0, 0, 0}, 0, 0},
        {{65535, 65535, 65535, 65535}, 65535, 720885},
    };
    TempFolder temp;
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring exe = temp.File(L"v" + std::to_wstring(n++) + L".exe");
        MakeVersionedExe(StandIn(), exe, c.product);
        const Installed v = Read(exe);
        EXPECT_EQ(v.major, c.major) << "case " << n;
        EXPECT_EQ(v.composite, c.composite) << "case " << n;
    }
}

TEST(ReadInstalledVersion, ReadsTheBuiltStandIn)
{
    // The stand-in is built with product version 1.0.1.0 and its resource compiler's layout.
    const Installed v = Read(StandIn());
    EXPECT_EQ(v.major, 1);
    EXPECT_EQ(v.composite, 1);
}

TEST(ReadInstalledVersion, JudgesByProductVersionNotFileVersion)
{
    TempFolder temp;
    MakeVersionedExe(StandIn(), temp.File(L"a.exe"), {1, 0, 1, 0}, VersionNumbers{2, 5, 7, 9});
    MakeVersionedExe(StandIn(), temp.File(L"b.exe"), {2, 0, 0, 0}, VersionNumbers{1, 0, 0, 0});
    const Installed a = Read(temp.File(L"a.exe"));
    EXPECT_EQ(a.major, 1);
    EXPECT_EQ(a.composite, 1);
    const Installed b = Read(temp.File(L"b.exe"));
    EXPECT_EQ(b.major, 2);
    EXPECT_EQ(b.composite, 0);
}

TEST(ReadInstalledVersion, UnreadableVersionIsZeroZero)
{
    TempFolder temp;
    MakeExeWithoutVersion(StandIn(), temp.File(L"nover.exe"));
    WriteFileContents(temp.File(L"text.exe"), "This is not an executable.\r\n");
    WriteFileContents(temp.File(L"empty.exe"), "");
    WriteFileContents(temp.File(L"mz.exe"), std::string("MZ") + std::string(62, '\xFF'));  // broken header
    CreateDirectoryW(temp.File(L"Soranote.exe").c_str(), nullptr);

    for (const std::wstring& path :
         {temp.File(L"nover.exe"), temp.File(L"text.exe"), temp.File(L"empty.exe"),
          temp.File(L"mz.exe"), temp.File(L"Soranote.exe"), temp.File(L"missing.exe"),
          temp.File(L"missing\\Soranote.exe"), std::wstring()}) {
        const Installed v = Read(path);
        EXPECT_EQ(v.major, 0) << testing::PrintToString(path);
        EXPECT_EQ(v.composite, 0) << testing::PrintToString(path);
    }
}

TEST(ReadInstalledVersion, ReadsPathsLongerThanMaxPath)
{
    TempFolder temp;
    std::wstring folder = temp.Path();
    const std::wstring part(60, L'ソ');
    while (folder.size() < 300) {
        folder += L"\\" + part;
        ASSERT_TRUE(CreateDirectoryW(LongPathForm(folder).c_str(), nullptr)) << GetLastError();
    }
    const std::wstring exe = folder + L"\\Soranote.exe";
    ASSERT_GT(exe.size(), 300u);
    MakeVersionedExe(StandIn(), LongPathForm(exe), {1, 2, 3, 4});

    const Installed plain = Read(exe);
    EXPECT_EQ(plain.major, 1);
    EXPECT_EQ(plain.composite, 23);
    const Installed prefixed = Read(LongPathForm(exe));
    EXPECT_EQ(prefixed.major, 1);
    EXPECT_EQ(prefixed.composite, 23);
}

TEST(TFileVer, GivesAllFourProductNumbers)
{
    TempFolder temp;
    MakeVersionedExe(StandIn(), temp.File(L"a.exe"), {3, 14, 15, 9265}, VersionNumbers{9, 9, 9, 9});
    TFileVer reader(temp.File(L"a.exe"));
    std::uint16_t major = 0, minor = 0, release = 0, build = 0;
    ASSERT_TRUE(reader.GetProductVersion(major, minor, release, build));
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 14);
    EXPECT_EQ(release, 15);
    EXPECT_EQ(build, 9265);
}

TEST(TFileVer, FailureLeavesOutputsUntouched)
{
    TempFolder temp;
    MakeExeWithoutVersion(StandIn(), temp.File(L"nover.exe"));
    TFileVer reader(temp.File(L"nover.exe"));
    std::uint16_t major = 11, minor = 22, release = 33, build = 44;
    EXPECT_FALSE(reader.LoadVersionData());
    EXPECT_EQ(reader.FixedInfo(), nullptr);
    EXPECT_FALSE(reader.GetProductVersion(major, minor, release, build));
    EXPECT_EQ(major, 11);
    EXPECT_EQ(minor, 22);
    EXPECT_EQ(release, 33);
    EXPECT_EQ(build, 44);
}

TEST(TFileVer, KeepsDataUntilTheFileNameChanges)
{
    TempFolder temp;
    const std::wstring a = temp.File(L"a.exe");
    const std::wstring b = temp.File(L"b.exe");
    MakeVersionedExe(StandIn(), a, {1, 2, 3, 4});
    MakeVersionedExe(StandIn(), b, {5, 6, 7, 8});

    TFileVer reader(a);
    std::uint16_t major = 0, minor = 0, release = 0, build = 0;
    ASSERT_TRUE(reader.GetProductVersion(major, minor, release, build));
    EXPECT_EQ(major, 1);

    // Read once: replacing the file does not change what this reader reports.
    MakeVersionedExe(StandIn(), a, {9, 0, 0, 0});
    ASSERT_TRUE(reader.GetProductVersion(major, minor, release, build));
    EXPECT_EQ(major, 1);

    // A new name drops the old data, also when the new file has no version.
    reader.SetFileName(b);
    ASSERT_TRUE(reader.GetProductVersion(major, minor, release, build));
    EXPECT_EQ(major, 5);
    EXPECT_EQ(build, 8);
    MakeExeWithoutVersion(StandIn(), temp.File(L"c.exe"));
    reader.SetFileName(temp.File(L"c.exe"));
    EXPECT_FALSE(reader.GetProductVersion(major, minor, release, build));
    EXPECT_EQ(reader.FileName(), temp.File(L"c.exe"));
}

}  // namespace
