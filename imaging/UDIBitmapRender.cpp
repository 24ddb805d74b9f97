// The DIB bitmap drawing its ViewRect scaled onto a canvas, with its palette, and row by row
// when the device refuses the whole.
#include <algorithm>
#include <cstdlib>

#include "imaging/UDIBitmap.h"
#include "toolkit/core/HandleOwners.h"

namespace {

// Sides of rectangles that may come from a stored form, so may be far apart: computed wide,
// and handed to the system wrapped to its 32 bits.
int WidthOf(const RECT& r)
{
    return static_cast<int>(static_cast<long long>(r.right) - r.left);
}

int HeightOf(const RECT& r)
{
    return static_cast<int>(static_cast<long long>(r.bottom) - r.top);
}

// One axis of a stretch: the source span [s0, s1) (reversed when mirrored) drawn onto
// [d0, d1). Keeps the part of the source inside [0, size) and the part of the destination it
// lands on; false when nothing is left.
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

}  // namespace

void TDIBitmap::Render(TCanvas& canvas, const RECT& rect)
{
    if (Empty())
        return;
    HDC dc = canvas.Handle();
    canvas.SetStretchMode(COLORONCOLOR);  // left so: the caller's canvas draws scaled pictures
    HPALETTE palette = QueryPalette();
    {
        const PaletteGuard selected(dc, palette, true);  // selected back unrealised
        if (palette)
            ::RealizePalette(dc);
        // The blit opens the canvas's device context afresh, holding the section of now.
        if (!useDIBits_ && canvas_)
            canvas_->FreeHandles();
        try {
            if (!StretchPart(canvas, rect, viewRect_))
                DrawRows(canvas, rect);
        } catch (...) {
            if (canvas_)
                canvas_->FreeHandles();
            throw;
        }
    }
    if (canvas_)
        canvas_->FreeHandles();
}

bool TDIBitmap::StretchPart(TCanvas& dest, const RECT& d, const RECT& s)
{
    if (!::RectVisible(dest.Handle(), &d) || WidthOf(s) == 0 || HeightOf(s) == 0 || WidthOf(d) == 0 ||
        HeightOf(d) == 0)
        return true;
    // A ViewRect may reach outside the image (a stored one is taken as it stands). Only the
    // part inside is drawn, where it would land: the system's stretching code is not safe
    // with sources far outside the bitmap.
    RECT dc = d, sc = s;
    if (!ClipSpan(sc.left, sc.right, dc.left, dc.right, info_->header.biWidth) ||
        !ClipSpan(sc.top, sc.bottom, dc.top, dc.bottom, std::abs(static_cast<long long>(info_->header.biHeight))))
        return true;
    return StretchToDevice(dest, dc, sc);
}

bool TDIBitmap::StretchToDevice(TCanvas& dest, const RECT& d, const RECT& s)
{
    if (useDIBits_) {
        void* bits = SectionBits();
        // The system counts source rows from the image's bottom row, whichever way they are
        // stored.
        const int y = static_cast<int>(std::abs(static_cast<long long>(info_->header.biHeight)) - s.bottom);
        return ::StretchDIBits(dest.Handle(), d.left, d.top, WidthOf(d), HeightOf(d), s.left, y, WidthOf(s),
                               HeightOf(s), bits, reinterpret_cast<const BITMAPINFO*>(info_.get()), DIB_RGB_COLORS,
                               dest.CopyMode()) != 0;
    }
    return ::StretchBlt(dest.Handle(), d.left, d.top, WidthOf(d), HeightOf(d), canvas().Handle(), s.left, s.top,
                        WidthOf(s), HeightOf(s), dest.CopyMode()) != FALSE;
}

void TDIBitmap::DrawRows(TCanvas& dest, const RECT& rect)
{
    const int rows = HeightOf(rect);
    if (rows <= 0)
        return;
    // Only rows from the clip box's top to its bottom (that one included) are tried; the loop
    // starts and ends there, so a huge rectangle with a small clip box costs little.
    const RECT clip = dest.ClipRect();
    const long long first = std::max(0LL, static_cast<long long>(clip.top) - rect.top);
    const long long last = std::min(static_cast<long long>(rows) - 1, static_cast<long long>(clip.bottom) - rect.top);
    const long long height = HeightOf(viewRect_);
    for (long long i = first; i <= last; ++i) {
        const int y = static_cast<int>(rect.top + i);
        const int sy = static_cast<int>(height * i / rows + viewRect_.top);
        StretchPart(dest, {rect.left, y, rect.right, y + 1}, {viewRect_.left, sy, viewRect_.right, sy + 1});
    }
}
