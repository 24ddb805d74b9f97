// Times writing a memory stream in the 60 KiB pieces stream copies use against one memcpy of
// the same amount into fresh memory, at 16, 64 and 128 MiB, so the cost of growing the block
// shows as a ratio and its growth with the size shows in the rows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"

namespace {

constexpr long long kPiece = TStream::CopyPieceSize;  // 61440 bytes
constexpr int kRepetitions = 3;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

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

struct Timing {
    double seconds = 1e30;
    int grows = 0;
};

// Best of a few runs; every run starts from memory the process has not touched.
Timing WriteInPieces(const std::vector<unsigned char>& source, long long total)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    Timing best;
    for (int run = 0; run < kRepetitions; ++run) {
        CountingMemoryStream stream;
        QueryPerformanceCounter(&start);
        for (long long at = 0; at < total; at += kPiece)
            stream.WriteBuffer(source.data() + at, total - at < kPiece ? total - at : kPiece);
        QueryPerformanceCounter(&end);
        if (stream.Size() != total || std::memcmp(stream.Memory(), source.data(), static_cast<size_t>(total)) != 0)
            throw EWriteError(L"the stream does not hold what was written");
        if (Seconds(start, end, frequency) < best.seconds)
            best.seconds = Seconds(start, end, frequency);
        best.grows = stream.grows;
    }
    return best;
}

double CopyOnce(const std::vector<unsigned char>& source, long long total)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    for (int run = 0; run < kRepetitions; ++run) {
        void* target = std::malloc(static_cast<size_t>(total));
        if (!target)
            throw EOutOfMemory(L"out of memory");
        QueryPerformanceCounter(&start);
        std::memcpy(target, source.data(), static_cast<size_t>(total));
        QueryPerformanceCounter(&end);
        // Reading the copy back keeps it from being optimised away.
        const bool copied = static_cast<unsigned char*>(target)[total - 1] == source[static_cast<size_t>(total - 1)];
        std::free(target);
        if (!copied)
            throw EWriteError(L"memcpy lost bytes");
        if (Seconds(start, end, frequency) < best)
            best = Seconds(start, end, frequency);
    }
    return best;
}

}  // namespace

int wmain()
{
    try {
        const long long sizes[] = {16LL << 20, 64LL << 20, 128LL << 20};
        std::vector<unsigned char> source(static_cast<size_t>(sizes[2]));
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<unsigned char>(i * 31);
        std::printf("written in %lld-byte pieces into a memory stream vs one memcpy; best of %d runs\n", kPiece,
                    kRepetitions);
        std::printf("%8s %14s %8s %12s %8s\n", "MiB", "stream ms", "grows", "memcpy ms", "ratio");
        for (long long total : sizes) {
            const Timing pieces = WriteInPieces(source, total);
            const double single = CopyOnce(source, total);
            std::printf("%8lld %14.1f %8d %12.1f %8.2f\n", total >> 20, pieces.seconds * 1000.0, pieces.grows,
                        single * 1000.0, pieces.seconds / single);
        }
        return 0;
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"%ls: %ls\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
