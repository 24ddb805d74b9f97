// The toolkit's graphics unit's own start-up and end steps.
#pragma once
#include "toolkit/core/ModuleSteps.h"

// Enters the toolkit's picture formats in the format table ("bmp" for TBitmap, "ico" for
// TIcon, "emf" and "wmf" for TMetafile), and removes them again at the end. Comes before
// every unit that adds formats of its own, so theirs are found first.
void StartToolkitGraphics();
void EndToolkitGraphics();

inline constexpr TModuleSteps kToolkitGraphicsSteps{L"toolkit graphics", &StartToolkitGraphics, &EndToolkitGraphics};

// "jpg" and "jpeg" for TJPEGImage, in steps of their own (JpegModule.cpp): a program that
// reads no JPEG pictures leaves them out of its list and so links no JPEG decoder. Right after
// the steps above.
void StartToolkitJpeg();
void EndToolkitJpeg();

inline constexpr TModuleSteps kToolkitJpegSteps{L"toolkit JPEG", &StartToolkitJpeg, &EndToolkitJpeg};
