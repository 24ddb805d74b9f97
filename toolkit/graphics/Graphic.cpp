#include "toolkit/graphics/Graphic.h"

#include <cstring>

#include "toolkit/core/Errors.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"

constinit const TClass TGraphic::Class{L"TGraphic", &TPersistent::Class, nullptr};

void TGraphic::SetModified(bool value)
{
    if (value)
        NotifyChanged(this);
    else
        modified_ = false;
}

void TGraphic::NotifyChanged(TObject*)
{
    modified_ = true;
    if (OnChange)
        OnChange(this);
}

bool TGraphic::SameContent(TGraphic* other)
{
    if (!other || &other->ClassType() != &ClassType())
        return false;
    if (Empty() || other->Empty())
        return Empty() && other->Empty();
    TMemoryStream mine, theirs;
    WriteStored(mine);
    other->WriteStored(theirs);
    return mine.Size() == theirs.Size() &&
           std::memcmp(mine.Memory(), theirs.Memory(), static_cast<size_t>(mine.Size())) == 0;
}

void TGraphic::ReadStored(TStream& stream)
{
    LoadStream(stream);
}

void TGraphic::WriteStored(TStream& stream)
{
    SaveStream(stream);
}

void TGraphic::ApplyPalette(HPALETTE) {}

void TGraphic::ApplyTransparent(bool value)
{
    if (value == transparent_)
        return;
    transparent_ = value;
    NotifyChanged(this);
}

void TGraphic::LoadFile(const std::wstring& fileName)
{
    TFileStream file(fileName, TFileMode::fmOpenRead, TShareMode::fmShareDenyWrite);
    LoadStream(file);
}

void TGraphic::SaveFile(const std::wstring& fileName)
{
    TFileStream file(fileName, TFileMode::fmCreate);
    SaveStream(file);
}

void TGraphic::LoadClipboard(UINT, HANDLE, HPALETTE)
{
    throw EInvalidGraphic(tkconst::SUnsupportedClipboard);
}

void TGraphic::SaveClipboard(UINT&, HANDLE&, HPALETTE&)
{
    throw EInvalidGraphic(tkconst::SUnsupportedClipboard);
}

void TGraphic::DeclareStored(TFiler& filer)
{
    bool hasData;
    if (auto* inherited = As<TGraphic>(filer.Ancestor()))
        hasData = !SameContent(inherited);
    else
        hasData = !Empty();
    filer.DefineBinary(L"Data", [this](TStream& s) { ReadStored(s); }, [this](TStream& s) { WriteStored(s); },
                       hasData);
}
