#include "tests/support/VersionedExe.h"

#include <winver.h>

#include "tests/support/ResourceEdit.h"

#include <cstring>

namespace {

constexpr WORD kJapanese = 0x0411;   // the product's resource language
constexpr WORD kUnicodeCp = 1200;    // code page of the string table

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
    CopyWithResource(source, dest, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                     BuildVersionInfo(productVersion, fileVersion.value_or(productVersion)), kJapanese);
}

void MakeExeWithoutVersion(const std::wstring& source, const std::wstring& dest)
{
    CopyWithResource(source, dest, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), std::nullopt);
}
