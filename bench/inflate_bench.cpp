// Times the container reader on the embedded payload against zlib's one-call uncompress of
// the same bytes, in one process, so the cost of the stream layers shows as a ratio.
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "app/Resources.h"
#include "resources/resource_ids.h"
#include "toolkit/core/Errors.h"
#include "update/UZLIB.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain()
{
    constexpr int kRepetitions = 200;
    try {
        std::unique_ptr<TStream> resource = OpenResource(RT_RCDATA, LoadText(sPayloadResName));
        TMemoryStream container;
        container.LoadFromStream(*resource);
        int declared = 0;
        if (!ReadCompressHeader(container, declared) || declared <= 0) {
            std::fprintf(stderr, "the payload carries no container\n");
            return 1;
        }
        const unsigned char* zlibData = static_cast<const unsigned char*>(container.Memory()) + 17;
        const uLong zlibSize = static_cast<uLong>(container.Size() - 17);

        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);

        QueryPerformanceCounter(&start);
        for (int i = 0; i < kRepetitions; ++i) {
            container.SetPosition(0);
            int n = 0;
            ReadCompressHeader(container, n);
            TMemoryStream out;
            out.SetSize(n);
            DecompressToStream(container, out, n);
        }
        QueryPerformanceCounter(&end);
        const double reader = Seconds(start, end, frequency);

        std::vector<unsigned char> plain(static_cast<size_t>(declared));
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kRepetitions; ++i) {
            uLongf size = static_cast<uLongf>(plain.size());
            const int result = uncompress(plain.data(), &size, zlibData, zlibSize);
            if (result != Z_OK && result != Z_BUF_ERROR) {
                std::fprintf(stderr, "uncompress failed: %d\n", result);
                return 1;
            }
        }
        QueryPerformanceCounter(&end);
        const double direct = Seconds(start, end, frequency);

        std::printf("payload: container of %lld bytes, %d bytes inflated, %d runs\n",
                    static_cast<long long>(container.Size()), declared, kRepetitions);
        std::printf("DecompressToStream: %8.3f ms per run\n", reader * 1000.0 / kRepetitions);
        std::printf("uncompress:         %8.3f ms per run\n", direct * 1000.0 / kRepetitions);
        std::printf("ratio:              %8.3f\n", reader / direct);
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
