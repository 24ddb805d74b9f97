// The whole library's list of steps, in a file of its own so the updater, which never calls
// it, links none of the units only this list names.
#include "app/Modules.h"

#include "imaging/UDIBitmap.h"
#include "imaging/UDrawSupport.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/graphics/GraphicsModule.h"

namespace {

constexpr TModuleSteps kLibraryModules[] = {
    kLayoutFontSteps,
    kToolkitGraphicsSteps,
    kToolkitJpegSteps,
    kDrawSupportSteps,
    kDIBitmapSteps,
    kSafetyBitmapSteps,
    kPictureExSteps,
};

}  // namespace

std::span<const TModuleSteps> LibraryModules()
{
    return kLibraryModules;
}
