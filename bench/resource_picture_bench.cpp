// Times the resource image loader on the 400 x 360 24-bit logo, as the main window loads it:
// from the program's own resources against finding the raw resource and making a DIB section
// of it directly, and from an "Image.res" beside the program against reading the entry's bytes
// from that file and making the DIB section of them directly.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/Modules.h"
#include "imaging/UPictureEX.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Streams.h"

namespace {

constexpr int kRounds = 15;
constexpr int kPerRound = 40;

// Seconds per call of the fastest of the rounds, so other work on the machine disturbs the
// figures as little as it can.
double Best(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    work();
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kPerRound; ++i)
            work();
        QueryPerformanceCounter(&end);
        best = std::min(best, static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart / kPerRound);
    }
    return best;
}

// The least a program can do with a packed 24-bit DIB: a section of its size, the pixels copied.
void MakeSection(const uint8_t* dib)
{
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib);
    void* bits = nullptr;
    unique_hbitmap section(::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section)
        throw EOutOfMemory(L"CreateDIBSection");
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const size_t size = static_cast<size_t>((h.biWidth * h.biBitCount + 31) / 32 * 4) * std::abs(h.biHeight);
    std::memcpy(bits, dib + h.biSize, size);
}

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A resource file as a resource compiler writes it: the empty first entry, then LOGO.
// `dataAt` is where LOGO's bytes start.
std::vector<uint8_t> ImageRes(const uint8_t* logo, uint32_t size, size_t& dataAt)
{
    std::vector<uint8_t> out;
    auto entry = [&out](const std::vector<uint8_t>& ids, const uint8_t* data, uint32_t dataSize) {
        PutU32(out, dataSize);
        PutU32(out, static_cast<uint32_t>(8 + ids.size() + 16));
        out.insert(out.end(), ids.begin(), ids.end());
        out.resize(out.size() + 16, 0);  // data version, flags, language, version, characteristics
        const size_t at = out.size();
        out.insert(out.end(), data, data + dataSize);
        out.resize((out.size() + 3) / 4 * 4, 0);
        return at;
    };
    entry({0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0}, nullptr, 0);
    dataAt = entry({0xFF, 0xFF, 2, 0, 'L', 0, 'O', 0, 'G', 0, 'O', 0, 0, 0, 0, 0}, logo, size);
    return out;
}

// The file beside the program for as long as the benchmark runs.
class TFileBeside {
public:
    TFileBeside(const std::wstring& name, const std::vector<uint8_t>& bytes)
    {
        wchar_t exe[MAX_PATH];
        const std::wstring path(exe, ::GetModuleFileNameW(nullptr, exe, MAX_PATH));
        path_ = path.substr(0, path.find_last_of(L"\\/") + 1) + name;
        TFileStream file(path_, TFileMode::fmCreate);
        file.WriteBuffer(bytes.data(), static_cast<long long>(bytes.size()));
    }
    ~TFileBeside() { ::DeleteFileW(path_.c_str()); }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

void LoadThroughLoader(const wchar_t* resFile)
{
    TPictureEx picture;
    TResourceImageLoader loader(&picture);
    loader.SetResFile(resFile);
    loader.SetResType(L"RT_BITMAP");
    loader.SetResName(L"LOGO");
    loader.Load();
}

}  // namespace

int wmain()
{
    try {
        TRunningModules modules(ProgramModules());
        HRSRC found = ::FindResourceW(nullptr, L"LOGO", RT_BITMAP);
        const auto* logo = static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, found)));
        const DWORD logoSize = ::SizeofResource(nullptr, found);
        size_t dataAt = 0;
        TFileBeside imageRes(L"Image.res", ImageRes(logo, logoSize, dataAt));

        const double own = Best([] { LoadThroughLoader(L"no-such-Image.res"); });
        const double ownFloor = Best([] {
            HRSRC r = ::FindResourceW(nullptr, L"LOGO", RT_BITMAP);
            MakeSection(static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, r))));
        });
        const double file = Best([] { LoadThroughLoader(L"Image.res"); });
        std::vector<uint8_t> buffer(logoSize);
        const double fileFloor = Best([&] {
            TFileStream stream(imageRes.Path(), TFileMode::fmOpenRead);
            stream.SetPosition(static_cast<long long>(dataAt));
            stream.ReadBuffer(buffer.data(), logoSize);
            MakeSection(buffer.data());
        });

        std::printf("logo 400 x 360, 24 bits (%lu bytes); best of %d rounds of %d\n",
                    static_cast<unsigned long>(logoSize), kRounds, kPerRound);
        std::printf("  loader, own resources:        %8.3f ms\n", own * 1000.0);
        std::printf("  raw resource to DIB section:  %8.3f ms\n", ownFloor * 1000.0);
        std::printf("  ratio:                        %8.3f\n", own / ownFloor);
        std::printf("  loader, Image.res:            %8.3f ms\n", file * 1000.0);
        std::printf("  file entry to DIB section:    %8.3f ms\n", fileFloor * 1000.0);
        std::printf("  ratio:                        %8.3f\n", file / fileFloor);
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
