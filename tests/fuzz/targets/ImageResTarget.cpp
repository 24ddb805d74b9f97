#include <windows.h>

#include <string>

#include "imaging/UResStream.h"
#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/IconBytes.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"

namespace {

// One file per batch process: FindInResFile reads a file, as the program does.
const std::wstring& InputFile()
{
    static const std::wstring file = [] {
        wchar_t folder[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        return std::wstring(folder) + L"fuzz-Image-" + std::to_wstring(::GetCurrentProcessId()) + L".res";
    }();
    return file;
}

void WriteInput(const uint8_t* data, size_t size)
{
    unique_handle file(::CreateFileW(InputFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file && size > 0)
        ::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr);
}

// An entry as a resource compiler writes it; its two sizes become size fields of the seed.
void AddEntry(FuzzSeed& seed, const wchar_t* type, const wchar_t* name, const FuzzBytes& data)
{
    const size_t start = seed.bytes.size();
    std::vector<uint8_t> header;
    PutLE(header, data.size(), 4);
    PutLE(header, 0, 4);
    for (const wchar_t* id : {type, name}) {
        if (IS_INTRESOURCE(id)) {
            PutLE(header, 0xFFFF, 2);
            PutLE(header, LOWORD(id), 2);
        } else {
            for (const wchar_t* c = id; *c; ++c)
                PutLE(header, static_cast<uint16_t>(*c), 2);
            PutLE(header, 0, 2);
        }
    }
    header.resize((header.size() + 3) / 4 * 4, 0);
    header.resize(header.size() + 16, 0);
    header[4] = static_cast<uint8_t>(header.size());
    seed.bytes.insert(seed.bytes.end(), header.begin(), header.end());
    seed.bytes.insert(seed.bytes.end(), data.begin(), data.end());
    seed.bytes.resize((seed.bytes.size() + 3) / 4 * 4, 0);
    seed.fields.push_back({start, 4});
    seed.fields.push_back({start + 4, 4});
}

FuzzBytes SmallDib()
{
    BmpSpec s;
    s.rows = {Row(3, {0xFF0000, 0x00FF00}), Row(3, {0x0000FF, 0xFFFFFF})};
    const FuzzBytes file = BmpFile(s);
    return FuzzBytes(file.begin() + 14, file.end());
}

}  // namespace

void FuzzImageRes(const uint8_t* data, size_t size)
{
    WriteInput(data, size);
    const struct {
        const wchar_t* type;
        const wchar_t* name;
    } queries[] = {{RT_BITMAP, L"LOGO"}, {L"JPEG", L"PHOTO"}, {L"rt_bitmap", L"LOGOINFO"}, {RT_ICON, L"1"}};
    for (const auto& q : queries) {
        try {
            TResStream stream(InputFile(), q.type, q.name);
            uint8_t buffer[64];
            while (stream.Read(buffer, sizeof buffer) > 0) {
            }
        } catch (const Exception&) {
        }
    }
    ::DeleteFileW(InputFile().c_str());
}

std::vector<FuzzSeed> ImageResSeeds()
{
    const FuzzBytes dib = SmallDib();
    const FuzzBytes icon = IconImage({});
    const FuzzBytes jpeg(16, 0xD8);
    FuzzSeed full, small, lowerCase;
    // The customary empty entry first, then entries of ordinal and named types.
    AddEntry(full, MAKEINTRESOURCEW(0), MAKEINTRESOURCEW(0), {});
    AddEntry(full, L"JPEG", L"PHOTO", jpeg);
    AddEntry(full, L"RT_BITMAP", L"LOGOINFO", dib);
    AddEntry(full, RT_BITMAP, L"LOGOINFO", dib);
    AddEntry(full, RT_BITMAP, L"LOGO", dib);
    AddEntry(full, RT_ICON, L"1", icon);
    AddEntry(small, MAKEINTRESOURCEW(0), MAKEINTRESOURCEW(0), {});
    AddEntry(small, RT_BITMAP, L"LOGO", dib);
    AddEntry(lowerCase, RT_ICON, MAKEINTRESOURCEW(1), icon);
    AddEntry(lowerCase, L"jpeg", L"photo", jpeg);
    AddEntry(lowerCase, RT_BITMAP, L"logo", {'B', 'M', 'x'});
    lowerCase.bytes.resize(lowerCase.bytes.size() - 1);  // the last entry unpadded
    return {full, small, lowerCase};
}
