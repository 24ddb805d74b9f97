#include "imaging/UDIBRows.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "toolkit/graphics/DibSections.h"

bool ClipSpan(long& s0, long& s1, long& d0, long& d1, long long size)
{
    const long long from = s0, to = s1, dFrom = d0, dTo = d1;
    const long long c0 = std::clamp<long long>(from, 0, size), c1 = std::clamp<long long>(to, 0, size);
    if (c0 == c1)
        return false;
    if (c0 == from && c1 == to)
        return true;
    auto map = [&](long long x) {
        const long long n = x - from, a = dTo - dFrom, m = to - from;
        if (std::llabs(n) < (1LL << 31) && std::llabs(a) < (1LL << 31))
            return dFrom + n * a / m;
        // Sides near 2^32 apart: the exact product would not fit; the rounding cannot matter.
        return dFrom + static_cast<long long>(static_cast<double>(n) * static_cast<double>(a) / static_cast<double>(m));
    };
    s0 = static_cast<long>(c0);
    s1 = static_cast<long>(c1);
    d0 = static_cast<long>(map(c0));
    d1 = static_cast<long>(map(c1));
    return d0 != d1;
}

namespace {

int Stretch(HDC dc, const RECT& d, int x, int y, int width, int height, const void* bits, const TDIBInfo& info,
            DWORD rop)
{
    return ::StretchDIBits(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, x, y, width, height, bits,
                           reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, rop);
}

}  // namespace

// The source y of a bottom-up image counts from its bottom row. The documentation puts a
// top-down image's origin at its top-left, but Windows counts from the top there only for an
// unstretched copy from (0, 0) or a raster operation other than SRCCOPY, and from the bottom
// otherwise. Wine's gdi32 conformance tests, which pass on Windows too, record it: in
// dlls/gdi32/tests/bitmap.c, test_StretchDIBits, a 2 x 2 top-down source copied 1 x 1 from
// (0, 0) gives its top-left pixel, while (0, 0, 1, 1) stretched to 2 x 2 gives its bottom-left
// one; dlls/gdi32/tests/dib.c draws partial and SRCAND copies of a 4 x 4 top-down image and
// compares them with hashes of what Windows draws. Wine draws likewise (win32u/dib.c,
// nulldrv_StretchDIBits). So a top-down image is handed over as an image of exactly the rows
// drawn, where both counts name the same rows.
int StretchRows(HDC dc, const RECT& dest, const RECT& src, const TDIBInfo& info, const void* bits, DWORD rop)
{
    const long long height = std::llabs(info.header.biHeight);
    const int width = src.right - src.left;
    if (info.header.biHeight >= 0)
        return Stretch(dc, dest, src.left, static_cast<int>(height - src.bottom), width, src.bottom - src.top, bits,
                       info, rop);
    RECT d = dest, s = src;
    if (!ClipSpan(s.top, s.bottom, d.top, d.bottom, height))
        return 0;
    const long first = std::min(s.top, s.bottom);
    const long rows = std::max(s.top, s.bottom) - first;
    const long long stride = RowBytes(info.header.biWidth, info.header.biBitCount);
    TDIBInfo part = info;
    part.header.biHeight = -rows;
    part.header.biSizeImage = static_cast<DWORD>(stride * rows);
    const void* from = static_cast<const uint8_t*>(bits) + stride * first;
    // Mirrored rows (top below bottom) start from the part's far end, as from the whole's.
    return Stretch(dc, d, s.left, static_cast<int>(s.top - first), width, s.bottom - s.top, from, part, rop);
}
