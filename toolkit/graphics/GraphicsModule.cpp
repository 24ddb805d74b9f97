#include "toolkit/graphics/GraphicsModule.h"

#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/PictureFormats.h"

void StartToolkitGraphics()
{
    RegisterFileFormat(L"bmp", L"Bitmaps", TBitmap::Class);
}

void EndToolkitGraphics()
{
    UnregisterGraphicClass(TBitmap::Class);
}
