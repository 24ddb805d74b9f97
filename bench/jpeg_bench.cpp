// Times the JPEG decoder on the 400 x 360 logo against libjpeg's own plain decode loop of the
// same bytes to the same pixel layout, in one process, so what the guarded calls, the checks
// and the padded rows cost shows as a ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "app/Resources.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/JpegDecoder.h"

namespace {

constexpr int kRounds = 15;
constexpr int kPerRound = 40;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<unsigned char> ResourceBytes(const wchar_t* name)
{
    std::unique_ptr<TStream> resource = OpenResource(RT_RCDATA, name);
    TMemoryStream memory;
    memory.LoadFromStream(*resource);
    const unsigned char* bytes = static_cast<const unsigned char*>(memory.Memory());
    return {bytes, bytes + memory.Size()};
}

// libjpeg as its documentation shows it: default error handling, one row at a time, into a
// buffer of the picture's own, as any decode of a new picture needs.
std::vector<unsigned char> PlainDecode(const std::vector<unsigned char>& jpeg)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const size_t rowBytes = static_cast<size_t>(cinfo.output_width) * 3;
    std::vector<unsigned char> pixels(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + rowBytes * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

// Rounds of each in turn; the fastest round of each counts, so other work on the machine
// disturbs the ratio as little as it can.
void Compare(const char* label, const std::vector<unsigned char>& jpeg)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const TJpegPixels first = DecodeJpeg(jpeg.data(), jpeg.size());  // warm both up
    PlainDecode(jpeg);

    double module = 1e9, direct = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kPerRound; ++i)
            DecodeJpeg(jpeg.data(), jpeg.size());
        QueryPerformanceCounter(&end);
        module = std::min(module, Seconds(start, end, frequency) / kPerRound);

        QueryPerformanceCounter(&start);
        for (int i = 0; i < kPerRound; ++i)
            PlainDecode(jpeg);
        QueryPerformanceCounter(&end);
        direct = std::min(direct, Seconds(start, end, frequency) / kPerRound);
    }

    std::printf("%s: %d x %d, %zu bytes, best of %d rounds of %d\n", label, first.Width, first.Height, jpeg.size(),
                kRounds, kPerRound);
    std::printf("  DecodeJpeg:       %8.3f ms per picture\n", module * 1000.0);
    std::printf("  libjpeg loop:     %8.3f ms per picture\n", direct * 1000.0);
    std::printf("  ratio:            %8.3f\n", module / direct);
}

}  // namespace

int wmain()
{
    try {
        Compare("baseline logo", ResourceBytes(L"BENCH_LOGO_JPEG"));
        Compare("progressive logo", ResourceBytes(L"BENCH_LOGO_PROGRESSIVE_JPEG"));
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
