// The JPEG picture formats' steps, apart from the other formats' so that only a program that
// runs them links the JPEG decoder.
#include "toolkit/graphics/GraphicsModule.h"

#include "toolkit/graphics/JpegImage.h"
#include "toolkit/graphics/PictureFormats.h"

void StartToolkitJpeg()
{
    RegisterFileFormat(L"jpg", L"JPEG Image", TJPEGImage::Class);
    RegisterFileFormat(L"jpeg", L"JPEG Image", TJPEGImage::Class);
}

void EndToolkitJpeg()
{
    UnregisterGraphicClass(TJPEGImage::Class);
}
