// The toolkit's graphics unit's own start-up and end steps.
#pragma once
#include "toolkit/core/ModuleSteps.h"

// Enters the toolkit's picture formats in the format table ("bmp" for TBitmap, "ico" for
// TIcon, "emf" and "wmf" for TMetafile, "jpg" and "jpeg" for TJPEGImage), and removes them
// again at the end. Comes before every unit that adds formats of its own, so theirs are found
// first.
void StartToolkitGraphics();
void EndToolkitGraphics();

inline constexpr TModuleSteps kToolkitGraphicsSteps{L"toolkit graphics", &StartToolkitGraphics, &EndToolkitGraphics};
