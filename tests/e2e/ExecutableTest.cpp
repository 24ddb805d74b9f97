// The built SoranoteUpdater.exe as a file: what its import table makes the loader search for
// before the first line of our code runs, what its manifest and its header ask of Windows, and
// the version it carries and shows; the same of the release build's exe
// (tests/release/release-build.sh, carrying a stand-in 2.1.3.0), which must also carry no
// symbols, carry its signature and still update.
#include "target/PeImage.h"
#include "tests/e2e/UpdateFlow.h"
#include "tests/support/HostPath.h"
#include "tests/support/ResourceEdit.h"
#include "tests/support/Sandbox.h"
#include "toolkit/core/HandleOwners.h"

#include <gtest/gtest.h>

#include <winver.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>

namespace {

// A PE32+ image read from its file bytes with the program's own reader; what it cannot read
// fails the test.
class PeFile {
public:
    explicit PeFile(std::vector<BYTE> bytes) : bytes_(std::move(bytes)), image_(bytes_.data(), bytes_.size())
    {
        if (!image_.Valid())
            throw std::runtime_error("not a PE file");
        if (!image_.Is64())
            throw std::runtime_error("not a 64-bit image");
    }

    const IMAGE_FILE_HEADER& FileHeader() const { return image_.FileHeader(); }
    IMAGE_DATA_DIRECTORY Directory(int index) const { return image_.Directory(static_cast<unsigned>(index)); }
    WORD DllCharacteristics() const
    {
        const auto dos = image_.At<IMAGE_DOS_HEADER>(0);
        const auto optional =
            image_.At<IMAGE_OPTIONAL_HEADER64>(static_cast<size_t>(dos->e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER));
        if (!optional)
            throw std::runtime_error("no optional header");
        return optional->DllCharacteristics;
    }
    std::vector<std::string> SectionNames() const
    {
        std::vector<std::string> names;
        for (const auto& s : image_.Sections())
            names.emplace_back(reinterpret_cast<const char*>(s.Name), strnlen(reinterpret_cast<const char*>(s.Name), 8));
        return names;
    }
    size_t FileSize() const { return bytes_.size(); }

    template <typename T>
    T AtRva(DWORD rva) const
    {
        if (const std::optional<T> value = image_.AtRva<T>(rva))
            return *value;
        throw std::runtime_error("RVA outside the file's sections");
    }

    std::string StringAtRva(DWORD rva) const
    {
        if (std::optional<std::string> text = image_.StringAtRva(rva))
            return *text;
        throw std::runtime_error("unterminated string");
    }

private:
    std::vector<BYTE> bytes_;
    PeImage image_;
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(tolower(c)); });
    return s;
}

// Every DLL the loader resolves for the image before it runs, delay-loaded ones included.
std::set<std::string> ImportedDlls(const PeFile& pe)
{
    std::set<std::string> dlls;
    const auto imports = pe.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (DWORD at = imports.VirtualAddress; imports.Size; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto entry = pe.AtRva<IMAGE_IMPORT_DESCRIPTOR>(at);
        if (entry.Name == 0)
            break;
        dlls.insert(Lower(pe.StringAtRva(entry.Name)));
    }
    const auto delayed = pe.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    for (DWORD at = delayed.VirtualAddress; delayed.Size; at += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
        const auto entry = pe.AtRva<IMAGE_DELAYLOAD_DESCRIPTOR>(at);
        if (entry.DllNameRVA == 0)
            break;
        dlls.insert(Lower(pe.StringAtRva(entry.DllNameRVA)));
    }
    return dlls;
}

// DLLs Windows never looks for in the program's folder: the known DLLs (always taken from
// System32), API sets (resolved by name), and the common controls, which the manifest binds
// to the side-by-side version 6 assembly.
bool AlwaysFromTheSystem(const std::string& dll)
{
    static const std::set<std::string> known = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",   "advapi32.dll", "shell32.dll",
        "ole32.dll",    "oleaut32.dll", "msvcrt.dll",  "comdlg32.dll", "shlwapi.dll",
        "ws2_32.dll",   "rpcrt4.dll",   "imm32.dll",   "ntdll.dll",    "sechost.dll",
        "combase.dll",  "comctl32.dll",
    };
    return known.count(dll) != 0 || dll.rfind("api-ms-win-", 0) == 0;
}

