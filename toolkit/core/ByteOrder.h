#pragma once

// Little-endian fields of the file formats we read and write (bitmaps, icons, metafiles,
// resource files), taken byte by byte so that neither the host's byte order nor the
// alignment of the field matters.

#include <cstdint>

namespace byteorder {

inline uint16_t U16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline int16_t S16(const uint8_t* p)
{
    return static_cast<int16_t>(U16(p));
}

inline uint32_t U32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline int32_t S32(const uint8_t* p)
{
    return static_cast<int32_t>(U32(p));
}

inline void Put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace byteorder
