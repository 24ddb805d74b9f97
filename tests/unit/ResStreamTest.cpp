// Resource streams: the scan of an external resource file and the stream over it or over the
// program's own resources.
#include "imaging/UResStream.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/ResFileBytes.h"
#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

std::string Contents(TStream& stream)
{
    std::string bytes(static_cast<size_t>(stream.Size()), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(bytes.data(), static_cast<long long>(bytes.size()));
    return bytes;
}

std::string OwnResource(const wchar_t* name, const wchar_t* type)
{
    TResourceStream stream(::GetModuleHandleW(nullptr), name, type);
    return Contents(stream);
}

std::string Found(const std::wstring& file, const wchar_t* type, const wchar_t* name)
{
    TMemoryStream dest;
    FindInResFile(dest, file, type, name);
    return Contents(dest);
}

std::wstring NotFound(const std::wstring& name)
{
    return name + L" ﾘｿｰｽが見つかりません";
}

std::vector<uint8_t> Bytes(const char* text)
{
    return std::vector<uint8_t>(text, text + std::char_traits<char>::length(text));
}

const std::wstring kImageRes = HostPath(IMAGE_RES);

}  // namespace

TEST(FindInResFile, CompiledFileByTypeAndName)
{
    const std::string button = OwnResource(L"Button", RT_BITMAP);
    const std::string jpeg = FileContents(HostPath(JPEG_SEED));
    ASSERT_GT(button.size(), 40u);
    const struct {
        const wchar_t* type;
        const wchar_t* name;
        std::string want;  // empty: not there
    } cases[] = {
        {RT_BITMAP, L"logo", button},  // stored as "LOGO"
        {RT_BITMAP, L"LoGo", button},
        {RT_RCDATA, L"LOGOINFO", "BM"},  // "BM": the bitmap file, file header and all
        {RT_RCDATA, L"LOGO", ""},       // only a longer name there
        {RT_RCDATA, L"LOGOINFOX", ""},  // only a shorter one
        {L"rt_bitmap", L"PIC", "BM"},    // a type name, stored as "RT_BITMAP"
        {RT_BITMAP, L"PIC", ""},        // not the ordinal type
        {L"Jpeg", L"photo", jpeg},
        {L"JPEG", L"PHOTOS", ""},
        {MAKEINTRESOURCEW(0), L"", ""},  // the empty first entry
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (IS_INTRESOURCE(c.type) ? L"#" + std::to_wstring(LOWORD(c.type)) : c.type)
                                        << " " << c.name);
        if (c.want.empty()) {
            EXPECT_TRUE(FailsWith<EResNotFound>([&] { Found(kImageRes, c.type, c.name); }, NotFound(c.name)));
        } else if (c.want == "BM") {
            const std::string found = Found(kImageRes, c.type, c.name);
            EXPECT_EQ(found.substr(0, 2), "BM");
            EXPECT_EQ(found.substr(14), button) << "the whole file, with its file header";
        } else {
            EXPECT_EQ(Found(kImageRes, c.type, c.name), c.want);
        }
    }
    EXPECT_TRUE(FailsWith<EFOpenError>([] { Found(L"C:\\表\\Image.res", RT_BITMAP, L"LOGO"); },
                                       L"ﾌｧｲﾙ C:\\表\\Image.res は開けません"));
}

