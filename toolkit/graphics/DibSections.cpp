#include "toolkit/graphics/DibSections.h"

#include <cstdlib>
#include <cstring>

#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"

long long RowBytes(long long width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

unique_hbitmap CreateSection(const TDibLayout& layout, void** bits)
{
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = layout.width;
    info.header.biHeight = layout.height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(layout.bitCount);
    info.header.biCompression = layout.compression;
    if (layout.compression == BI_BITFIELDS) {
        std::memcpy(info.colors, layout.masks, sizeof layout.masks);
    } else if (layout.bitCount <= 8) {
        info.header.biClrUsed = 1u << layout.bitCount;
        std::memcpy(info.colors, layout.table, info.header.biClrUsed * sizeof(RGBQUAD));
    }
    void* pixels = nullptr;
    unique_hbitmap section(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                              &pixels, nullptr, 0));
    if (!section)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    if (bits)
        *bits = pixels;
    return section;
}

bool SectionOf(HBITMAP bitmap, DIBSECTION& section)
{
    section = {};
    return bitmap && ::GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
           section.dsBm.bmBits != nullptr;
}

uint8_t* SectionRow(const DIBSECTION& section, int row)
{
    const int height = std::abs(section.dsBmih.biHeight);
    const int stored = section.dsBmih.biHeight > 0 ? height - 1 - row : row;
    return static_cast<uint8_t*>(section.dsBm.bmBits) + static_cast<size_t>(stored) * section.dsBm.bmWidthBytes;
}

TPixelFormat PixelFormatOf(int bitCount, DWORD compression, const DWORD masks[3])
{
    const bool plain = compression != BI_BITFIELDS;
    auto maskedAs = [&](DWORD r, DWORD g, DWORD b) { return masks[0] == r && masks[1] == g && masks[2] == b; };
    switch (bitCount) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16:
        if (plain || maskedAs(0x7C00, 0x03E0, 0x001F))
            return TPixelFormat::pf15bit;
        return maskedAs(0xF800, 0x07E0, 0x001F) ? TPixelFormat::pf16bit : TPixelFormat::pfCustom;
    case 24: return TPixelFormat::pf24bit;
    case 32: return plain || maskedAs(0xFF0000, 0xFF00, 0xFF) ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    default: return TPixelFormat::pfCustom;
    }
}

void DescribeFormat(TPixelFormat format, TDibLayout& layout)
{
    layout.compression = BI_RGB;
    switch (format) {
    case TPixelFormat::pf1bit: layout.bitCount = 1; break;
    case TPixelFormat::pf4bit: layout.bitCount = 4; break;
    case TPixelFormat::pf8bit: layout.bitCount = 8; break;
    case TPixelFormat::pf15bit: layout.bitCount = 16; break;
    case TPixelFormat::pf16bit:
        layout.bitCount = 16;
        layout.compression = BI_BITFIELDS;
        layout.masks[0] = 0xF800;
        layout.masks[1] = 0x07E0;
        layout.masks[2] = 0x001F;
        break;
    case TPixelFormat::pf32bit: layout.bitCount = 32; break;
    default: layout.bitCount = 24; break;
    }
}

bool ValidMasks(const DWORD masks[3], int bitCount)
{
    const DWORD inside = bitCount == 32 ? 0xFFFFFFFFu : (1u << bitCount) - 1;
    DWORD seen = 0;
    for (int i = 0; i < 3; ++i) {
        const DWORD m = masks[i];
        if (m == 0 || (m & ~inside) || (m & seen))
            return false;
        const DWORD lowest = m & (~m + 1);
        if (((m + lowest) & m) != 0)  // adding the lowest bit must clear the whole run
            return false;
        seen |= m;
    }
    return true;
}
