#include "tests/support/VersionedExe.h"

#include <winver.h>

#include "toolkit/Handles.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <variant>

namespace {

constexpr WORD kJapanese = 0x0411;   // the product's resource language
constexpr WORD kUnicodeCp = 1200;    // code page of the string table

[[noreturn]] void Fail(const char* what)
{
    const DWORD error = GetLastError();
    throw std::runtime_error(std::string(what) + " failed, error " + std::to_string(error));
}

// One block of a version resource: header (wLength, wValueLength, wType), key, value,
// children, each part starting on a 32-bit boundary of the resource.
struct Block {
    std::wstring key;
    WORD type = 1;              // 0 binary, 1 text
    std::vector<BYTE> value;
    WORD valueLength = 0;       // bytes for binary values, characters for text
    std::vector<Block> children;
};

void PutWord(std::vector<BYTE>& out, WORD w)
{
    out.push_back(static_cast<BYTE>(w & 0xFF));
    out.push_back(static_cast<BYTE>(w >> 8));
}

void PutText(std::vector<BYTE>& out, const std::wstring& text)
{
    for (wchar_t c : text)
        PutWord(out, static_cast<WORD>(c));
    PutWord(out, 0);
}

void Align(std::vector<BYTE>& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

void Write(const Block& block, std::vector<BYTE>& out)
{
    Align(out);
    const size_t start = out.size();
    PutWord(out, 0);  // wLength, patched below
    PutWord(out, block.valueLength);
    PutWord(out, block.type);
    PutText(out, block.key);
    Align(out);
    out.insert(out.end(), block.value.begin(), block.value.end());
    for (const Block& child : block.children)
        Write(child, out);
    // wLength covers the block and its children but not the padding after it.
    const size_t length = out.size() - start;
    out[start] = static_cast<BYTE>(length & 0xFF);
    out[start + 1] = static_cast<BYTE>(length >> 8);
}

Block TextValue(const std::wstring& key, const std::wstring& text)
{
    Block b;
    b.key = key;
    b.type = 1;
    PutText(b.value, text);
    b.valueLength = static_cast<WORD>(text.size() + 1);
    return b;
}

std::wstring Dotted(const VersionNumbers& v)
{
    return std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." +
           std::to_wstring(v.release) + L"." + std::to_wstring(v.build);
}

// Resource types and names are numbers or strings; both must outlive the module they
// were enumerated from.
using ResName = std::variant<WORD, std::wstring>;

ResName ToResName(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    return std::wstring(name);
}

const wchar_t* AsParam(const ResName& name)
{
    if (const WORD* id = std::get_if<WORD>(&name))
        return MAKEINTRESOURCEW(*id);
    return std::get<std::wstring>(name).c_str();
}

bool IsVersionType(const ResName& type)
{
    const WORD* id = std::get_if<WORD>(&type);
    return id && MAKEINTRESOURCEW(*id) == RT_VERSION;
}

struct ResEntry {
    ResName type;
    ResName name;
    WORD language;
    std::vector<BYTE> data;
};

struct Collected {
    std::vector<ResEntry> kept;     // everything but version resources
    WORD versionLanguage = 0;       // language of the last version resource seen, 0 if none
    bool failed = false;
};

BOOL CALLBACK CollectLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                              LONG_PTR param)
{
    auto& out = *reinterpret_cast<Collected*>(param);
    ResEntry entry{ToResName(type), ToResName(name), language, {}};
    if (IsVersionType(entry.type)) {
        out.versionLanguage = language;
        return TRUE;
    }
    HRSRC info = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        out.failed = true;
        return FALSE;
    }
    const auto* first = static_cast<const BYTE*>(bytes);
    entry.data.assign(first, first + SizeofResource(module, info));
    out.kept.push_back(std::move(entry));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    EnumResourceLanguagesW(module, type, name, CollectLanguage, param);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPWSTR type, LONG_PTR param)
{
    EnumResourceNamesW(module, type, CollectName, param);
    return TRUE;
}

