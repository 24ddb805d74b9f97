#include "imaging/UPictureEX.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "imaging/UResStream.h"
#include "imaging/USafetyBitmap.h"
#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Detach.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"
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

TBitmapFileStream::TBitmapFileStream(TStream& packed) : packed_(packed), packedSize_(packed.Size())
{
    // The offset needs the info header's first 36 bytes at most.
    uint8_t head[36] = {};
    const long long headSize = std::min<long long>(packedSize_, sizeof head);
    packed_.SetPosition(0);
    packed_.ReadBuffer(head, headSize);
    const long long fileSize = FileHeaderSize + packedSize_;
    // An offset the data cannot have is kept inside the file; the reader then reports the
    // bitmap as cut short instead of reading beyond it.
    const long long bitsOffset = std::min(FileHeaderSize + PixelOffset(head, packedSize_), fileSize);
    fileHeader_[0] = 'B';
    fileHeader_[1] = 'M';
    Put32(fileHeader_ + 2, static_cast<uint32_t>(std::min<long long>(fileSize, UINT32_MAX)));
    Put32(fileHeader_ + 6, 0);
    Put32(fileHeader_ + 10, static_cast<uint32_t>(std::min<long long>(bitsOffset, UINT32_MAX)));
}

long long TBitmapFileStream::FetchBytes(void* buffer, long long count)
{
    if (position_ < 0 || count <= 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    long long total = 0;
    if (position_ < FileHeaderSize) {
        total = std::min(count, FileHeaderSize - position_);
        std::memcpy(out, fileHeader_ + position_, static_cast<size_t>(total));
        position_ += total;
    }
    if (total < count && position_ - FileHeaderSize < packedSize_) {
        packed_.SetPosition(position_ - FileHeaderSize);
        const long long got = packed_.Read(out + total, count - total);
        position_ += got;
        total += got;
    }
    return total;
}

long long TBitmapFileStream::StoreBytes(const void*, long long)
{
    throw EWriteError(tkconst::SWriteError);
}

long long TBitmapFileStream::MovePosition(long long offset, TSeekOrigin origin)
{
    const long long base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? position_
                                                                                : FileHeaderSize + packedSize_;
    // Held inside the range of long long: a seek far past the end reads nothing.
    if (offset > 0 && base > LLONG_MAX - offset)
        position_ = LLONG_MAX;
    else if (offset < 0 && base < LLONG_MIN - offset)
        position_ = LLONG_MIN;
    else
        position_ = base + offset;
    return position_;
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
    TBitmapFileStream file(stream);
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
