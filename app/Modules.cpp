#include "app/Modules.h"

#include "imaging/UDIBitmap.h"
#include "imaging/UDrawSupport.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/graphics/GraphicsModule.h"

namespace {

// A unit with steps adds one line here, after the units it builds on.
constexpr TModuleSteps kProgramModules[] = {
    kToolkitGraphicsSteps,
    kDrawSupportSteps,
    kDIBitmapSteps,
    kSafetyBitmapSteps,
    kPictureExSteps,
};

}  // namespace

std::span<const TModuleSteps> ProgramModules()
{
    return kProgramModules;
}
