#include "app/Modules.h"

#include "imaging/UDIBitmap.h"
#include "imaging/UDrawSupport.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/graphics/GraphicsModule.h"

namespace {

// A unit with steps adds one line here, after the units it builds on, and one to the
// library's list (LibraryModules.cpp) unless the updater leaves it out.
constexpr TModuleSteps kProgramModules[] = {
    kLayoutFontSteps,
    kToolkitGraphicsSteps,
    kDrawSupportSteps,
    kDIBitmapSteps,
    kSafetyBitmapSteps,
};

}  // namespace

std::span<const TModuleSteps> ProgramModules()
{
    return kProgramModules;
}

void ChooseLayoutFont()
{
    // "ＭＳ Ｐゴシック" under its English name too, for a system that lists it only so.
    ChooseUiFontFace({L"ＭＳ Ｐゴシック", L"MS PGothic", L"MS UI Gothic", L"Meiryo UI", L"Yu Gothic UI"});
}
