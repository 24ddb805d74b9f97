#include "toolkit/graphics/GraphicsModule.h"

#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Icon.h"
#include "toolkit/graphics/Metafile.h"
#include "toolkit/graphics/PictureFormats.h"

void StartToolkitGraphics()
{
    RegisterFileFormat(L"bmp", L"Bitmaps", TBitmap::Class);
    RegisterFileFormat(L"ico", L"Icons", TIcon::Class);
    RegisterFileFormat(L"emf", L"Enhanced Metafiles", TMetafile::Class);
    RegisterFileFormat(L"wmf", L"Metafiles", TMetafile::Class);
}

void EndToolkitGraphics()
{
    UnregisterGraphicClass(TMetafile::Class);
    UnregisterGraphicClass(TIcon::Class);
    UnregisterGraphicClass(TBitmap::Class);
}
