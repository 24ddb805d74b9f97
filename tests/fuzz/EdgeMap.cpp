#include "tests/fuzz/EdgeMap.h"

#include <windows.h>

#include <bit>

// This file is never traced itself: the callback must not call itself.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

uint8_t* g_map = nullptr;
bool g_newEdges = false;

}  // namespace

extern "C" void __sanitizer_cov_trace_pc()
{
    uint8_t* const map = g_map;
    if (!map)
        return;
    // Offsets from the image base, so the same edge has the same bit wherever the system loads
    // the program.
    const uintptr_t at = reinterpret_cast<uintptr_t>(__builtin_return_address(0)) - reinterpret_cast<uintptr_t>(&__ImageBase);
    if (at >= kEdgeMapBytes * 8)
        return;
    const uint8_t bit = static_cast<uint8_t>(1u << (at & 7));
    if (!(map[at >> 3] & bit)) {
        map[at >> 3] |= bit;
        g_newEdges = true;
    }
}

void RecordEdgesInto(uint8_t* map)
{
    g_map = map;
    g_newEdges = false;
}

bool TakeNewEdges()
{
    const bool any = g_newEdges;
    g_newEdges = false;
    return any;
}

size_t CountEdges(const uint8_t* map)
{
    size_t count = 0;
    for (size_t i = 0; i < kEdgeMapBytes; ++i)
        count += static_cast<size_t>(std::popcount(map[i]));
    return count;
}
