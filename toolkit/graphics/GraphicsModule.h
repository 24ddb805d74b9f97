// The toolkit's graphics unit's own start-up and end steps.
#pragma once
#include "toolkit/core/ModuleSteps.h"

// Enters the toolkit's picture formats ("bmp" for TBitmap) in the format table, and removes
// them again at the end. Comes before every unit that adds formats of its own.
void StartToolkitGraphics();
void EndToolkitGraphics();

inline constexpr TModuleSteps kToolkitGraphicsSteps{L"toolkit graphics", &StartToolkitGraphics, &EndToolkitGraphics};
