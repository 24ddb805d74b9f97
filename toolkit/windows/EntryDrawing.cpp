#include "toolkit/windows/EntryDrawing.h"

#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Fonts.h"

namespace {

void FillBackground(HDC dc, const RECT& r, COLORREF color)
{
    unique_hbrush brush(::CreateSolidBrush(color));
    ::FillRect(dc, &r, brush.get());
}

}  // namespace

void LoadPicture(TBitmap& picture, const wchar_t* name)
{
    // A program without the picture shows the entry without it.
    try {
        picture.LoadFromResourceName(::GetModuleHandleW(nullptr), name);
    } catch (const EResNotFound&) {
    }
}

int CharacterHeight()
{
    WindowDC dc(nullptr);
    SelectGuard font(dc.get(), UiFont());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

COLORREF PrepareEntry(HDC dc, const DRAWITEMSTRUCT& item, COLORREF listColor)
{
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF background = selected ? ::GetSysColor(COLOR_HIGHLIGHT) : listColor;
    FillBackground(dc, item.rcItem, background);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    return background;
}
