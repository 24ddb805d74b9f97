// Times the safety bitmap on the 400 x 360 24-bit logo: transparent drawing from warm caches
// against two plain StretchBlt calls of the same size (the least two passes can cost), the
// first transparent drawing after a change (mask and image copy built) against a warm one,
// and loading the logo as a compressed bitmap file against loading the plain BMP file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/Modules.h"
#include "app/Resources.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"

namespace {

constexpr int kRounds = 15;
constexpr int kPerRound = 40;

std::vector<unsigned char> ResourceBytes(const wchar_t* name)
{
    std::unique_ptr<TStream> resource = OpenResource(RT_RCDATA, name);
    TMemoryStream memory;
    memory.LoadFromStream(*resource);
    const auto* bytes = static_cast<const unsigned char*>(memory.Memory());
    return {bytes, bytes + memory.Size()};
}

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
        ::GdiFlush();
        QueryPerformanceCounter(&end);
        best = std::min(best, static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart / kPerRound);
    }
    return best;
}

void Load(TSafetyBitmap& bitmap, const std::vector<unsigned char>& file)
{
    TByteViewStream stream(file.data(), file.size());
    bitmap.LoadStream(stream);
}

}  // namespace

int wmain()
{
    try {
        TRunningModules modules(ProgramModules());
        const std::vector<unsigned char> bmp = ResourceBytes(L"BENCH_LOGO_BMP");
        const std::vector<unsigned char> cbm = ResourceBytes(L"BENCH_LOGO_CBM");

        TSafetyBitmap logo;
        Load(logo, bmp);
        logo.SetTransparent(true);  // the colour of the bottom-left pixel
        const int w = logo.Width(), h = logo.Height();
        TBitmap page;
        page.SetPixelFormat(TPixelFormat::pf24bit);
        page.SetSize(w, h);
        TCanvas& canvas = page.Canvas();
        const RECT all{0, 0, w, h};

        const double warm = Best([&] { canvas.RenderScaled(all, &logo); });
        const double first = Best([&] {
            logo.NotifyChanged(&logo);
            canvas.RenderScaled(all, &logo);
        });
        HDC source = logo.Canvas().Handle();
        const double floor = Best([&] {
            ::StretchBlt(canvas.Handle(), 0, 0, w, h, source, 0, 0, w, h, SRCPAINT);
            ::StretchBlt(canvas.Handle(), 0, 0, w, h, source, 0, 0, w, h, SRCAND);
        });
        TSafetyBitmap loaded;
        const double plain = Best([&] { Load(loaded, bmp); });
        const double packed = Best([&] { Load(loaded, cbm); });

        std::printf("logo %d x %d, 24 bits; best of %d rounds of %d\n", w, h, kRounds, kPerRound);
        std::printf("  transparent, warm caches:   %8.3f ms\n", warm * 1000.0);
        std::printf("  two plain StretchBlt calls: %8.3f ms\n", floor * 1000.0);
        std::printf("  ratio:                      %8.3f\n", warm / floor);
        std::printf("  transparent, first drawing: %8.3f ms (mask and image copy built)\n", first * 1000.0);
        std::printf("  ratio to a warm drawing:    %8.3f\n", first / warm);
        std::printf("  load plain BMP (%zu bytes): %8.3f ms\n", bmp.size(), plain * 1000.0);
        std::printf("  load CBM (%zu bytes):       %8.3f ms\n", cbm.size(), packed * 1000.0);
        std::printf("  ratio:                      %8.3f\n", packed / plain);
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
