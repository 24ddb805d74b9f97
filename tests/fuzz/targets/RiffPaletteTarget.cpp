#include <windows.h>

#include <utility>

#include "imaging/UDrawSupport.h"
#include "tests/fuzz/targets/Targets.h"
#include "tests/support/PaletteBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/HandleOwners.h"

void FuzzRiffPalette(const uint8_t* data, size_t size)
{
    TByteViewStream stream(data, size);
    unique_hpalette palette(ReadPaletteStream(stream));
    if (!palette)
        return;
    // As the default palette would be: fixed ends, then realised.
    FixPalette(palette.get(), false, 256);
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    const PaletteGuard select(dc.get(), palette.get(), false);
    ::RealizePalette(dc.get());
}

std::vector<FuzzSeed> RiffPaletteSeeds()
{
    // One colour, sixteen, the full 256, none, and a chunk with room for more than it counts.
    const std::pair<int, int> shapes[] = {{1, 1}, {16, 16}, {256, 256}, {0, 0}, {20, 12}};
    std::vector<FuzzSeed> seeds;
    for (auto [count, declared] : shapes)
        seeds.push_back({RiffPaletteBytes(count, declared), {}});
    return seeds;
}
