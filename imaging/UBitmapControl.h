// An image-library control bound to an image pack: it hears of every change of the pack
// and of the pack's destruction.
#pragma once
#include "imaging/UImagePack.h"
#include "imaging/UOriginalControl.h"

class TBitmapControl : public TOriginalControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    using TOriginalControl::TOriginalControl;
    ~TBitmapControl() override;

    // Not owned. Binding moves this control's entry from the old pack's clients to the new
    // one's and then runs ImagePackNotify once, also for none; the same pack does nothing.
    TImagePack* ImagePack() const { return imagePack_; }
    void SetImagePack(TImagePack* pack);

    // The entry in the pack's clients.
    void ImagePackNotify(TObject* sender);

    // ImagePack, after what TOriginalControl stores.
    void DeclareStored(TFiler& filer) override;

protected:
    // The bound pack changed: repaint.
    virtual void ImagePackChanged();
    // The bound pack going away leaves none bound, and the control as large as it was.
    void ComponentNotice(TComponent* component, TOperation operation) override;

private:
    TNotifyMethod Entry() { return NotifyMethod<&TBitmapControl::ImagePackNotify>(this); }

    TImagePack* imagePack_ = nullptr;
};
