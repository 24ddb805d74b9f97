// Times a DIB bitmap on a 4,000 x 3,000 24-bit picture: loading the BMP file against reading
// the same bytes into memory and making a DIB section of that size (the pixels go straight
// into the section, so this should stay near 1), and drawing it scaled to 1,000 x 750 by
// each method against one plain StretchDIBits of the same pixels.
#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "imaging/UDIBitmap.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Streams.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kRuns = 9;
constexpr RECT kScaled = {0, 0, 1000, 750};

template <typename Action>
double BestSeconds(Action action)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        QueryPerformanceCounter(&start);
        action();
        QueryPerformanceCounter(&end);
        best = std::min(best, static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    }
    return best;
}

BITMAPINFOHEADER Header()
{
    const DWORD image = static_cast<DWORD>(kWidth * 3 * kHeight);  // rows of 12,000 bytes need no padding
    return {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 24, BI_RGB, image, 0, 0, 0, 0};
}

// A BMP file of a colour gradient, written to the temporary folder.
std::wstring WritePicture()
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"dibitmap_bench.bmp";
    const BITMAPINFOHEADER header = Header();
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(14 + 40 + header.biSizeImage), 0, 0, 14 + 40};
    std::vector<unsigned char> pixels(header.biSizeImage);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i / 3 % 251 + i / 12000);
    TFileStream out(path, TFileMode::fmCreate);
    out.WriteBuffer(&file, 14);
    out.WriteBuffer(&header, 40);
    out.WriteBuffer(pixels.data(), header.biSizeImage);
    return path;
}

std::unique_ptr<TDIBitmap> Make(bool useDIBits)
{
    const bool platform = TDIBitmap::DefaultUseDIBits();
    TDIBitmap::SetDefaultUseDIBits(useDIBits);
    auto dib = std::make_unique<TDIBitmap>();
    TDIBitmap::SetDefaultUseDIBits(platform);
    return dib;
}

}  // namespace

int wmain()
{
    try {
        const std::wstring path = WritePicture();
        const double load = BestSeconds([&] { Make(true)->LoadFile(path); });
        const double baseline = BestSeconds([&] {
            TFileStream in(path, TFileMode::fmOpenRead);
            const long long size = in.Size();
            std::unique_ptr<unsigned char[]> bytes(new unsigned char[static_cast<size_t>(size)]);
            in.ReadBuffer(bytes.get(), size);
            const BITMAPINFOHEADER header = Header();
            void* bits = nullptr;
            unique_hbitmap section(::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header),
                                                      DIB_RGB_COLORS, &bits, nullptr, 0));
            if (!section)
                throw EOutOfMemory(L"no section");
        });
        std::printf("%d x %d, 24 bits; best of %d runs\n", kWidth, kHeight, kRuns);
        std::printf("%-44s %10s %10s %7s\n", "", "ms", "base ms", "ratio");
        std::printf("%-44s %10.1f %10.1f %7.2f\n", "load file vs read bytes + make section", load * 1000,
                    baseline * 1000, load / baseline);

        TBitmap page;
        page.SetPixelFormat(TPixelFormat::pf24bit);
        page.SetSize(kScaled.right, kScaled.bottom);
        TCanvas& canvas = page.Canvas();
        canvas.FillRect(kScaled);  // the page's pixels touched before anything is timed
        for (bool useDIBits : {true, false}) {
            const std::unique_ptr<TDIBitmap> dib = Make(useDIBits);
            dib->LoadFile(path);
            BITMAP bm{};
            ::GetObjectW(dib->Handle(), sizeof bm, &bm);
            const double stretch = BestSeconds([&] {
                ::SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
                ::StretchDIBits(canvas.Handle(), 0, 0, kScaled.right, kScaled.bottom, 0, 0, kWidth, kHeight,
                                bm.bmBits, reinterpret_cast<const BITMAPINFO*>(&dib->BitmapInfo()), DIB_RGB_COLORS,
                                SRCCOPY);
            });
            const double render = BestSeconds([&] { dib->Render(canvas, kScaled); });
            std::printf("%-44s %10.1f %10.1f %7.2f\n",
                        useDIBits ? "draw 1/4 scale, StretchDIBits vs StretchDIBits" : "draw 1/4 scale, blit vs StretchDIBits",
                        render * 1000, stretch * 1000, render / stretch);
        }
        ::DeleteFileW(path.c_str());
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
