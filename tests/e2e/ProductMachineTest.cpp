// Where the install-folder dialog looks for a product that left no registry entry: in the
// program-files folder of the carried product's machine type, as the payload itself tells. The
// updater is a 64-bit program; a 32-bit product installs in the "(x86)" folder.
#include "tests/e2e/UpdateFlow.h"
#include "tests/support/HostPath.h"

#include <optional>

namespace {

// An environment variable of this process, which the updater started from it inherits, set
// (or removed) for the scenario and put back afterwards.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::optional<std::wstring>& value) : name_(name), saved_(Get(name))
    {
        SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    static std::optional<std::wstring> Get(const wchar_t* name)
    {
        const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
        if (size == 0)
            return std::nullopt;
        std::wstring value(size, L'\0');
        value.resize(GetEnvironmentVariableW(name, value.data(), size));
        return value;
    }

    const wchar_t* name_;
    std::optional<std::wstring> saved_;
};

std::wstring MachineValue(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", name, RRF_RT_REG_SZ, nullptr,
                 value, &bytes);
    return value;
}

using ProductMachine = UpdateFlow;

TEST_F(ProductMachine, ProposedFolderIsWhereAProductOfItsMachineTypeInstalls)
{
    const std::wstring x64 = StandInExe();
    const std::wstring i386 = HostPath(STANDIN_I386_EXE);
    const std::wstring folder64 = sandbox_.File(L"Program Files");
    const std::wstring folder86 = sandbox_.File(L"Program Files (x86)");
    const struct {
        const char* what;
        std::wstring product;
        bool variablesSet;
        std::wstring expected;
        bool installedThere;
    } cases[] = {
        {"x64 product", x64, true, folder64 + L"\\Soranote", true},
        {"i386 product", i386, true, folder86 + L"\\Soranote", true},
        {"i386 product, no variables: the system's (x86) value", i386, false,
         MachineValue(L"ProgramFilesDir (x86)") + L"\\Soranote", false},
    };
    sandbox_.ForgetRegistry();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<BYTE> product = ReadFileBytes(c.product);
        const std::wstring updater = sandbox_.CopyUpdater(L"UPDATEDATA", PackPayload(product));
        for (const std::wstring& folder : {folder64, folder86}) {
            CreateDirectoryW(folder.c_str(), nullptr);
            CreateDirectoryW((folder + L"\\Soranote").c_str(), nullptr);
            DeleteFileW((folder + L"\\Soranote\\Soranote.exe").c_str());
        }
        if (c.installedThere) {
            ASSERT_TRUE(CopyFileW(c.product.c_str(), (c.expected + L"\\Soranote.exe").c_str(), FALSE));
        }
        // A 64-bit process starts with ProgramFiles made from ProgramW6432 where that is set.
        const std::optional<std::wstring> variable64 = c.variablesSet ? std::optional(folder64) : std::nullopt;
        const ScopedVariable plain(L"ProgramFiles", variable64);
        const ScopedVariable w6432(L"ProgramW6432", variable64);
        const ScopedVariable x86(L"ProgramFiles(x86)", c.variablesSet ? std::optional(folder86) : std::nullopt);

        StartOnly(updater);
        HWND dialog = OpenFolderDialog();
        EXPECT_EQ(WindowText(FindChild(dialog, L"Edit")), c.expected);
        EXPECT_EQ(IsWindowEnabled(FindButton(dialog, kBegin)) != FALSE, c.installedThere) << "開始";
        Click(FindButton(dialog, kNo));
        ExpectIdle();
        QuitAndExpectExitCode0();
    }
}

}  // namespace
