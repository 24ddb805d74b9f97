#include "toolkit/graphics/JpegImage.h"

#include <algorithm>
#include <new>

#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/DibSections.h"

constinit const TClass TJPEGImage::Class{L"TJPEGImage", &TGraphic::Class, &MakeInstance<TJPEGImage>};

namespace {

std::vector<uint8_t> ReadBytes(TStream& stream, long long count)
{
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(tkconst::SOutOfMemory);
    }
    stream.ReadBuffer(bytes.data(), count);
    return bytes;
}

}  // namespace

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() = default;

TBitmap& TJPEGImage::DecodedBitmap()
{
    if (!bitmap_) {
        bitmap_ = std::make_unique<TBitmap>();
        bitmap_->OnChange = [this](TObject*) { NotifyChanged(this); };
    }
    return *bitmap_;
}

void TJPEGImage::ForgetDecoded()
{
    decoded_ = false;
    failure_.clear();
    if (!bitmap_ || bitmap_->Empty())
        return;
    // The change that made the picture go is notified by the caller, once.
    TNotifyEvent onChange = std::move(bitmap_->OnChange);
    bitmap_->OnChange = nullptr;
    bitmap_->Clear();
    bitmap_->OnChange = std::move(onChange);
}

void TJPEGImage::Decode()
{
    if (decoded_ || data_.empty() || !failure_.empty())
        return;
    unique_hbitmap section;
    try {
        DecodeJpegInto(data_.data(), data_.size(), [&section](const TJpegInfo& info, int) {
            // Rows top-down, as the decoder delivers them; its stride is the section's.
            TDibLayout layout;
            layout.width = info.Width;
            layout.height = -info.Height;
            layout.bitCount = 24;
            void* bits = nullptr;
            section = CreateSection(layout, &bits);
            return static_cast<unsigned char*>(bits);
        });
    } catch (const EJPEG& e) {
        failure_ = e.Message();
        throw;
    }
    decoded_ = true;
    DecodedBitmap().SetHandle(section.release());  // notifies, through the bitmap
}

TBitmap& TJPEGImage::Bitmap()
{
    if (!failure_.empty())
        throw EJPEG(failure_);
    Decode();
    return DecodedBitmap();
}

void TJPEGImage::Clear()
{
    if (data_.empty() && !decoded_)
        return;
    ForgetDecoded();
    data_.clear();
    info_ = {};
    NotifyChanged(this);
}

void TJPEGImage::Take(std::vector<uint8_t> bytes)
{
    TJpegInfo info;
    try {
        info = ReadJpegInfo(bytes.data(), bytes.size());
        // The decoder shows one, three or four components and nothing else.
        if (info.Components != 1 && info.Components != 3 && info.Components != 4)
            throw EJPEG(tkconst::SJPEGInvalid);
        if (static_cast<long long>(info.Width) * info.Height > kJpegMaxPixels)
            throw EJPEG(tkconst::SJPEGTooLarge);
    } catch (const Exception&) {
        Clear();
        throw;
    }
    ForgetDecoded();
    data_ = std::move(bytes);
    info_ = info;
    NotifyChanged(this);
}

void TJPEGImage::LoadStream(TStream& stream)
{
    Take(ReadBytes(stream, std::max(0LL, stream.Size() - stream.Position())));
}

void TJPEGImage::SaveStream(TStream& stream)
{
    stream.WriteBuffer(data_.data(), static_cast<long long>(data_.size()));
}

void TJPEGImage::ReadStored(TStream& stream)
{
    uint8_t raw[4];
    stream.ReadBuffer(raw, 4);
    const long long length = static_cast<int32_t>(uint32_t{raw[0]} | uint32_t{raw[1]} << 8 |
                                                  uint32_t{raw[2]} << 16 | uint32_t{raw[3]} << 24);
    if (length < 0 || length > stream.Size() - stream.Position())
        throw EReadError(tkconst::SReadError);
    if (length == 0)
        Clear();  // an empty graphic's stored form
    else
        Take(ReadBytes(stream, length));
}

void TJPEGImage::WriteStored(TStream& stream)
{
    const uint32_t length = static_cast<uint32_t>(data_.size());
    const uint8_t raw[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                            static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
    stream.WriteBuffer(raw, 4);
    SaveStream(stream);
}

void TJPEGImage::CopyIn(TPersistent* source)
{
    if (!source) {
        Clear();
        return;
    }
    if (auto* jpeg = As<TJPEGImage>(source)) {
        if (jpeg == this)
            return;
        if (jpeg->data_.empty())
            Clear();
        else
            Take(jpeg->data_);
        return;
    }
    TGraphic::CopyIn(source);
}

void TJPEGImage::Render(TCanvas& canvas, const RECT& rect)
{
    if (data_.empty() || !failure_.empty())
        return;
    Decode();
    bitmap_->Render(canvas, rect);
}

void TJPEGImage::ApplyHeight(int value)
{
    if (value != info_.Height)
        throw EInvalidGraphicOperation(tkconst::SChangeJPEGSize);
}

void TJPEGImage::ApplyWidth(int value)
{
    if (value != info_.Width)
        throw EInvalidGraphicOperation(tkconst::SChangeJPEGSize);
}