Collected ReadResources(const std::wstring& file)
{
    unique_hmodule module(LoadLibraryExW(file.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        Fail("LoadLibraryExW (as data file)");
    Collected collected;
    // Fails with ERROR_RESOURCE_DATA_NOT_FOUND for a file without resources, which is fine.
    EnumResourceTypesW(module.get(), CollectType, reinterpret_cast<LONG_PTR>(&collected));
    if (collected.failed)
        throw std::runtime_error("cannot read the resources of the source executable");
    return collected;
}

// Owns a pending resource update; discards it unless committed.
class ResourceUpdate {
public:
    explicit ResourceUpdate(const std::wstring& file, bool deleteExisting)
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

    void Put(LPCWSTR type, LPCWSTR name, WORD language, const std::vector<BYTE>& data)
    {
        if (!UpdateResourceW(handle_, type, name, language, const_cast<BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())))
            Fail("UpdateResourceW");
    }
    void Commit()
    {
        HANDLE h = handle_;
        handle_ = nullptr;
        if (!EndUpdateResourceW(h, FALSE))
            Fail("EndUpdateResourceW");
    }

private:
    HANDLE handle_;
};

std::vector<BYTE> ReadAll(const std::wstring& file)
{
    unique_handle h(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        Fail("CreateFileW (read)");
    std::vector<BYTE> bytes(GetFileSize(h.get(), nullptr));
    DWORD read = 0;
    const BOOL ok = ReadFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    if (!ok || read != bytes.size())
        Fail("ReadFile");
    return bytes;
}

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
    const std::vector<BYTE> before = ReadAll(source);
    std::vector<BYTE> after = ReadAll(dest);
    const size_t atBefore = SymbolPointerOffset(before);
    const size_t atAfter = SymbolPointerOffset(after);
    if (!atBefore || !atAfter)
        return;
    const DWORD symbols = GetDword(before, atBefore);
    if (symbols == 0 || symbols >= before.size())
        return;
    const size_t tail = before.size() - symbols;
    if (tail > after.size() ||
        !std::equal(before.begin() + symbols, before.end(), after.end() - tail))
        return;
    const DWORD moved = static_cast<DWORD>(after.size() - tail);
    if (GetDword(after, atAfter) == moved)
        return;
    std::memcpy(after.data() + atAfter, &moved, sizeof moved);

    unique_handle h(CreateFileW(dest.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        Fail("CreateFileW (write)");
    DWORD written = 0;
    const BOOL ok = SetFilePointer(h.get(), static_cast<LONG>(atAfter), nullptr, FILE_BEGIN) !=
                        INVALID_SET_FILE_POINTER &&
                    WriteFile(h.get(), &moved, sizeof moved, &written, nullptr);
    if (!ok || written != sizeof moved)
        Fail("WriteFile");
}

// Removing single resources (UpdateResourceW with no data) does not stick under Wine, so the
// copy starts with no resources at all and gets back every one but the version.
void CopyWithVersion(const std::wstring& source, const std::wstring& dest,
                     const std::vector<BYTE>* versionInfo)
{
    const Collected resources = ReadResources(source);
    if (!CopyFileW(source.c_str(), dest.c_str(), FALSE))
        Fail("CopyFileW");
    SetFileAttributesW(dest.c_str(), FILE_ATTRIBUTE_NORMAL);

    ResourceUpdate update(dest, true);
    for (const ResEntry& entry : resources.kept)
        update.Put(AsParam(entry.type), AsParam(entry.name), entry.language, entry.data);
    if (versionInfo) {
        const WORD language = resources.versionLanguage ? resources.versionLanguage : kJapanese;
        update.Put(RT_VERSION, MAKEINTRESOURCEW(1), language, *versionInfo);
    }
    update.Commit();
    FixSymbolPointer(source, dest);
}

}  // namespace

std::vector<BYTE> BuildVersionInfo(const VersionNumbers& productVersion,
                                   const VersionNumbers& fileVersion)
{
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = MAKELONG(fileVersion.minor, fileVersion.major);
    fixed.dwFileVersionLS = MAKELONG(fileVersion.build, fileVersion.release);
    fixed.dwProductVersionMS = MAKELONG(productVersion.minor, productVersion.major);
    fixed.dwProductVersionLS = MAKELONG(productVersion.build, productVersion.release);
    fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_APP;

    Block strings;
    strings.key = L"041104B0";
    strings.children = {
        TextValue(L"FileDescription", L"ソラノート"),
        TextValue(L"FileVersion", Dotted(fileVersion)),
        TextValue(L"ProductName", L"ソラノート"),
        TextValue(L"ProductVersion", Dotted(productVersion)),
    };
    Block stringFileInfo;
    stringFileInfo.key = L"StringFileInfo";
    stringFileInfo.children = {strings};

    Block translation;
    translation.key = L"Translation";
    translation.type = 0;
    PutWord(translation.value, kJapanese);
    PutWord(translation.value, kUnicodeCp);
    translation.valueLength = 4;
    Block varFileInfo;
    varFileInfo.key = L"VarFileInfo";
    varFileInfo.children = {translation};

    Block root;
    root.key = L"VS_VERSION_INFO";
    root.type = 0;
    root.value.resize(sizeof fixed);
    std::memcpy(root.value.data(), &fixed, sizeof fixed);
    root.valueLength = static_cast<WORD>(sizeof fixed);
    root.children = {stringFileInfo, varFileInfo};

    std::vector<BYTE> out;
    Write(root, out);
    return out;
}

void MakeVersionedExe(const std::wstring& source, const std::wstring& dest,
                      const VersionNumbers& productVersion,
                      const std::optional<VersionNumbers>& fileVersion)
{
    const std::vector<BYTE> info = BuildVersionInfo(productVersion, fileVersion.value_or(productVersion));
    CopyWithVersion(source, dest, &info);
}

void MakeExeWithoutVersion(const std::wstring& source, const std::wstring& dest)
{
    CopyWithVersion(source, dest, nullptr);
}
