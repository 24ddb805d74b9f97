#include "toolkit/graphics/Picture.h"

#include <cstring>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Icon.h"
#include "toolkit/graphics/Metafile.h"
#include "toolkit/graphics/PictureFormats.h"

constinit const TClass TPicture::Class{L"TPicture", &TPersistent::Class, &MakeInstance<TPicture>};

namespace {

constexpr size_t kMaxClassName = 63;

std::wstring ExtensionOf(const std::wstring& fileName)
{
    const size_t dot = fileName.find_last_of(L'.');
    const size_t slash = fileName.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return {};
    return fileName.substr(dot + 1);
}

}  // namespace

TPicture::TPicture() = default;

TPicture::~TPicture() = default;

std::unique_ptr<TGraphic> TPicture::MakeGraphic(const TClass& graphicClass)
{
    std::unique_ptr<TPersistent> made(graphicClass.Create());
    if (!made || !made->InheritsFrom(TGraphic::Class))
        throw EInvalidGraphic(Format(tkconst::SUnknownGraphicClass, {std::wstring(graphicClass.Name())}));
    return std::unique_ptr<TGraphic>(static_cast<TGraphic*>(made.release()));
}

void TPicture::Replace(std::unique_ptr<TGraphic> graphic)
{
    if (graphic)
        graphic->OnChange = [this](TObject* sender) { NotifyChanged(sender); };
    std::unique_ptr<TGraphic> old = std::move(graphic_);
    graphic_ = std::move(graphic);
    old.reset();
    NotifyChanged(this);
}

void TPicture::SetGraphic(TGraphic* graphic)
{
    std::unique_ptr<TGraphic> fresh;
    if (graphic) {
        fresh = MakeGraphic(graphic->ClassType());
        fresh->CopyIn(graphic);
    }
    Replace(std::move(fresh));
}

TGraphic& TPicture::GraphicOfClass(const TClass& graphicClass)
{
    if (!graphic_ || !graphic_->InheritsFrom(graphicClass))
        Replace(MakeGraphic(graphicClass));
    return *graphic_;
}

TBitmap& TPicture::Bitmap()
{
    return static_cast<TBitmap&>(GraphicOfClass(TBitmap::Class));
}

TIcon& TPicture::Icon()
{
    return static_cast<TIcon&>(GraphicOfClass(TIcon::Class));
}

TMetafile& TPicture::Metafile()
{
    return static_cast<TMetafile&>(GraphicOfClass(TMetafile::Class));
}

void TPicture::LoadFile(const std::wstring& fileName)
{
    const std::wstring extension = ExtensionOf(fileName);
    const TFileFormat* format = FindFileFormat(extension);
    if (!format)
        throw EInvalidGraphic(Format(tkconst::SUnknownExtension, {extension}));
    std::unique_ptr<TGraphic> graphic = MakeGraphic(*format->graphicClass);
    graphic->LoadFile(fileName);
    Replace(std::move(graphic));
}

void TPicture::SaveFile(const std::wstring& fileName)
{
    if (graphic_)
        graphic_->SaveFile(fileName);
}

void TPicture::CopyIn(TPersistent* source)
{
    if (!source) {
        SetGraphic(nullptr);
    } else if (auto* picture = As<TPicture>(source)) {
        SetGraphic(picture->Graphic());
    } else if (auto* graphic = As<TGraphic>(source)) {
        SetGraphic(graphic);
    } else {
        TPersistent::CopyIn(source);
    }
}

void TPicture::NotifyChanged(TObject*)
{
    if (OnChange)
        OnChange(this);
}

void TPicture::DeclareStored(TFiler& filer)
{
    bool hasData;
    if (auto* inherited = As<TPicture>(filer.Ancestor())) {
        TGraphic* theirs = inherited->Graphic();
        hasData = graphic_ ? !graphic_->SameContent(theirs) : theirs != nullptr;
    } else {
        hasData = graphic_ != nullptr;
    }
    filer.DefineBinary(L"Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
}

void TPicture::WriteData(TStream& stream)
{
    std::string name;
    if (graphic_)
        for (const wchar_t* c = graphic_->ClassName(); *c; ++c)
            name += static_cast<char>(*c);
    if (name.size() > kMaxClassName)
        throw EWriteError(tkconst::SWriteError);
    const uint8_t length = static_cast<uint8_t>(name.size());
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(name.data(), length);
    if (graphic_)
        graphic_->WriteStored(stream);
}

void TPicture::ReadData(TStream& stream)
{
    uint8_t length;
    stream.ReadBuffer(&length, 1);
    if (length > kMaxClassName)
        throw EReadError(tkconst::SReadError);
    char raw[kMaxClassName];
    stream.ReadBuffer(raw, length);
    if (length == 0) {
        Replace(nullptr);
        return;
    }
    const std::wstring name(raw, raw + length);
    const TClass* graphicClass = FindGraphicClass(name);
    if (!graphicClass)
        throw EReadError(Format(tkconst::SUnknownGraphicClass, {name}));
    std::unique_ptr<TGraphic> graphic = MakeGraphic(*graphicClass);
    graphic->ReadStored(stream);
    Replace(std::move(graphic));
}
