// The image control: paints one image of its pack, stretched over the client area or with its
// aspect ratio kept and centred, and can take the image's size.
#pragma once
#include "imaging/UBitmapControl.h"

class TImageEx : public TBitmapControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TImageEx(TComponent* owner);

    // Each setter compares first; a new ImageIndex repaints and resizes, a new AutoSize
    // resizes, a new KeepRatio repaints.
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value);
    // While set, the control takes the size of its image whenever the image, the index or
    // this setting changes after the control has been loaded; an empty image keeps the size.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool KeepRatio() const { return keepRatio_; }
    void SetKeepRatio(bool value);

    // ImageIndex (always), AutoSize, KeepRatio, after what TBitmapControl stores.
    void DeclareStored(TFiler& filer) override;

protected:
    // The image first, clipped out of what is left; then the brush fills only the margins.
    void PaintControl() override;
    void ImagePackChanged() override;

private:
    void DrawCell(const RECT& dest, int index);
    void UpdateAutoSize();

    int imageIndex_ = 0;
    bool autoSize_ = false;
    bool keepRatio_ = false;
};
