#include "toolkit/graphics/Fonts.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "toolkit/core/HandleOwners.h"

namespace {

std::wstring& ChosenFace()
{
    static std::wstring face = kUiFontFace;
    return face;
}

unique_hfont& SharedFont()
{
    static unique_hfont font;
    return font;
}

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// True when the system has `face` with the Shift-JIS character set.
bool HasShiftJisFace(const wchar_t* face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    const size_t length = std::wcslen(face);
    if (length >= LF_FACESIZE)
        return false;
    std::copy(face, face + length, wanted.lfFaceName);
    bool found = false;
    WindowDC dc(nullptr);
    ::EnumFontFamiliesExW(dc.get(), &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace

void ChooseUiFontFace(const std::vector<const wchar_t*>& faces)
{
    if (faces.empty())
        return;
    const wchar_t* chosen = faces.front();
    for (const wchar_t* face : faces)
        if (HasShiftJisFace(face)) {
            chosen = face;
            break;
        }
    if (ChosenFace() == chosen)
        return;
    ChosenFace() = chosen;
    // Windows made before may still hold the old font: it is kept, never deleted.
    static std::vector<unique_hfont> retired;
    if (SharedFont())
        retired.push_back(std::move(SharedFont()));
}

const std::wstring& UiFontFace()
{
    return ChosenFace();
}

HFONT UiFont()
{
    unique_hfont& font = SharedFont();
    if (!font)
        font.reset(::CreateFontW(-kUiFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                                 ChosenFace().c_str()));
    return font.get();
}
