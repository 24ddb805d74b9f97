#include "imaging/UBitmapControl.h"

#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TBitmapControl::Class{L"TBitmapControl", &TOriginalControl::Class, nullptr};

TBitmapControl::~TBitmapControl()
{
    // The pack must never call a control that is gone.
    if (imagePack_)
        imagePack_->Clients().RemoveClient(Entry());
}

void TBitmapControl::SetImagePack(TImagePack* pack)
{
    if (pack == imagePack_)
        return;
    if (imagePack_)
        imagePack_->Clients().RemoveClient(Entry());
    imagePack_ = pack;
    if (pack) {
        pack->FreeNotification(this);
        pack->Clients().AddClient(Entry());
    }
    ImagePackNotify(this);
}

void TBitmapControl::ImagePackNotify(TObject*)
{
    ImagePackChanged();
}

void TBitmapControl::ImagePackChanged()
{
    RequestRepaint();
}

void TBitmapControl::ComponentNotice(TComponent* component, TOperation operation)
{
    TOriginalControl::ComponentNotice(component, operation);
    if (operation == TOperation::opRemove && component == imagePack_) {
        // Its list of clients is gone already.
        imagePack_ = nullptr;
        RequestRepaint();
    }
}

void TBitmapControl::DeclareStored(TFiler& filer)
{
    TOriginalControl::DeclareStored(filer);
    filer.DefineReference(L"ImagePack", [this] { return imagePack_; },
                          [this](TComponent* c) {
                              auto* pack = As<TImagePack>(c);
                              if (!pack)
                                  throw EReadError(tkconst::SReadError);  // a name of something else
                              SetImagePack(pack);
                          });
}
