#include "target/Instdir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/unit/SystemStandIn.h"

namespace {

const wchar_t kInstallDirKey[] = L"Soranote.Application\\dstDir";
const wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

enum class Key { absent, withoutValue, withValue };

struct DefaultFolderCase {
    const char* what;
    Key installKey;
    std::wstring installDir;
    std::optional<std::wstring> variable;  // nullopt: not set
    Key machineKey;
    std::wstring programFilesDir;
    std::wstring expected;
};

// A value that fills the 256-character buffer of the key query exactly, and one more.
const std::wstring kFits = L"D:\\" + std::wstring(252, L'x');
const std::wstring kTooLong = kFits + L"y";
// ExpandEnvironmentStrings gets MAX_PATH + 1 characters: 260 and the terminator fit.
const std::wstring kLongestVariable = L"E:\\" + std::wstring(257, L'p');

TEST(DefaultInstallFolder, FollowsKeyThenVariableThenMachineValue)
{
    const DefaultFolderCase cases[] = {
        {"the product's key wins, taken unchanged and not checked for existence", Key::withValue,
         L"D:\\ソフト\\表\\", L"E:\\Programs", Key::withValue, L"F:\\PF", L"D:\\ソフト\\表\\"},
        {"a key without a default value reads as empty text", Key::withoutValue, L"", L"E:\\Programs",
         Key::withValue, L"F:\\PF", L""},
        {"a value of 255 characters fits", Key::withValue, kFits, L"E:\\Programs", Key::withValue, L"F:\\PF", kFits},
        {"a longer value fails the query", Key::withValue, kTooLong, L"E:\\Programs", Key::withValue, L"F:\\PF",
         L"E:\\Programs\\Soranote"},
        {"no key: %ProgramFiles%", Key::absent, L"", L"E:\\Programs", Key::withValue, L"F:\\PF",
         L"E:\\Programs\\Soranote"},
        {"a variable of 260 characters fits", Key::absent, L"", kLongestVariable, Key::withValue, L"F:\\PF",
         kLongestVariable + L"\\Soranote"},
        {"a longer variable does not", Key::absent, L"", kLongestVariable + L"q", Key::withValue, L"F:\\PF",
         L"F:\\PF\\Soranote"},
        {"variable not set: ProgramFilesDir", Key::absent, L"", std::nullopt, Key::withValue, L"F:\\PF",
         L"F:\\PF\\Soranote"},
        {"a variable that expands to itself counts as not set", Key::absent, L"", L"%ProgramFiles%", Key::withValue,
         L"F:\\PF", L"F:\\PF\\Soranote"},
        {"no ProgramFilesDir value", Key::absent, L"", std::nullopt, Key::withoutValue, L"", L"\\Soranote"},
        {"nothing at all", Key::absent, L"", std::nullopt, Key::absent, L"", L"\\Soranote"},
    };
    for (const auto& c : cases) {
        SystemStandIn system;
        if (c.installKey != Key::absent)
            system.SetClassesKey(kInstallDirKey, c.installKey == Key::withValue
                                                     ? std::optional<std::wstring>(c.installDir)
                                                     : std::nullopt);
        SystemStandIn::SetVariable(c.variable);
        if (c.machineKey != Key::absent)
            system.SetMachineKey(kCurrentVersionKey, L"ProgramFilesDir",
                                 c.machineKey == Key::withValue ? std::optional<std::wstring>(c.programFilesDir)
                                                                : std::nullopt);
        EXPECT_EQ(DefaultInstallFolder(), c.expected) << c.what;
    }
}

// The updater is a 64-bit program: the plain names give it the 64-bit folder, where a 32-bit
// product does not install.
TEST(ProgramFilesFolder, FollowsTheProductsMachineType)
{
    const struct {
        const char* what;
        WORD machine;
        std::optional<std::wstring> variable;     // ProgramFiles
        std::optional<std::wstring> x86Variable;  // ProgramFiles(x86)
        bool values;                              // ProgramFilesDir and ProgramFilesDir (x86) there
        std::wstring expected;
    } cases[] = {
        {"x64: the plain variable", IMAGE_FILE_MACHINE_AMD64, L"E:\\PF64", L"E:\\PF86", true, L"E:\\PF64"},
        {"i386: the (x86) variable", IMAGE_FILE_MACHINE_I386, L"E:\\PF64", L"E:\\PF86", true, L"E:\\PF86"},
        {"i386: the (x86) value", IMAGE_FILE_MACHINE_I386, L"E:\\PF64", std::nullopt, true, L"F:\\PF86"},
        {"i386: a variable that expands to itself", IMAGE_FILE_MACHINE_I386, L"E:\\PF64", L"%ProgramFiles(x86)%", true,
         L"F:\\PF86"},
        {"i386: never the plain names", IMAGE_FILE_MACHINE_I386, L"E:\\PF64", std::nullopt, false, L""},
        {"x64: the plain value", IMAGE_FILE_MACHINE_AMD64, std::nullopt, L"E:\\PF86", true, L"F:\\PF64"},
        {"any other machine: as x64", IMAGE_FILE_MACHINE_ARM64, L"E:\\PF64", L"E:\\PF86", true, L"E:\\PF64"},
    };
    for (const auto& c : cases) {
        SystemStandIn system;
        SystemStandIn::SetVariable(c.variable);
        SystemStandIn::SetVariable(c.x86Variable, SystemStandIn::kX86);
        if (c.values) {
            system.SetMachineKey(kCurrentVersionKey, L"ProgramFilesDir", L"F:\\PF64");
            system.SetMachineKey(kCurrentVersionKey, L"ProgramFilesDir (x86)", L"F:\\PF86");
        }
        EXPECT_EQ(ProgramFilesFolder(c.machine), c.expected) << c.what;
    }
}

TEST(DefaultInstallFolder, ReadsOnlyTheDefaultValueOfTheProductKey)
{
    SystemStandIn system;
    SystemStandIn::SetVariable(L"E:\\Programs");
    // A named value or a neighbouring key is not the install folder.
    system.SetClassesKey(L"Soranote.Application", L"D:\\parent");
    system.SetClassesKey(L"Soranote.Application\\dstDirX", L"D:\\neighbour");
    EXPECT_EQ(DefaultInstallFolder(), L"E:\\Programs\\Soranote");
}

TEST(DefaultInstallFolder, StandInLeavesTheProcessAsItWas)
{
    const auto variable = SystemStandIn::Variable();
    const std::wstring real = DefaultInstallFolder();
    {
        SystemStandIn system;
        SystemStandIn::SetVariable(std::nullopt);
        EXPECT_EQ(DefaultInstallFolder(), L"\\Soranote");
    }
    EXPECT_EQ(SystemStandIn::Variable(), variable);
    EXPECT_EQ(DefaultInstallFolder(), real);
    // The build's Wine prefix knows no product key, so the real proposal is the
    // program-files one.
    EXPECT_EQ(real, ProgramFilesFolder() + L"\\Soranote");
    EXPECT_FALSE(ProgramFilesFolder().empty());
}

}  // namespace
