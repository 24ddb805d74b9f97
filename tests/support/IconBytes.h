// Builds icon files byte by byte: one image of one colour, opaque.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/support/BmpBytes.h"

struct IconSpec {
    int width = 8;
    int height = 8;
    uint16_t bitCount = 24;  // 1, 4 and 8 bits get a colour table whose entry 1 is the colour
    COLORREF colour = RGB(255, 0, 0);
};

// The image as an icon resource holds it: info header (height doubled), colour table, colour
// pixels, then the mask (all 0: every pixel opaque).
inline std::vector<uint8_t> IconImage(const IconSpec& s)
{
    std::vector<uint8_t> out;
    PutLE(out, 40, 4);
    PutLE(out, static_cast<uint32_t>(s.width), 4);
    PutLE(out, static_cast<uint32_t>(s.height * 2), 4);
    PutLE(out, 1, 2);
    PutLE(out, s.bitCount, 2);
    for (int i = 0; i < 6; ++i)
        PutLE(out, 0, 4);
    if (s.bitCount <= 8)
        for (int i = 0; i < (1 << s.bitCount); ++i)
            PutLE(out, i == 1 ? (GetBValue(s.colour) | GetGValue(s.colour) << 8 | GetRValue(s.colour) << 16) : 0, 4);
    const size_t colourRow = static_cast<size_t>((s.width * s.bitCount + 31) / 32 * 4);
    const size_t maskRow = static_cast<size_t>((s.width + 31) / 32 * 4);
    for (int y = 0; y < s.height; ++y) {
        std::vector<uint8_t> row(colourRow, 0);
        for (int x = 0; x < s.width; ++x) {
            if (s.bitCount <= 8) {
                const int bit = x * s.bitCount;
                row[bit / 8] |= static_cast<uint8_t>(1 << (8 - s.bitCount - bit % 8));
            } else {
                const int bytes = s.bitCount / 8;
                const uint32_t pixel = s.bitCount == 16 ? ((GetRValue(s.colour) >> 3) << 10 |
                                                           (GetGValue(s.colour) >> 3) << 5 | GetBValue(s.colour) >> 3)
                                                        : (GetBValue(s.colour) | GetGValue(s.colour) << 8 |
                                                           GetRValue(s.colour) << 16 | (bytes == 4 ? 0xFFu << 24 : 0));
                for (int i = 0; i < bytes; ++i)
                    row[x * bytes + i] = static_cast<uint8_t>(pixel >> (8 * i));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    out.resize(out.size() + maskRow * s.height, 0);
    return out;
}

// An icon file around one image: the 6-byte header, the 16-byte directory entry, the image.
inline std::vector<uint8_t> IconFile(const std::vector<uint8_t>& image, uint16_t count = 1, int side = 8,
                                     uint16_t bitCount = 24)
{
    std::vector<uint8_t> out;
    PutLE(out, 0, 2);
    PutLE(out, 1, 2);
    PutLE(out, count, 2);
    out.push_back(static_cast<uint8_t>(side));
    out.push_back(static_cast<uint8_t>(side));
    out.push_back(0);
    out.push_back(0);
    PutLE(out, 1, 2);
    PutLE(out, bitCount, 2);
    PutLE(out, image.size(), 4);
    PutLE(out, 22, 4);
    out.insert(out.end(), image.begin(), image.end());
    return out;
}
