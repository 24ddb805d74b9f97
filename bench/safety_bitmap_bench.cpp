// Times the safety bitmap on the 400 x 360 24-bit logo: transparent drawing from warm caches
// against two plain StretchBlt calls of the same size (the least two passes can cost), the
// first transparent drawing after a change (mask and image copy built) against a warm one,
// and loading the logo as a compressed bitmap file against loading the plain BMP file, alone
// and with zlib's uncompress of the compressed bytes added (the least inflating can cost).
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/Modules.h"
#include "app/Resources.h"
#include "bench/BenchStats.h"
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

// Milliseconds per call over one round of calls.
double Round(const std::function<void()>& work)
{
    const double start = bench::NowMs();
    for (int i = 0; i < kPerRound; ++i)
        work();
    ::GdiFlush();
    return (bench::NowMs() - start) / kPerRound;
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

        auto warm = [&] { canvas.RenderScaled(all, &logo); };
        auto first = [&] {
            logo.NotifyChanged(&logo);
            canvas.RenderScaled(all, &logo);
        };
        HDC source = logo.Canvas().Handle();
        auto floor = [&] {
            ::StretchBlt(canvas.Handle(), 0, 0, w, h, source, 0, 0, w, h, SRCPAINT);
            ::StretchBlt(canvas.Handle(), 0, 0, w, h, source, 0, 0, w, h, SRCAND);
        };
        TSafetyBitmap loaded;
        auto plain = [&] { Load(loaded, bmp); };
        auto packed = [&] { Load(loaded, cbm); };
        // The least a compressed file can add to a plain load: zlib's one-call uncompress of
        // its bytes (behind the 17-byte header) into memory allocated for them, as the load
        // inflates into memory of its own (on the build machine under Wine the first touch of
        // a page costs far more than copying it, so memory used again would time the pages).
        auto inflate = [&] {
            std::unique_ptr<unsigned char[]> inflated(new unsigned char[bmp.size()]);
            uLongf size = static_cast<uLongf>(bmp.size());
            if (uncompress(inflated.get(), &size, cbm.data() + 17, static_cast<uLong>(cbm.size() - 17)) != Z_OK)
                throw EReadError(L"uncompress failed");
        };
        // Rounds of all in turn, so a drift of the machine touches them alike.
        warm(), first(), floor(), plain(), packed(), inflate();
        std::vector<double> warmMs, floorMs, firstMs, plainMs, packedMs, inflateMs, plainInflateMs;
        for (int round = 0; round < kRounds; ++round) {
            warmMs.push_back(Round(warm));
            floorMs.push_back(Round(floor));
            firstMs.push_back(Round(first));
            plainMs.push_back(Round(plain));
            packedMs.push_back(Round(packed));
            inflateMs.push_back(Round(inflate));
            plainInflateMs.push_back(plainMs.back() + inflateMs.back());
        }

        std::printf("logo %d x %d, 24 bits; %d rounds of %d calls each in turn, medians\n", w, h, kRounds, kPerRound);
        bench::PrintTime("transparent, warm caches:", warmMs);
        bench::PrintTime("two plain StretchBlt calls:", floorMs);
        bench::PrintRatio(" (transparent / StretchBlt):", bench::Ratios(warmMs, floorMs));
        bench::PrintTime("transparent, first drawing:", firstMs);
        bench::PrintRatio(" (first / warm drawing):", bench::Ratios(firstMs, warmMs));
        std::printf("  plain BMP %zu bytes, CBM %zu bytes\n", bmp.size(), cbm.size());
        bench::PrintTime("load plain BMP:", plainMs);
        bench::PrintTime("load CBM:", packedMs);
        bench::PrintTime("uncompress of the CBM's bytes:", inflateMs);
        bench::PrintRatio(" (CBM / plain BMP):", bench::Ratios(packedMs, plainMs));
        bench::PrintRatio(" (CBM / plain + uncompress):", bench::Ratios(packedMs, plainInflateMs));
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
