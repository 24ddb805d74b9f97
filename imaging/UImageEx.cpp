#include "imaging/UImageEx.h"

#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Canvas.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TImageEx::Class{L"TImageEx", &TBitmapControl::Class, nullptr};

TImageEx::TImageEx(TComponent* owner) : TBitmapControl(owner)
{
    keepRatio_ = true;
}

void TImageEx::SetImageIndex(int value)
{
    if (imageIndex_ == value)
        return;
    imageIndex_ = value;
    ImagePackChanged();
}

void TImageEx::SetAutoSize(bool value)
{
    if (autoSize_ == value)
        return;
    autoSize_ = value;
    UpdateAutoSize();
}

void TImageEx::SetKeepRatio(bool value)
{
    if (keepRatio_ == value)
        return;
    keepRatio_ = value;
    RequestRepaint();
}

void TImageEx::ImagePackChanged()
{
    RequestRepaint();
    UpdateAutoSize();
}

void TImageEx::UpdateAutoSize()
{
    // No loading hook of its own: what a layout sets takes effect at the next change.
    TImagePack* pack = ImagePack();
    if (!autoSize_ || IsLoading() || !pack || pack->IsEmpty(imageIndex_))
        return;
    SetWidth(pack->GetImageWidth(imageIndex_));
    SetHeight(pack->GetImageHeight(imageIndex_));
}

void TImageEx::PaintControl()
{
    TCanvas& canvas = Canvas();
    // The image is clipped out only while the margins are filled: the non-windowed children
    // painted after us, over the image too, get the device context as it came.
    const DCStateGuard state(canvas.Handle());
    canvas.Brush().CopyIn(&Brush());
    const RECT client = ClientRect();
    if (TImagePack* pack = ImagePack()) {
        RECT dest = client;
        if (keepRatio_) {
            const RECT src{0, 0, pack->GetImageWidth(imageIndex_), pack->GetImageHeight(imageIndex_)};
            dest = FitRectCentered(src, client);
        }
        DrawCell(dest, imageIndex_);
    }
    if (!Transparent() && ::RectVisible(canvas.Handle(), &client)) {
        ::RealizePalette(canvas.Handle());
        canvas.FillRect(client);  // the image is clipped out: only the margins are filled
    }
}

void TImageEx::DrawCell(const RECT& dest, int index)
{
    TCanvas& canvas = Canvas();
    TImagePack* pack = ImagePack();
    if (pack->IsEmpty(index) || !::RectVisible(canvas.Handle(), &dest))
        return;
    pack->RenderScaled(canvas, dest, index);
    if (!Transparent())
        ::ExcludeClipRect(canvas.Handle(), dest.left, dest.top, dest.right, dest.bottom);
}

void TImageEx::DeclareStored(TFiler& filer)
{
    TBitmapControl::DeclareStored(filer);
    filer.DefineInteger(L"ImageIndex", [this] { return imageIndex_; }, [this](int32_t v) { SetImageIndex(v); },
                        std::nullopt);
    filer.DefineBoolean(L"AutoSize", [this] { return autoSize_; }, [this](bool v) { SetAutoSize(v); }, false);
    filer.DefineBoolean(L"KeepRatio", [this] { return keepRatio_; }, [this](bool v) { SetKeepRatio(v); }, true);
}
