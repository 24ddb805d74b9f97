#include "imaging/UPictureEX.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "imaging/UResStream.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Detach.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Icon.h"
#include "toolkit/graphics/Metafile.h"
#include "toolkit/graphics/PictureFormats.h"

constinit const TClass TPictureEx::Class{L"TPictureEx", &TPicture::Class, &MakeInstance<TPictureEx>};
// Set by the unit's start-up step (UPictureEXJpeg.cpp), which alone links the JPEG decoder.
void (*TResourceImageLoader::loadJpeg_)(TPicture& picture, TStream& stream) = nullptr;

// Made only for a picture, so there is no factory.
constinit const TClass TResourceImageLoader::Class{L"TResourceImageLoader", &TPersistent::Class, nullptr};

namespace {

using namespace byteorder;

constexpr long long kFileHeaderSize = 14;

// Bytes of info header, colour table and masks in front of the pixels of a packed bitmap.
// What a truncated header does not tell counts as absent: the reader reports such a bitmap.
long long PixelOffset(const uint8_t* dib, long long size)
{
    if (size < 4)
        return 0;
    const long long infoSize = U32(dib);
    if (infoSize == sizeof(BITMAPCOREHEADER)) {
        const int bitCount = size >= 12 ? U16(dib + 10) : 0;
        return infoSize + (bitCount >= 1 && bitCount <= 8 ? (1LL << bitCount) * 3 : 0);
    }
    if (infoSize < static_cast<long long>(sizeof(BITMAPINFOHEADER)) || size < 36)
        return infoSize;
    const int bitCount = U16(dib + 14);
    const uint32_t compression = U32(dib + 16);
    const long long colorsUsed = U32(dib + 32);
    long long table = colorsUsed != 0 ? colorsUsed * 4 : (bitCount >= 1 && bitCount <= 8 ? (1LL << bitCount) * 4 : 0);
    if (infoSize == static_cast<long long>(sizeof(BITMAPINFOHEADER)) && compression == BI_BITFIELDS)
        table += 12;
    return infoSize + table;
}

// The running executable's folder with its trailing separator.
std::wstring ExecutableFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // cut short: a long path
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool SameText(const std::wstring& text, const wchar_t* other)
{
    return ::CompareStringOrdinal(text.c_str(), static_cast<int>(text.size()), other, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

// TPictureEx

void TPictureEx::DeclareStored(TFiler& filer)
{
    if (!loadedFromResource_)
        TPicture::DeclareStored(filer);
}

void TPictureEx::NotifyChanged(TObject* sender)
{
    if (changing_)
        return;
    changing_ = true;
    struct TClear {
        bool& flag;
        ~TClear() { flag = false; }
    } clear{changing_};
    TPicture::NotifyChanged(sender);
}

// Graphic selection

TSafetyBitmap& EnsureSafetyBitmap(TPicture& picture)
{
    if (!As<TSafetyBitmap>(picture.Graphic())) {
        TDetach<TNotifyEvent> onChange(picture.OnChange);
        TSafetyBitmap fresh;
        picture.SetGraphic(&fresh);
    }
    return static_cast<TSafetyBitmap&>(*picture.Graphic());
}

// Bitmap resources

void MakeBitmapFile(TStream& packed, TMemoryStream& file)
{
    const long long size = packed.Size();
    file.SetSize(0);
    file.SetSize(kFileHeaderSize + size);
    file.SetPosition(kFileHeaderSize);
    if (size > 0)
        file.CopyFrom(packed, 0);
    auto* bytes = static_cast<uint8_t*>(file.Memory());
    const long long fileSize = kFileHeaderSize + size;
    // An offset the data cannot have is kept inside the file; the reader then reports the
    // bitmap as cut short instead of reading beyond it.
    const long long bitsOffset = std::min(kFileHeaderSize + PixelOffset(bytes + kFileHeaderSize, size), fileSize);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes + 2, static_cast<uint32_t>(std::min<long long>(fileSize, UINT32_MAX)));
    Put32(bytes + 6, 0);
    Put32(bytes + 10, static_cast<uint32_t>(std::min<long long>(bitsOffset, UINT32_MAX)));
    file.SetPosition(0);
}

// TResourceImageLoader

TResourceImageLoader::TResourceImageLoader(TPictureEx* picture) : picture_(picture) {}

void TResourceImageLoader::ChangeSetting(std::wstring& field, const std::wstring& value)
{
    if (field == value)
        return;
    field = value;
    picture_->loadedFromResource_ = false;
    TryAutoLoad();
}

void TResourceImageLoader::SetResFile(const std::wstring& value)
{
    ChangeSetting(resFile_, value);
}

void TResourceImageLoader::SetResType(const std::wstring& value)
{
    ChangeSetting(resType_, value);
}

void TResourceImageLoader::SetResName(const std::wstring& value)
{
    ChangeSetting(resName_, value);
}

void TResourceImageLoader::TryAutoLoad()
{
    if (autoLoad_ && ready_)
        Load();
}

void TResourceImageLoader::CopyOut(TPersistent* dest)
{
    auto* loader = As<TResourceImageLoader>(dest);
    if (!loader)
        RaiseAssignError(this, dest);
    // Straight into the fields, not through the setters: those would reload for each setting,
    // with the others still old, and could fail on a mix that names no resource.
    loader->resFile_ = resFile_;
    loader->resName_ = resName_;
    loader->resType_ = resType_;
    loader->picture_->loadedFromResource_ = false;
    loader->TryAutoLoad();
}

void TResourceImageLoader::DeclareStored(TFiler& filer)
{
    filer.DefineBoolean(L"AutoLoad", [this] { return autoLoad_; }, [this](bool v) { SetAutoLoad(v); }, true);
    filer.DefineString(L"ResFile", [this] { return resFile_; }, [this](const std::wstring& v) { SetResFile(v); },
                       std::wstring());
    filer.DefineString(L"ResType", [this] { return resType_; }, [this](const std::wstring& v) { SetResType(v); },
                       std::wstring());
    filer.DefineString(L"ResName", [this] { return resName_; }, [this](const std::wstring& v) { SetResName(v); },
                       std::wstring());
}

void TResourceImageLoader::LoadBitmapResource(TStream& stream)
{
    TMemoryStream file;
    MakeBitmapFile(stream, file);
    EnsureSafetyBitmap(*picture_).LoadStream(file);
}

void TResourceImageLoader::Load()
{
    if (resName_.empty() || resType_.empty())
        return;
    const std::wstring path = resFile_.empty() ? std::wstring() : ExecutableFolder() + resFile_;
    const wchar_t* type = resType_ == L"RT_BITMAP" ? RT_BITMAP : resType_ == L"RT_ICON" ? RT_ICON : resType_.c_str();

    TResStream stream(path, type, resName_);
    bool handled = false;
    if (OnLoad)
        OnLoad(stream, handled);
    if (!handled) {
        handled = true;
        if (type == RT_BITMAP)
            LoadBitmapResource(stream);
        else if (type == RT_ICON)
            picture_->Icon().LoadStream(stream);
        else if (SameText(resType_, L"METAFILE"))
            picture_->Metafile().LoadStream(stream);
        else if (SameText(resType_, L"JPEG") && loadJpeg_)
            loadJpeg_(*picture_, stream);
        else
            handled = false;
    }
    if (handled)
        picture_->loadedFromResource_ = true;
}
