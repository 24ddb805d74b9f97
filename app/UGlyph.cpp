#include "app/UGlyph.h"

#include "toolkit/windows/StandardControls.h"

void SetButtonGlyph(TBitBtn& button)
{
    button.Glyph().LoadFromResourceName(::GetModuleHandleW(nullptr), L"Button");
}