std::string Manifest(const std::wstring& exe)
{
    unique_hmodule module(LoadLibraryExW(exe.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        throw std::runtime_error("cannot open the executable as a data file");
    HRSRC info = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    HGLOBAL loaded = info ? LoadResource(module.get(), info) : nullptr;
    const char* text = static_cast<const char*>(loaded ? LockResource(loaded) : nullptr);
    if (!text)
        throw std::runtime_error("no manifest with id 1");
    return std::string(text, SizeofResource(module.get(), info));
}

// The manifest text with every run of white space made one blank, so the checks do not
// depend on how it is laid out in lines.
std::string Squeezed(const std::string& xml)
{
    std::string out;
    for (char c : xml) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

void ExpectOnlySystemImports(const std::wstring& exe)
{
    const std::set<std::string> dlls = ImportedDlls(PeFile(ReadFileBytes(exe)));
    ASSERT_TRUE(dlls.count("kernel32.dll")) << "the import table was not read";
    for (const std::string& dll : dlls)
        EXPECT_TRUE(AlwaysFromTheSystem(dll))
            << dll << " would be looked for in the program's folder first; load it from System32 at run time";
}

void ExpectManifestAsksForAdministratorGdiScalingAndCommonControls6(const std::wstring& exe)
{
    const std::string manifest = Squeezed(Manifest(exe));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    const size_t scaling = manifest.find("<gdiScaling");
    ASSERT_NE(scaling, std::string::npos);
    EXPECT_EQ(manifest.compare(manifest.find('>', scaling) + 1, 4, "true"), 0) << "gdiScaling is not true";
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
}

// Relocatable to a random address with high-entropy addresses (ASLR), and data never
// executable (DEP), asked for by the header, with the relocations that ASLR needs.
void ExpectAslrHighEntropyAndDep(const std::wstring& exe)
{
    const PeFile pe(ReadFileBytes(exe));
    for (const WORD flag : {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA,
                            IMAGE_DLLCHARACTERISTICS_NX_COMPAT})
        EXPECT_TRUE(pe.DllCharacteristics() & flag) << std::hex << "0x" << flag << " is off";
    EXPECT_GT(pe.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u) << "no relocations";
}

// What the exe says of its version, read through the platform as Explorer reads it: its update
// version record and its own version resource, all from the one payload it carries.
void ExpectVersion(const std::wstring& exe, int major, int composite, const VersionNumbers& own)
{
    unique_hmodule module(LoadLibraryExW(exe.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module);
    HRSRC info = FindResourceW(module.get(), L"UPDATEVERSION", MAKEINTRESOURCEW(10));
    ASSERT_TRUE(info);
    ASSERT_EQ(SizeofResource(module.get(), info), 8u);
    int record[2];
    std::memcpy(record, LockResource(LoadResource(module.get(), info)), sizeof record);
    EXPECT_EQ(record[0], major);
    EXPECT_EQ(record[1], composite);

    std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const DWORD ms = MAKELONG(own.minor, own.major), ls = MAKELONG(own.build, own.release);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    const std::wstring dotted = std::to_wstring(own.major) + L"." + std::to_wstring(own.minor) + L"." +
                                std::to_wstring(own.release) + L"." + std::to_wstring(own.build);
    for (const wchar_t* key :
         {L"\\StringFileInfo\\041104B0\\FileVersion", L"\\StringFileInfo\\041104B0\\ProductVersion"}) {
        ASSERT_TRUE(VerQueryValueW(data.data(), key, &value, &length)) << key;
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), dotted) << key;
    }
}

std::wstring ReleaseExe()
{
    return HostPath(RELEASE_EXE);
}

const std::wstring kReleaseTitle = L"ソラノート2.013アップデーター";
const std::wstring kNoUpdateNeeded = L"お使いのソラノートは、アップデートの必要がありません";

TEST(Executable, ImportsOnlyDllsThatAreNeverSearchedForBesideIt)
{
    ExpectOnlySystemImports(UpdaterExe());
}

TEST(Executable, ManifestAsksForAdministratorGdiScalingAndCommonControls6)
{
    ExpectManifestAsksForAdministratorGdiScalingAndCommonControls6(UpdaterExe());
}

TEST(Executable, AsksForAslrHighEntropyAddressesAndDep)
{
    ExpectAslrHighEntropyAndDep(UpdaterExe());
}

// The default build carries the stand-in 1.0.1.0.
TEST(Executable, VersionRecordAndOwnVersionAreThePayloads)
{
    ExpectVersion(UpdaterExe(), 1, 1, VersionNumbers{1, 0, 1, 0});
}

TEST(ReleaseExecutable, AsksForAslrHighEntropyAddressesAndDep)
{
    ExpectAslrHighEntropyAndDep(ReleaseExe());
}

TEST(ReleaseExecutable, VersionRecordAndOwnVersionAreThePayloads)
{
    ExpectVersion(ReleaseExe(), 2, 13, VersionNumbers{2, 1, 3, 0});
}

TEST(ReleaseExecutable, ImportsOnlyDllsThatAreNeverSearchedForBesideIt)
{
    ExpectOnlySystemImports(ReleaseExe());
}

TEST(ReleaseExecutable, ManifestAsksForAdministratorGdiScalingAndCommonControls6)
{
    ExpectManifestAsksForAdministratorGdiScalingAndCommonControls6(ReleaseExe());
}

TEST(ReleaseExecutable, CarriesNoSymbolsAndEndsWithItsSignature)
{
    const PeFile pe(ReadFileBytes(ReleaseExe()));
    EXPECT_EQ(pe.FileHeader().PointerToSymbolTable, 0u);
    EXPECT_EQ(pe.FileHeader().NumberOfSymbols, 0u);
    for (const std::string& name : pe.SectionNames())
        EXPECT_NE(name.rfind(".debug", 0), 0u) << name;
    // The certificate table's address is a file offset; it is the last thing in the file.
    const auto certificates = pe.Directory(IMAGE_DIRECTORY_ENTRY_SECURITY);
    ASSERT_GT(certificates.Size, 0u) << "not signed";
    EXPECT_EQ(size_t{certificates.VirtualAddress} + certificates.Size, pe.FileSize());
}

// The signed release exe, started as a user starts it, shows the payload's version, replaces
// an older installation with its payload, and then finds nothing to update.
using ReleaseUpdateFlow = UpdateFlow;

TEST_F(ReleaseUpdateFlow, UpdatesAnInstalled212AndThenNeedsNoUpdate)
{
    title_ = kReleaseTitle;
    Start(VersionNumbers{2, 1, 2, 0}, ReleaseExe());
    Click(FindButton(OpenFolderDialog(), kBegin));
    EXPECT_EQ(NextMessage(), kSucceeded);
    EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    EXPECT_TRUE(ReadFileBytes(sandbox_.Target()) == ReadFileBytes(HostPath(RELEASE_PAYLOAD)))
        << "Soranote.exe is not the payload";

    StartOnly(ReleaseExe());
    Click(FindButton(OpenFolderDialog(), kBegin));
    EXPECT_EQ(NextMessage(), kNoUpdateNeeded);
}

}  // namespace
