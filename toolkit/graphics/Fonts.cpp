#include "toolkit/graphics/Fonts.h"

#include "toolkit/core/HandleOwners.h"

HFONT UiFont()
{
    static unique_hfont font(::CreateFontW(-kUiFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                           SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                           DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, kUiFontFace));
    return font.get();
}
