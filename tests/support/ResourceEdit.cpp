#include "tests/support/ResourceEdit.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <variant>

#include "toolkit/core/HandleOwners.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    throw std::runtime_error(std::string(what) + " failed, error " + std::to_string(GetLastError()));
}

// A resource type or name: a number or a string, kept beyond the module it was read from.
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

// Resource names compare as the platform compares them: numbers exactly, strings ignoring case.
bool SameName(const ResName& a, const ResName& b)
{
    if (a.index() != b.index())
        return false;
    if (const WORD* id = std::get_if<WORD>(&a))
        return *id == std::get<WORD>(b);
    return _wcsicmp(std::get<std::wstring>(a).c_str(), std::get<std::wstring>(b).c_str()) == 0;
}

struct Resource {
    ResName type;
    ResName name;
    WORD language;
    std::vector<BYTE> data;
};

struct Collected {
    std::vector<Resource> resources;
    bool failed = false;
};

BOOL CALLBACK CollectLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param)
{
    auto& out = *reinterpret_cast<Collected*>(param);
    HRSRC info = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes) {
        out.failed = true;
        return FALSE;
    }
    out.resources.push_back({ToResName(type), ToResName(name), language,
                             std::vector<BYTE>(bytes, bytes + SizeofResource(module, info))});
    return TRUE;
}

std::vector<Resource> ReadResources(const std::wstring& file)
{
    unique_hmodule module(LoadLibraryExW(file.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        Fail("LoadLibraryExW (as data file)");
    Collected collected;
    // Fails with ERROR_RESOURCE_DATA_NOT_FOUND for a file without resources, which is fine.
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
        reinterpret_cast<LONG_PTR>(&collected));
    if (collected.failed)
        throw std::runtime_error("cannot read the resources of the source executable");
    return std::move(collected.resources);
}

// Owns a pending resource update; discards it unless committed.
class ResourceUpdate {
public:
    ResourceUpdate(const std::wstring& file, bool deleteExisting)
        : handle_(BeginUpdateResourceW(file.c_str(), deleteExisting))
    {
        if (!handle_)
            Fail("BeginUpdateResourceW");
    }
    ~ResourceUpdate()
    {
        if (handle_)
            EndUpdateResourceW(handle_, TRUE);
    }
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;

    void Put(const Resource& r)
    {
        if (!UpdateResourceW(handle_, AsParam(r.type), AsParam(r.name), r.language,
                             const_cast<BYTE*>(r.data.data()), static_cast<DWORD>(r.data.size())))
            Fail("UpdateResourceW");
    }
    void Commit()
    {
        HANDLE h = std::exchange(handle_, nullptr);
        if (!EndUpdateResourceW(h, FALSE))
            Fail("EndUpdateResourceW");
    }

private:
    HANDLE handle_;
};

// Offset of the file header's PointerToSymbolTable, or 0 when `image` is no PE file.
size_t SymbolPointerOffset(const std::vector<BYTE>& image)
{
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return 0;
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, image.data(), sizeof dos);
    const size_t pe = static_cast<size_t>(dos.e_lfanew);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || pe + 4 + sizeof(IMAGE_FILE_HEADER) > image.size())
        return 0;
    return pe + 4 + offsetof(IMAGE_FILE_HEADER, PointerToSymbolTable);
}

DWORD GetDword(const std::vector<BYTE>& image, size_t at)
{
    DWORD value;
    std::memcpy(&value, image.data() + at, sizeof value);
    return value;
}

// Rewriting the resource section moves the sections behind it, and Wine does not move the
// COFF symbol pointer along; tools then misread the long section names. The symbol and
// string tables are the unchanged tail of the file, so point at wherever that tail now is.
void FixSymbolPointer(const std::wstring& source, const std::wstring& dest)
{
    const std::vector<BYTE> before = ReadFileBytes(source);
    std::vector<BYTE> after = ReadFileBytes(dest);
    const size_t atBefore = SymbolPointerOffset(before);
    const size_t atAfter = SymbolPointerOffset(after);
    if (!atBefore || !atAfter)
        return;
    const DWORD symbols = GetDword(before, atBefore);
    if (symbols == 0 || symbols >= before.size())
        return;
    const size_t tail = before.size() - symbols;
    if (tail > after.size() || !std::equal(before.begin() + symbols, before.end(), after.end() - tail))
        return;
    const DWORD moved = static_cast<DWORD>(after.size() - tail);
    if (GetDword(after, atAfter) == moved)
        return;

    unique_handle h(CreateFileW(dest.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!h)
        Fail("CreateFileW (write)");
    DWORD written = 0;
    const BOOL ok = SetFilePointer(h.get(), static_cast<LONG>(atAfter), nullptr, FILE_BEGIN) !=
                        INVALID_SET_FILE_POINTER &&
                    WriteFile(h.get(), &moved, sizeof moved, &written, nullptr);
    if (!ok || written != sizeof moved)
        Fail("WriteFile");
}

}  // namespace

std::vector<BYTE> ReadFileBytes(const std::wstring& path)
{
    unique_handle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        Fail("CreateFileW (read)");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size))
        Fail("GetFileSizeEx");
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
        Fail("ReadFile");
    return bytes;
}

void CopyWithResource(const std::wstring& source, const std::wstring& dest, LPCWSTR type, LPCWSTR name,
                      const std::optional<std::vector<BYTE>>& data, WORD language)
{
    // Wine does not take a single resource out (UpdateResourceW without data), so the copy
    // starts with none and gets back every resource but the one replaced or removed.
    const ResName wantedType = ToResName(type);
    const ResName wantedName = ToResName(name);
    std::vector<Resource> kept;
    for (Resource& r : ReadResources(source)) {
        if (SameName(r.type, wantedType) && SameName(r.name, wantedName))
            language = r.language;
        else
            kept.push_back(std::move(r));
    }
    if (data)
        kept.push_back({wantedType, wantedName, language, *data});

    if (!CopyFileW(source.c_str(), dest.c_str(), FALSE))
        Fail("CopyFileW");
    SetFileAttributesW(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
    ResourceUpdate update(dest, true);
    for (const Resource& r : kept)
        update.Put(r);
    update.Commit();
    FixSymbolPointer(source, dest);
}

void CopyWithRawData(const std::wstring& source, const std::wstring& dest, const std::wstring& name,
                     const std::optional<std::vector<BYTE>>& data)
{
    unique_hmodule module(LoadLibraryExW(source.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module || !FindResourceW(module.get(), name.c_str(), RT_RCDATA))
        throw std::runtime_error("the source has no RCDATA resource of that name");
    module.reset();
    CopyWithResource(source, dest, RT_RCDATA, name.c_str(), data);
}
