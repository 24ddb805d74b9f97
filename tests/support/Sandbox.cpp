#include "tests/support/Sandbox.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/ResourceEdit.h"
#include "toolkit/core/HandleOwners.h"

namespace {

std::optional<std::wstring> ReadDefault(HKEY key)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

void WriteDefault(HKEY key, const std::wstring& value)
{
    const LONG rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("RegSetValueExW failed, error " + std::to_string(rc));
}

bool KeyExists(const std::wstring& subKey)
{
    unique_hkey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

}  // namespace

ClassesRootDefault::ClassesRootDefault(std::wstring subKey)
    : subKey_(std::move(subKey)), topKey_(subKey_.substr(0, subKey_.find(L'\\')))
{
    topExisted_ = KeyExists(topKey_);
    unique_hkey key;
    keyExisted_ = RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey_.c_str(), 0, KEY_READ, key.put()) ==
                  ERROR_SUCCESS;
    if (keyExisted_)
        saved_ = ReadDefault(key.get());
}

ClassesRootDefault::~ClassesRootDefault()
{
    if (!topExisted_) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, topKey_.c_str());
    } else if (!keyExisted_) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, subKey_.c_str());
    } else {
        // Made again when the scenario removed it.
        unique_hkey key;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                            nullptr) != ERROR_SUCCESS)
            return;
        if (saved_)
            RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_->c_str()),
                           static_cast<DWORD>((saved_->size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key.get(), nullptr);
    }
}

void ClassesRootDefault::Set(const std::wstring& value)
{
    unique_hkey key;
    const LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                    nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("RegCreateKeyExW failed, error " + std::to_string(rc));
    WriteDefault(key.get(), value);
}

void ClassesRootDefault::Remove()
{
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, subKey_.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("RegDeleteTreeW failed, error " + std::to_string(rc));
}

Sandbox::Sandbox() : installDir_(L"Soranote.Application\\dstDir") {}

void Sandbox::Install(const std::optional<VersionNumbers>& productVersion)
{
    SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_NORMAL);
    if (productVersion)
        MakeVersionedExe(StandInExe(), Target(), *productVersion);
    else
        MakeExeWithoutVersion(StandInExe(), Target());
}

std::wstring Sandbox::CopyUpdater(const std::wstring& resourceName,
                                  const std::optional<std::vector<BYTE>>& data)
{
    const std::wstring copy = File(L"SoranoteUpdater.exe");
    if (resourceName.empty()) {
        if (!CopyFileW(UpdaterExe().c_str(), copy.c_str(), FALSE))
            throw std::runtime_error("CopyFileW failed, error " + std::to_string(GetLastError()));
    } else {
        CopyWithRawData(UpdaterExe(), copy, resourceName, data);
    }
    return copy;
}

std::vector<std::wstring> Sandbox::Files() const
{
    return FilesIn(Folder());
}

std::wstring UpdaterExe()
{
    return HostPath(SORANOTE_UPDATER_EXE);
}

std::wstring StandInExe()
{
    return HostPath(STANDIN_EXE);
}

std::vector<BYTE> PayloadContainer()
{
    return ReadFileBytes(HostPath(PAYLOAD_CONTAINER));
}

// Inflated with zlib directly, not with the program's own container reader, so a fault
// there cannot hide behind the same fault here.
std::vector<BYTE> InflatedPayload()
{
    const std::vector<BYTE> container = PayloadContainer();
    static const char kSignature[] = "ZLIBCompress\x1a";
    if (container.size() < 17 || std::memcmp(container.data(), kSignature, 13) != 0)
        throw std::runtime_error("the payload is not a ZLIBCompress container");
    std::int32_t declared = 0;
    std::memcpy(&declared, container.data() + 13, 4);
    std::vector<BYTE> inflated(static_cast<size_t>(declared));
    uLongf length = static_cast<uLongf>(inflated.size());
    if (uncompress(inflated.data(), &length, container.data() + 17,
                   static_cast<uLong>(container.size() - 17)) != Z_OK ||
        length != inflated.size())
        throw std::runtime_error("the payload does not inflate to its declared length");
    return inflated;
}

std::vector<BYTE> PackPayload(const std::vector<BYTE>& exe)
{
    std::vector<BYTE> container = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
    const auto length = static_cast<std::int32_t>(exe.size());
    container.resize(17);
    std::memcpy(container.data() + 13, &length, 4);
    uLongf size = compressBound(static_cast<uLong>(exe.size()));
    std::vector<BYTE> zlib(size);
    if (compress2(zlib.data(), &size, exe.data(), static_cast<uLong>(exe.size()), 6) != Z_OK)
        throw std::runtime_error("the payload does not deflate");
    container.insert(container.end(), zlib.begin(), zlib.begin() + static_cast<std::ptrdiff_t>(size));
    return container;
}
