#include "toolkit/graphics/Palettes.h"

#include <algorithm>
#include <vector>

#include "toolkit/core/HandleOwners.h"

namespace {

HPALETTE MakePalette(const PALETTEENTRY* entries, int count)
{
    std::vector<BYTE> buffer(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(count);
    std::copy(entries, entries + count, log->palPalEntry);
    return ::CreatePalette(log);
}

}  // namespace

HPALETTE CopyPalette(HPALETTE palette)
{
    if (!palette)
        return nullptr;
    PALETTEENTRY entries[256];
    const UINT n = ::GetPaletteEntries(palette, 0, 256, entries);
    return n ? MakePalette(entries, static_cast<int>(n)) : nullptr;
}

HPALETTE PaletteFromColorTable(const RGBQUAD* table, int count)
{
    count = std::clamp(count, 1, 256);
    PALETTEENTRY entries[256];
    for (int i = 0; i < count; ++i)
        entries[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    return MakePalette(entries, count);
}

int PaletteToColorTable(HPALETTE palette, RGBQUAD* table, int max)
{
    if (!palette || max <= 0)
        return 0;
    PALETTEENTRY entries[256];
    const int n = static_cast<int>(::GetPaletteEntries(palette, 0, static_cast<UINT>(std::min(max, 256)), entries));
    for (int i = 0; i < n; ++i)
        table[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    return n;
}

HPALETTE DefaultPaletteFor(int bitCount)
{
    static constexpr PALETTEENTRY kVga[16] = {
        {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
        {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
        {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
        {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0}};
    static constexpr PALETTEENTRY kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    switch (bitCount) {
    case 1: return MakePalette(kBlackWhite, 2);
    case 4: return MakePalette(kVga, 16);
    case 8: {
        WindowDC screen(nullptr);
        return ::CreateHalftonePalette(screen.get());
    }
    default: return nullptr;
    }
}

bool IsBlackAndWhite(const RGBQUAD* table, int count)
{
    return count == 2 && table[0].rgbRed == 0 && table[0].rgbGreen == 0 && table[0].rgbBlue == 0 &&
           table[1].rgbRed == 255 && table[1].rgbGreen == 255 && table[1].rgbBlue == 255;
}
