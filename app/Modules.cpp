#include "app/Modules.h"

#include "imaging/UDIBitmap.h"
#include "imaging/UDrawSupport.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/graphics/GraphicsModule.h"

namespace {

// A unit with steps adds one line here, after the units it builds on, and one to the
// library's list (LibraryModules.cpp) unless the updater leaves it out.
constexpr TModuleSteps kProgramModules[] = {
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
