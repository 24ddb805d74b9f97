// The JPEG half of UPictureEX, in a file of its own: a program links it, and with it the JPEG
// decoder, only when it runs the unit's steps or asks for a JPEG graphic itself.
#include "imaging/UPictureEX.h"

#include "toolkit/core/Detach.h"
#include "toolkit/graphics/PictureFormats.h"

constinit const TClass TSafetyJPEGImage::Class{L"TSafetyJPEGImage", &TJPEGImage::Class,
                                               &MakeInstance<TSafetyJPEGImage>};

namespace {

void LoadJpegResource(TPicture& picture, TStream& stream)
{
    EnsureJPEG(picture).LoadStream(stream);
}

}  // namespace

TJPEGImage& EnsureJPEG(TPicture& picture)
{
    if (!As<TJPEGImage>(picture.Graphic())) {
        TDetach<TNotifyEvent> onChange(picture.OnChange);
        TSafetyJPEGImage fresh;
        picture.SetGraphic(&fresh);
    }
    return static_cast<TJPEGImage&>(*picture.Graphic());
}

void TSafetyJPEGImage::Render(TCanvas& canvas, const RECT& rect)
{
    TDetach<TNotifyEvent> onChange(OnChange);
    TJPEGImage::Render(canvas, rect);
}

// Unit steps

void StartPictureEx()
{
    RegisterFileFormat(L"JPG", L"JPEG Image", TSafetyJPEGImage::Class);
    RegisterFileFormat(L"JPEG", L"JPEG Image", TSafetyJPEGImage::Class);
    TResourceImageLoader::loadJpeg_ = &LoadJpegResource;
}

void EndPictureEx()
{
    TResourceImageLoader::loadJpeg_ = nullptr;
    UnregisterGraphicClass(TSafetyJPEGImage::Class);
}