TEST(FindInResFile, HandMadeEntries)
{
    const auto entry = [](const wchar_t* type, const wchar_t* name, const char* data) {
        return ResEntry({type, name, Bytes(data)});
    };
    const std::vector<uint8_t> logo = entry(RT_BITMAP, L"logo", "the logo");
    ResEntrySpec unpadded{RT_BITMAP, L"LOGO", Bytes("5char"), -1, -1, false};
    ResEntrySpec oddHeader{RT_BITMAP, L"LOGO", Bytes("odd")};
    oddHeader.headerSize = 42;  // one unit past the last field: the data starts at 44
    std::vector<uint8_t> odd = ResEntry(oddHeader);
    odd.insert(odd.begin() + 40, 4, 0);
    // A header that ends after the type ordinal, with the first two units of a name.
    std::vector<uint8_t> shortHeader = {0, 0, 0, 0, 16, 0, 0, 0, 0xFF, 0xFF, 2, 0, 'L', 0, 'O', 0};
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        std::string want;  // "!": the read error; "": not found
    } cases[] = {
        {"stored in lower case", ResFile({EmptyResEntry(), logo}), "the logo"},
        {"a longer name first", ResFile({entry(RT_BITMAP, L"LOGOINFO", "info"), logo}), "the logo"},
        {"name types and ordinal types apart",
         ResFile({entry(L"LOGO", L"LOGO", "x"), entry(MAKEINTRESOURCEW(3), L"LOGO", "y"), logo}), "the logo"},
        {"last entry unpadded", ResFile({entry(RT_RCDATA, L"A", "abc"), ResEntry(unpadded)}), "5char"},
        {"header size not a multiple of 4", odd, "odd"},
        {"empty file", {}, ""},
        {"only the empty entry", EmptyResEntry(), ""},
        {"cut inside the sizes", ResFile({EmptyResEntry(), Bytes("\x08\x00\x00")}), "!"},
        {"cut inside the type", std::vector<uint8_t>(logo.begin(), logo.begin() + 10), "!"},
        {"cut inside the data", std::vector<uint8_t>(logo.begin(), logo.end() - 4), "!"},
        {"data size one beyond", ResEntry({RT_BITMAP, L"LOGO", Bytes("four"), 5}), "!"},
        {"header size beyond the end", ResEntry({RT_BITMAP, L"LOGO", {}, -1, 0x7FFFFFFF}), "!"},
        {"header size 0 would stand still", ResFile({ResEntry({RT_BITMAP, L"X", {}, 0, 0}), logo}), "!"},
        // Its type is read behind its header, and its sizes skip to the middle of it, where
        // the sizes read skip beyond the end.
        {"header without room for the type", ResFile({ResEntry({RT_BITMAP, L"X", {}, 0, 8}), logo}), ""},
        {"name past its header", ResFile({shortHeader, logo}), "the logo"},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring file = folder.File(L"Image.res");
        WriteFileContents(file, std::string(c.file.begin(), c.file.end()));
        if (c.want == "!")
            EXPECT_TRUE(FailsWith<EReadError>([&] { Found(file, RT_BITMAP, L"LOGO"); }, tkconst::SReadError));
        else if (c.want.empty())
            EXPECT_TRUE(FailsWith<EResNotFound>([&] { Found(file, RT_BITMAP, L"LOGO"); }, NotFound(L"LOGO")));
        else
            EXPECT_EQ(Found(file, RT_BITMAP, L"LOGO"), c.want);
        EXPECT_TRUE(::DeleteFileW(file.c_str())) << "the file is closed on every path";
    }
}

TEST(ResStream, ExternalCopyOrOwnResource)
{
    const std::string ownLogo = OwnResource(L"LOGO", RT_BITMAP);
    const std::string button = OwnResource(L"Button", RT_BITMAP);
    TempFolder folder;
    {
        SCOPED_TRACE("no file name, no file, a folder: the own resource, read only");
        for (const std::wstring& file : {std::wstring(), folder.File(L"Image.res"), folder.Path()}) {
            TResStream stream(file, RT_BITMAP, L"LOGO");
            EXPECT_EQ(Contents(stream), ownLogo);
            EXPECT_TRUE(FailsWith<EStreamError>([&] { stream.WriteBuffer("x", 1); },
                                                L"読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません"));
        }
        EXPECT_TRUE(FailsWith<EResNotFound>([] { TResStream(L"", RT_BITMAP, L"NOLOGO"); }, NotFound(L"NOLOGO")));
    }
    {
        SCOPED_TRACE("a file: a copy of its entry, which may be written");
        TResStream stream(kImageRes, RT_BITMAP, L"LOGO");
        EXPECT_EQ(stream.Position(), 0);
        EXPECT_EQ(Contents(stream), button);
        stream.SetPosition(0);
        stream.WriteBuffer("XY", 2);
        EXPECT_EQ(Contents(stream), "XY" + button.substr(2));
        EXPECT_EQ(Contents(*std::make_unique<TResStream>(kImageRes, RT_BITMAP, L"LOGO")), button);
    }
    // The own resources are no second place to look.
    EXPECT_TRUE(FailsWith<EResNotFound>([] { TResStream(kImageRes, RT_BITMAP, L"Button"); }, NotFound(L"Button")));
    {
        SCOPED_TRACE("a file there that cannot be opened");
        const std::wstring file = folder.File(L"ロゴ.res");
        WriteFileContents(file, FileContents(kImageRes));
        unique_handle exclusive(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                              nullptr));
        ASSERT_TRUE(exclusive);
        EXPECT_TRUE(FailsWith<EFOpenError>([&] { TResStream(file, RT_BITMAP, L"LOGO"); },
                                           L"ﾌｧｲﾙ " + file + L" は開けません"));
    }
}
