#include "app/UGlyph.h"

#include "toolkit/StdCtrls.h"

void SetButtonGlyph(TBitBtn& button)
{
    button.Glyph().LoadFromResourceName(::GetModuleHandleW(nullptr), L"Button");
}
