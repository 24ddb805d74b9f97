// The unit's start-up step and the class-wide drawing method it sets. Kept apart from the
// bitmap itself: every program runs the step, and a program that makes no DIB bitmap need
// not carry the bitmap and its canvas.
#include "imaging/UDIBitmap.h"
#include "imaging/UDrawSupport.h"

namespace {

// Set once by StartDIBitmap, before any bitmap exists.
constinit bool defaultUseDIBits = true;

}  // namespace

bool TDIBitmap::DefaultUseDIBits()
{
    return defaultUseDIBits;
}

void TDIBitmap::SetDefaultUseDIBits(bool value)
{
    defaultUseDIBits = value;
}

void StartDIBitmap()
{
    // IsWinNT answers false when the platform could not be asked: the default stays.
    defaultUseDIBits = !IsWinNT();
}
