// Builds RIFF palettes byte by byte, for the palette reader's tests and its mutation seeds.
#pragma once
#include <cstdint>
#include <vector>

#include "tests/support/BmpBytes.h"

// "RIFF", the form's size, "PAL data", the chunk's size, version 0x300, the entry count
// `declared`, then `count` entries (i, 2i, 3i, 0).
inline std::vector<uint8_t> RiffPaletteBytes(int count, int declared)
{
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    PutLE(b, 12 + 4 + 4 * count, 4);
    for (char c : {'P', 'A', 'L', ' ', 'd', 'a', 't', 'a'})
        b.push_back(static_cast<uint8_t>(c));
    PutLE(b, 4 + 4 * count, 4);
    PutLE(b, 0x300, 2);
    PutLE(b, declared, 2);
    for (int i = 0; i < count; ++i)
        PutLE(b, (i & 0xFF) | (2 * i & 0xFF) << 8 | (3 * i & 0xFF) << 16, 4);
    return b;
}
