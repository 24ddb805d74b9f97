// The DIB bitmap drawing its ViewRect scaled onto a canvas, with its palette, and row by row
// when the device refuses the whole.
#include <algorithm>
#include <cstdlib>

#include "imaging/UDIBitmap.h"
#include "imaging/UDIBRows.h"
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
        return StretchRows(dest.Handle(), d, s, *info_, SectionBits(), dest.CopyMode()) != 0;
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
