#include "target/Filever.h"

#include <winver.h>

#include "target/PeImage.h"
#include "target/Pathutil.h"
#include "toolkit/core/HandleOwners.h"

namespace {

// The version functions are bound at run time from the system folder's version.dll. The
// updater is typically started from a download folder, and a version.dll planted there
// would be loaded instead if we imported it.
class VersionApi {
public:
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    static const VersionApi& Get()
    {
        static const VersionApi api;
        return api;
    }

    bool Loaded() const { return size_ && info_ && query_; }

    DWORD InfoSize(const wchar_t* file) const
    {
        DWORD handle = 0;
        return size_(file, &handle);
    }
    bool Info(const wchar_t* file, DWORD size, void* data) const
    {
        return info_(file, 0, size, data) != FALSE;
    }
    bool Query(const void* block, const wchar_t* subBlock, void** value, UINT* length) const
    {
        return query_(block, subBlock, value, length) != FALSE;
    }

    VersionApi(const VersionApi&) = delete;
    VersionApi& operator=(const VersionApi&) = delete;

private:
    VersionApi()
    {
        module_.reset(LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (!module_ && GetLastError() == ERROR_INVALID_PARAMETER)
            module_.reset(LoadFromSystemFolder());  // Windows 7 without the search-flag update
        if (!module_)
            return;
        size_ = Bind<SizeFn>("GetFileVersionInfoSizeW");
        info_ = Bind<InfoFn>("GetFileVersionInfoW");
        query_ = Bind<QueryFn>("VerQueryValueW");
    }

    // The same DLL by its full path, which involves no search either.
    static HMODULE LoadFromSystemFolder()
    {
        wchar_t folder[MAX_PATH];
        const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return nullptr;
        const std::wstring path = std::wstring(folder, n) + L"\\version.dll";
        return LoadLibraryExW(path.c_str(), nullptr, 0);
    }

    template <typename Fn>
    Fn Bind(const char* name) const
    {
        // Through a generic function pointer: a direct cast from FARPROC draws a
        // function-type warning.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)));
    }

    unique_hmodule module_;
    SizeFn size_ = nullptr;
    InfoFn info_ = nullptr;
    QueryFn query_ = nullptr;
};

}  // namespace

TFileVer::TFileVer(std::wstring fileName) : fileName_(std::move(fileName)) {}

TFileVer::~TFileVer() = default;

void TFileVer::SetFileName(std::wstring name)
{
    fileName_ = std::move(name);
    versionData_.clear();
    versionData_.shrink_to_fit();
    ownRead_ = false;
}

bool TFileVer::LoadVersionData()
{
    if (!versionData_.empty())
        return true;
    // Never a bare name: the version functions would look that up along the DLL search order
    // (the updater's own folder first), not in the current folder as every other file access.
    const std::wstring path = PlatformPath(AbsolutePath(fileName_));
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        // The version functions open the file through the loader, which is not documented to
        // take the "\\?\" form that a path of MAX_PATH characters or more needs; so such a
        // file's version resource is read from the file here. (Wine's take any length.)
        std::optional<std::vector<BYTE>> data = ReadVersionResource(path);
        if (!data || data->empty())
            return false;
        versionData_ = std::move(*data);
        ownRead_ = true;
        return true;
    }
    const VersionApi& api = VersionApi::Get();
    if (!api.Loaded())
        return false;
    const DWORD size = api.InfoSize(path.c_str());
    if (size == 0)
        return false;
    std::vector<BYTE> data(size);
    if (!api.Info(path.c_str(), size, data.data()))
        return false;
    versionData_ = std::move(data);
    ownRead_ = false;
    return true;
}

const VS_FIXEDFILEINFO* TFileVer::FixedInfo()
{
    if (!LoadVersionData())
        return nullptr;
    if (ownRead_)
        return FixedVersionBlock(versionData_);
    void* value = nullptr;
    UINT length = 0;
    if (!VersionApi::Get().Query(versionData_.data(), L"\\", &value, &length))
        return nullptr;
    // A truncated or foreign block is no version at all.
    if (!value || length < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (info->dwSignature != VS_FFI_SIGNATURE)
        return nullptr;
    return info;
}

bool TFileVer::GetProductVersion(std::uint16_t& major, std::uint16_t& minor,
                                 std::uint16_t& release, std::uint16_t& build)
{
    const VS_FIXEDFILEINFO* info = FixedInfo();
    if (!info)
        return false;
    major = HIWORD(info->dwProductVersionMS);
    minor = LOWORD(info->dwProductVersionMS);
    release = HIWORD(info->dwProductVersionLS);
    build = LOWORD(info->dwProductVersionLS);
    return true;
}

void ReadInstalledVersion(const std::wstring& path, int& major, int& composite)
{
    major = 0;
    composite = 0;
    try {
        TFileVer reader(path);
        std::uint16_t ma = 0, mi = 0, re = 0, bu = 0;
        if (reader.GetProductVersion(ma, mi, re, bu)) {
            major = ma;
            composite = mi * 10 + re;
        }
    } catch (...) {
        // An unreadable version is reported as (0, 0) by the caller's gate, never here.
    }
}
