#include "tests/support/ResourceEdit.h"

#include <algorithm>
#include <stdexcept>
#include <variant>

#include "toolkit/Handles.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    throw std::runtime_error(std::string(what) + " failed, error " + std::to_string(GetLastError()));
}

// A resource type or name: a number or a string.
using ResName = std::variant<WORD, std::wstring>;

ResName ToResName(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    return std::wstring(name);
}

LPCWSTR AsParam(const ResName& name)
{
    if (const WORD* id = std::get_if<WORD>(&name))
        return MAKEINTRESOURCEW(*id);
    return std::get<std::wstring>(name).c_str();
}

struct Resource {
    ResName type;
    ResName name;
    WORD language;
    std::vector<BYTE> data;
};

BOOL CALLBACK CollectLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param)
{
    HRSRC info = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes)
        return FALSE;
    reinterpret_cast<std::vector<Resource>*>(param)->push_back(
        {ToResName(type), ToResName(name), language,
         std::vector<BYTE>(bytes, bytes + SizeofResource(module, info))});
    return TRUE;
}

std::vector<Resource> ReadResources(const std::wstring& file)
{
    unique_hmodule module(LoadLibraryExW(file.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        Fail("LoadLibraryExW (as data file)");
    std::vector<Resource> found;
    EnumResourceTypesW(
        module.get(),
        [](HMODULE m, LPWSTR type, LONG_PTR param) -> BOOL {
            EnumResourceNamesW(
                m, type,
                [](HMODULE m2, LPCWSTR t, LPWSTR name, LONG_PTR p) -> BOOL {
                    EnumResourceLanguagesW(m2, t, name, CollectLanguage, p);
                    return TRUE;
                },
                param);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    return found;
}

}  // namespace

std::vector<BYTE> ReadFileBytes(const std::wstring& path)
{
    unique_handle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        Fail("CreateFileW (read)");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size))
        Fail("GetFileSizeEx");
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size())
        Fail("ReadFile");
    return bytes;
}

void CopyWithRawData(const std::wstring& source, const std::wstring& dest, const std::wstring& name,
                     const std::optional<std::vector<BYTE>>& data)
{
    // Wine does not take a single resource out (UpdateResourceW without data), so the copy
    // starts empty and gets back every resource but the one replaced or removed.
    std::vector<Resource> resources = ReadResources(source);
    const auto old = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
        return r.type == ToResName(RT_RCDATA) && std::holds_alternative<std::wstring>(r.name) &&
               _wcsicmp(std::get<std::wstring>(r.name).c_str(), name.c_str()) == 0;
    });
    if (old == resources.end())
        throw std::runtime_error("the source has no RCDATA resource of that name");
    const WORD language = old->language;
    resources.erase(old);
    if (data)
        resources.push_back({ToResName(RT_RCDATA), name, language, *data});

    if (!CopyFileW(source.c_str(), dest.c_str(), FALSE))
        Fail("CopyFileW");
    SetFileAttributesW(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE update = BeginUpdateResourceW(dest.c_str(), TRUE);
    if (!update)
        Fail("BeginUpdateResourceW");
    for (const Resource& r : resources) {
        if (!UpdateResourceW(update, AsParam(r.type), AsParam(r.name), r.language,
                             const_cast<BYTE*>(r.data.data()), static_cast<DWORD>(r.data.size()))) {
            EndUpdateResourceW(update, TRUE);
            Fail("UpdateResourceW");
        }
    }
    if (!EndUpdateResourceW(update, FALSE))
        Fail("EndUpdateResourceW");
}
