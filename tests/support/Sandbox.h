// The world an end-to-end scenario runs in: a folder with an installed Soranote.exe of a
// chosen version, and the product's registry entry pointing at it (or elsewhere), put back
// as it was when the scenario ends.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/support/VersionedExe.h"

// Owns the default value of one key under HKEY_CLASSES_ROOT for its lifetime: remembers what
// was there (a value, a key without one, no key) and restores exactly that.
class ClassesRootDefault {
public:
    explicit ClassesRootDefault(std::wstring subKey);
    ~ClassesRootDefault();
    ClassesRootDefault(const ClassesRootDefault&) = delete;
    ClassesRootDefault& operator=(const ClassesRootDefault&) = delete;

    void Set(const std::wstring& value);
    // No such key while this object lives.
    void Remove();

private:
    std::wstring subKey_;
    std::wstring topKey_;          // first component of subKey_
    bool topExisted_ = false;
    bool keyExisted_ = false;
    std::optional<std::wstring> saved_;
};

class Sandbox {
public:
    Sandbox();

    const std::wstring& Folder() const { return folder_.Path(); }
    std::wstring File(const std::wstring& name) const { return folder_.File(name); }
    // The installed executable the updater is to replace.
    std::wstring Target() const { return File(L"Soranote.exe"); }

    // The stand-in product as Soranote.exe of this product version; nullopt: no version at all.
    void Install(const std::optional<VersionNumbers>& productVersion);
    // "Soranote.Application\dstDir" := folder.
    void PointRegistryAt(const std::wstring& folder) { installDir_.Set(folder); }
    // No "Soranote.Application\dstDir" at all, as on a machine where the product's installer
    // wrote none.
    void ForgetRegistry() { installDir_.Remove(); }
    // A copy of the updater in the sandbox, optionally with one raw-data resource replaced
    // (or taken out, with nullopt). Returns its path.
    std::wstring CopyUpdater(const std::wstring& resourceName = {},
                             const std::optional<std::vector<BYTE>>& data = std::nullopt);

    // Names of the files in the folder, sorted.
    std::vector<std::wstring> Files() const;

private:
    TempFolder folder_;
    ClassesRootDefault installDir_;
};

std::wstring UpdaterExe();
std::wstring StandInExe();
// The packed payload as the build made it, and what it inflates to.
std::vector<BYTE> PayloadContainer();
std::vector<BYTE> InflatedPayload();
// `exe` packed as a payload: the "ZLIBCompress" container around its zlib stream.
std::vector<BYTE> PackPayload(const std::vector<BYTE>& exe);
