// Times the resource image loader on the 400 x 360 24-bit logo, as the main window loads it:
// from the program's own resources against finding the raw resource and making a DIB section
// of it directly, and from an "Image.res" beside the program against reading the entry's bytes
// from that file into memory allocated for them and making the DIB section of them directly.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Modules.h"
#include "bench/BenchStats.h"
#include "imaging/UPictureEX.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Streams.h"

namespace {

constexpr int kRounds = 15;
constexpr int kPerRound = 40;

// Milliseconds per call over one round of calls.
double Round(const std::function<void()>& work)
{
    const double start = bench::NowMs();
    for (int i = 0; i < kPerRound; ++i)
        work();
    return (bench::NowMs() - start) / kPerRound;
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

        auto own = [] { LoadThroughLoader(L"no-such-Image.res"); };
        auto ownFloor = [] {
            HRSRC r = ::FindResourceW(nullptr, L"LOGO", RT_BITMAP);
            MakeSection(static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, r))));
        };
        auto file = [] { LoadThroughLoader(L"Image.res"); };
        // The entry's bytes go into memory allocated for the load, as the loader's copy does:
        // on the build machine under Wine the first touch of a page costs far more than copying
        // it, so a buffer used again against a fresh one would time the pages.
        auto fileFloor = [&] {
            TFileStream stream(imageRes.Path(), TFileMode::fmOpenRead);
            stream.SetPosition(static_cast<long long>(dataAt));
            std::unique_ptr<uint8_t[]> buffer(new uint8_t[logoSize]);
            stream.ReadBuffer(buffer.get(), logoSize);
            MakeSection(buffer.get());
        };
        // Rounds of the four in turn, so a drift of the machine touches them alike.
        own(), ownFloor(), file(), fileFloor();
        std::vector<double> ownMs, ownFloorMs, fileMs, fileFloorMs;
        for (int round = 0; round < kRounds; ++round) {
            ownMs.push_back(Round(own));
            ownFloorMs.push_back(Round(ownFloor));
            fileMs.push_back(Round(file));
            fileFloorMs.push_back(Round(fileFloor));
        }

        std::printf("logo 400 x 360, 24 bits (%lu bytes); %d rounds of %d calls each in turn, medians\n",
                    static_cast<unsigned long>(logoSize), kRounds, kPerRound);
        bench::PrintTime("loader, own resources:", ownMs);
        bench::PrintTime("raw resource to DIB section:", ownFloorMs);
        bench::PrintRatio(" (own resources):", bench::Ratios(ownMs, ownFloorMs));
        bench::PrintTime("loader, Image.res:", fileMs);
        bench::PrintTime("file entry to DIB section:", fileFloorMs);
        bench::PrintRatio(" (Image.res):", bench::Ratios(fileMs, fileFloorMs));
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
