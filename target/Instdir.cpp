#include "target/Instdir.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "app/Resources.h"
#include "resources/resource_ids.h"
#include "toolkit/core/HandleOwners.h"
#include "update/PayloadMachine.h"

namespace {

// The key's default value is read into a buffer of 256 characters (255 and a terminator),
// the same number of characters a 256-byte buffer holds for single-byte text. A longer
// value does not fit: the query fails and the program-files proposal is used instead.
constexpr DWORD kInstallDirChars = 256;
// "%ProgramFiles%" expands into MAX_PATH + 1 characters at most.
constexpr DWORD kProgramFilesChars = MAX_PATH + 1;

const wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

// The names of the program-files folder a product of this machine type installs in. WOW64
// gives a 32-bit program on 64-bit Windows the "(x86)" folder under the plain names, and that
// is where a 32-bit product's installer puts it; the updater is a 64-bit program, to which the
// plain names give the 64-bit folder, so for a 32-bit product it asks for the "(x86)" ones.
struct ProgramFilesNames {
    const wchar_t* variable;
    const wchar_t* value;
};
ProgramFilesNames NamesFor(WORD machine)
{
    if (machine == IMAGE_FILE_MACHINE_I386)
        return {L"%ProgramFiles(x86)%", L"ProgramFilesDir (x86)"};
    return {L"%ProgramFiles%", L"ProgramFilesDir"};
}

// Text up to its first zero character, never beyond `chars`.
std::wstring UpToZero(const wchar_t* text, size_t chars)
{
    return std::wstring(text, ::wcsnlen(text, chars));
}

bool QueryInstallDirKey(std::wstring& folder)
{
    // One spare character stays zero, so a value stored without a terminator still ends.
    std::vector<wchar_t> buffer(kInstallDirChars + 1, L'\0');
    LONG bytes = static_cast<LONG>(kInstallDirChars * sizeof(wchar_t));
    // The classic query of a key's default value: a key without one gives "".
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, LoadText(sInstallDirKey).c_str(), buffer.data(), &bytes) !=
        ERROR_SUCCESS)
        return false;
    folder = UpToZero(buffer.data(), kInstallDirChars);
    return true;
}

bool ExpandProgramFiles(const wchar_t* variable, std::wstring& folder)
{
    std::vector<wchar_t> buffer(kProgramFilesChars, L'\0');
    const DWORD needed = ::ExpandEnvironmentStringsW(variable, buffer.data(), kProgramFilesChars);
    if (needed == 0 || needed > kProgramFilesChars)
        return false;
    std::wstring expanded = UpToZero(buffer.data(), kProgramFilesChars);
    if (expanded == variable)
        return false;
    folder = expanded;
    return true;
}

std::wstring ReadProgramFilesDir(const wchar_t* value)
{
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::wstring();
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.get(), value, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    // Read in full, with a spare zero character behind whatever the value holds.
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = bytes;
    if (::RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &size) != ERROR_SUCCESS ||
        size > bytes)
        return std::wstring();
    return UpToZero(buffer.data(), size / sizeof(wchar_t));
}

}  // namespace

std::wstring ProgramFilesFolder(WORD machine)
{
    const ProgramFilesNames names = NamesFor(machine);
    std::wstring folder;
    if (ExpandProgramFiles(names.variable, folder))
        return folder;
    return ReadProgramFilesDir(names.value);
}

std::wstring ProgramFilesFolder()
{
    // A payload that tells nothing is taken for the updater's own kind, a 64-bit program.
    return ProgramFilesFolder(OwnPayloadMachine().value_or(IMAGE_FILE_MACHINE_AMD64));
}

std::wstring DefaultInstallFolder()
{
    std::wstring folder;
    if (QueryInstallDirKey(folder))
        return folder;
    return ProgramFilesFolder() + LoadText(sDefaultSubdir);
}
