#include <windows.h>

#include "imaging/UDrawSupport.h"
#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/HandleOwners.h"

namespace {

// "RIFF", the form's size, "PAL data", the chunk's size, version 0x300, `count` entries.
FuzzSeed Palette(int count, int declared)
{
    FuzzBytes b = {'R', 'I', 'F', 'F'};
    PutLE(b, 12 + 4 + 4 * count, 4);
    for (char c : {'P', 'A', 'L', ' ', 'd', 'a', 't', 'a'})
        b.push_back(static_cast<uint8_t>(c));
    PutLE(b, 4 + 4 * count, 4);
    PutLE(b, 0x300, 2);
    PutLE(b, declared, 2);
    for (int i = 0; i < count; ++i)
        PutLE(b, (i * 0x01030507u) & 0x04FFFFFF, 4);
    return {b, {}};
}

}  // namespace

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
    return {Palette(1, 1), Palette(16, 16), Palette(256, 256), Palette(0, 0), Palette(20, 12)};
}
