// Times the container reader on the embedded payload against zlib's one-call uncompress of
// the same bytes, in one process, so the cost of the stream layers shows as a ratio: each
// into memory reused from run to run, and each into fresh memory every run.
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "app/Resources.h"
#include "bench/BenchStats.h"
#include "resources/resource_ids.h"
#include "toolkit/core/Errors.h"
#include "update/UZLIB.h"

int wmain()
{
    constexpr int kRuns = 200;
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

        // Each side into memory of the same kind: sized once before the runs and used again
        // (the reader's own cost), and fresh for every run, as an update has it. On the build
        // machine under Wine the first touch of a page costs far more than copying it, so a
        // fresh destination against a used one would time the pages, not the reader.
        std::vector<unsigned char> warmPlain(static_cast<size_t>(declared));
        TMemoryStream warmStream;
        warmStream.SetSize(declared);
        auto runReader = [&](TMemoryStream& out) {
            const double start = bench::NowMs();
            container.SetPosition(0);
            int n = 0;
            ReadCompressHeader(container, n);
            out.SetSize(n);
            out.SetPosition(0);
            DecompressToStream(container, out, n);
            return bench::NowMs() - start;
        };
        // Into warmPlain, or into memory allocated for the run (timed, as the stream's sizing is).
        auto runUncompress = [&](bool fresh) {
            const double start = bench::NowMs();
            std::unique_ptr<unsigned char[]> own(fresh ? new unsigned char[static_cast<size_t>(declared)] : nullptr);
            uLongf size = static_cast<uLongf>(declared);
            const int result = uncompress(fresh ? own.get() : warmPlain.data(), &size, zlibData, zlibSize);
            const double ms = bench::NowMs() - start;
            if (result != Z_OK && result != Z_BUF_ERROR)
                throw EReadError(L"uncompress failed");
            return ms;
        };
        // Runs of the two in turn, so a drift of the machine touches both alike.
        std::vector<double> readerWarm, directWarm, readerFresh, directFresh;
        for (int i = 0; i < kRuns; ++i) {
            readerWarm.push_back(runReader(warmStream));
            directWarm.push_back(runUncompress(false));
        }
        for (int i = 0; i < kRuns / 4; ++i) {
            double ms;
            {
                TMemoryStream fresh;
                ms = runReader(fresh);
            }
            readerFresh.push_back(ms);
            directFresh.push_back(runUncompress(true));
        }

        std::printf("payload: container of %lld bytes, %d bytes inflated; runs of the two in turn, medians\n",
                    static_cast<long long>(container.Size()), declared);
        std::printf("into memory sized once and used again (%d runs of each):\n", kRuns);
        bench::PrintTime("DecompressToStream:", readerWarm);
        bench::PrintTime("uncompress:", directWarm);
        bench::PrintRatio(" (memory used again):", bench::Ratios(readerWarm, directWarm));
        std::printf("into fresh memory every run (%d runs of each):\n", kRuns / 4);
        bench::PrintTime("DecompressToStream:", readerFresh);
        bench::PrintTime("uncompress:", directFresh);
        bench::PrintRatio(" (fresh memory):", bench::Ratios(readerFresh, directFresh));
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
