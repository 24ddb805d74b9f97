#include "target/Filever.h"
#include "tests/support/Files.h"

#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VersionedExe.h"
#include "toolkit/core/HandleOwners.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
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

// From MAX_PATH characters on, the version resource is read from the file here rather than
// by the version functions; for every kind of file both must come to the same.
TEST(ReadInstalledVersion, ReadsTheSameAtEitherPathLength)
{
    TempFolder temp;
    std::wstring folder = temp.Path();
    const std::wstring part(60, L'ソ');
    while (folder.size() < 250) {
        folder += L"\\" + part;
        ASSERT_TRUE(CreateDirectoryW(LongPathForm(folder).c_str(), nullptr)) << GetLastError();
    }
    const std::wstring i386 = HostPath(STANDIN_I386_EXE);
    const struct {
        const char* what;
        std::function<void(const std::wstring&)> make;
        int major;
        int composite;
    } cases[] = {
        {"x64, 1.2.3.4", [](const std::wstring& p) { MakeVersionedExe(StandIn(), p, {1, 2, 3, 4}); }, 1, 23},
        {"x64, product 1.0.1.0, file 2.5.7.9",
         [](const std::wstring& p) { MakeVersionedExe(StandIn(), p, {1, 0, 1, 0}, VersionNumbers{2, 5, 7, 9}); }, 1, 1},
        {"the built x64 stand-in", [](const std::wstring& p) { CopyFileW(StandIn().c_str(), p.c_str(), FALSE); }, 1, 1},
        {"the built i386 stand-in", [&](const std::wstring& p) { CopyFileW(i386.c_str(), p.c_str(), FALSE); }, 1, 1},
        {"i386, 3.1.4.1", [&](const std::wstring& p) { MakeVersionedExe(i386, p, {3, 1, 4, 1}); }, 3, 14},
        {"no version", [](const std::wstring& p) { MakeExeWithoutVersion(StandIn(), p); }, 0, 0},
        {"text", [](const std::wstring& p) { WriteFileContents(p, "This is not an executable.\r\n"); }, 0, 0},
        {"empty", [](const std::wstring& p) { WriteFileContents(p, ""); }, 0, 0},
        {"broken header", [](const std::wstring& p) { WriteFileContents(p, std::string("MZ") + std::string(62, '\xFF')); },
         0, 0},
    };
    const std::wstring shortPath = temp.File(L"short.exe");
    const std::wstring longPath = folder + L"\\Soranote.exe";
    ASSERT_GE(longPath.size(), size_t{MAX_PATH});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.make(shortPath);
        ASSERT_TRUE(CopyFileW(shortPath.c_str(), LongPathForm(longPath).c_str(), FALSE)) << GetLastError();
        for (const std::wstring& path : {shortPath, longPath, LongPathForm(longPath)}) {
            const Installed v = Read(path);
            EXPECT_EQ(v.major, c.major) << path.size() << " characters";
            EXPECT_EQ(v.composite, c.composite) << path.size() << " characters";
        }
    }
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
