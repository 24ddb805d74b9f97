// Times writing a memory stream in the 60 KiB pieces stream copies use against one memcpy of
// the same amount into fresh memory, at 16, 64 and 128 MiB, so the cost of growing the block
// shows as a ratio and its growth with the size shows in the rows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/BenchStats.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"

namespace {

constexpr long long kPiece = TStream::CopyPieceSize;  // 61440 bytes
constexpr int kRuns = 7;

// Counts how often the block is grown or moved.
class CountingMemoryStream : public TMemoryStream {
public:
    int grows = 0;

protected:
    void* GrowBlock(long long& newCapacity) override
    {
        ++grows;
        return TMemoryStream::GrowBlock(newCapacity);
    }
};

// One run from an empty stream: milliseconds, and the count of growths in `grows`.
double WriteInPieces(const std::vector<unsigned char>& source, long long total, int& grows)
{
    CountingMemoryStream stream;
    const double start = bench::NowMs();
    for (long long at = 0; at < total; at += kPiece)
        stream.WriteBuffer(source.data() + at, total - at < kPiece ? total - at : kPiece);
    const double ms = bench::NowMs() - start;
    if (stream.Size() != total || std::memcmp(stream.Memory(), source.data(), static_cast<size_t>(total)) != 0)
        throw EWriteError(L"the stream does not hold what was written");
    grows = stream.grows;
    return ms;
}

// One memcpy into memory the process has not touched yet, as the stream's is.
double CopyOnce(const std::vector<unsigned char>& source, long long total)
{
    void* target = std::malloc(static_cast<size_t>(total));
    if (!target)
        throw EOutOfMemory(L"out of memory");
    const double start = bench::NowMs();
    std::memcpy(target, source.data(), static_cast<size_t>(total));
    const double ms = bench::NowMs() - start;
    // Reading the copy back keeps it from being optimised away.
    const bool copied = static_cast<unsigned char*>(target)[total - 1] == source[static_cast<size_t>(total - 1)];
    std::free(target);
    if (!copied)
        throw EWriteError(L"memcpy lost bytes");
    return ms;
}

}  // namespace

int wmain()
{
    try {
        const long long sizes[] = {16LL << 20, 64LL << 20, 128LL << 20};
        std::vector<unsigned char> source(static_cast<size_t>(sizes[2]));
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<unsigned char>(i * 31);
        std::printf("written in %lld-byte pieces into a memory stream vs one memcpy; %d runs of each in turn, medians\n",
                    kPiece, kRuns);
        for (long long total : sizes) {
            std::vector<double> pieces, single;
            int grows = 0;
            for (int run = 0; run < kRuns; ++run) {
                pieces.push_back(WriteInPieces(source, total, grows));
                single.push_back(CopyOnce(source, total));
            }
            std::printf("%lld MiB (%d growths):\n", total >> 20, grows);
            bench::PrintTime("in pieces:", pieces);
            bench::PrintTime("one memcpy:", single);
            bench::PrintRatio(":", bench::Ratios(pieces, single));
        }
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
