#include "tests/fuzz/targets/Targets.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/JpegImage.h"

void FuzzJpegImage(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TJPEGImage jpeg;
        jpeg.LoadStream(stream);
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &jpeg);
        TMemoryStream stored;
        jpeg.WriteStored(stored);
        stored.SetPosition(0);
        TJPEGImage copy;
        copy.ReadStored(stored);
    } catch (const Exception&) {
    }
}
