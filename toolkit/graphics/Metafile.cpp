#include "toolkit/graphics/Metafile.h"

#include <algorithm>
#include <new>

#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/MetafilePlayback.h"
#include "toolkit/graphics/MetafileRecords.h"

constinit const TClass TMetafile::Class{L"TMetafile", &TGraphic::Class, &MakeInstance<TMetafile>};

namespace {

using namespace byteorder;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableBytes = 22;
constexpr size_t kWindowsHeaderBytes = 18;
constexpr size_t kEnhancedHeaderBytes = 88;  // the first version of the header; later ones are longer
constexpr int kMaxSide = 32767;

int ScreenResolution(int index)
{
    WindowDC screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.get(), index);
    return dpi > 0 ? dpi : 96;
}

// length units of which perInch make an inch, in pixels of the screen, rounded; -1 when
// negative or longer than a side may be.
int Pixels(long long length, int dpi, long long perInch)
{
    if (length < 0 || perInch <= 0)
        return -1;
    const long long pixels = (length * dpi + perInch / 2) / perInch;
    return pixels > kMaxSide ? -1 : static_cast<int>(pixels);
}

struct Parsed {
    unique_henhmetafile handle;
    size_t length = 0;  // bytes of the metafile, header included
    int width = 0;
    int height = 0;
};

bool Inside(uint64_t offset, uint64_t count, uint64_t size)
{
    return offset <= size && count <= size - offset;
}

bool ParseEnhanced(const uint8_t* p, size_t size, Parsed& out)
{
    if (size < kEnhancedHeaderBytes || U32(p) != EMR_HEADER || U32(p + 40) != ENHMETA_SIGNATURE)
        return false;
    const uint32_t headerSize = U32(p + 4);
    const uint32_t total = U32(p + 48);
    if (headerSize < kEnhancedHeaderBytes || headerSize % 4 != 0 || total % 4 != 0 || headerSize > total ||
        total > size)
        return false;
    const uint32_t descriptionChars = U32(p + 60);
    if (descriptionChars != 0 && !Inside(U32(p + 64), uint64_t{descriptionChars} * 2, total))
        return false;
    if (headerSize >= 100 && U32(p + 88) != 0 && !Inside(U32(p + 92), U32(p + 88), total))
        return false;
    if (!CheckEnhancedRecords(p, total))
        return false;
    // The frame, in hundredths of a millimetre, bounds included.
    out.width = Pixels(static_cast<long long>(S32(p + 32)) - S32(p + 24), ScreenResolution(LOGPIXELSX), 2540);
    out.height = Pixels(static_cast<long long>(S32(p + 36)) - S32(p + 28), ScreenResolution(LOGPIXELSY), 2540);
    if (out.width < 0 || out.height < 0)
        return false;
    out.handle.reset(::SetEnhMetaFileBits(total, p));
    out.length = total;
    return static_cast<bool>(out.handle);
}

bool ParsePlaceable(const uint8_t* p, size_t size, Parsed& out)
{
    if (size < kPlaceableBytes + kWindowsHeaderBytes || U32(p) != kPlaceableKey)
        return false;
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2)
        checksum ^= U16(p + i);
    if (checksum != U16(p + 20))
        return false;
    const long long width = static_cast<long long>(S16(p + 10)) - S16(p + 6);
    const long long height = static_cast<long long>(S16(p + 12)) - S16(p + 8);
    const uint16_t perInch = U16(p + 14);
    out.width = Pixels(width, ScreenResolution(LOGPIXELSX), perInch);
    out.height = Pixels(height, ScreenResolution(LOGPIXELSY), perInch);
    if (out.width < 0 || out.height < 0)
        return false;

    const uint8_t* m = p + kPlaceableBytes;
    const uint16_t type = U16(m);
    const uint64_t total = uint64_t{U32(m + 6)} * 2;  // counted in 16-bit words
    if ((type != 1 && type != 2) || U16(m + 2) != kWindowsHeaderBytes / 2 || total < kWindowsHeaderBytes ||
        total > size - kPlaceableBytes)
        return false;
    if (!CheckWindowsRecords(m, total))
        return false;
    // The frame of the enhanced metafile made of it, in hundredths of a millimetre.
    METAFILEPICT picture{MM_ANISOTROPIC, static_cast<LONG>(width * 2540 / perInch),
                         static_cast<LONG>(height * 2540 / perInch), nullptr};
    WindowDC screen(nullptr);
    out.handle.reset(::SetWinMetaFileBits(static_cast<UINT>(total), m, screen.get(), &picture));
    out.length = kPlaceableBytes + static_cast<size_t>(total);
    return static_cast<bool>(out.handle);
}

}  // namespace

TMetafile::TMetafile() = default;

TMetafile::~TMetafile() = default;

void TMetafile::Clear()
{
    if (!handle_ && data_.empty())
        return;
    handle_.reset();
    data_.clear();
    width_ = height_ = 0;
    enhanced_ = true;
    NotifyChanged(this);
}

void TMetafile::Take(std::vector<uint8_t> bytes)
{
    Parsed parsed;
    const bool placeable = bytes.size() >= 4 && U32(bytes.data()) == kPlaceableKey;
    if (!(placeable ? ParsePlaceable(bytes.data(), bytes.size(), parsed)
                    : ParseEnhanced(bytes.data(), bytes.size(), parsed))) {
        Clear();
        throw EInvalidGraphic(tkconst::SInvalidMetafile);
    }
    bytes.resize(parsed.length);
    data_ = std::move(bytes);
    handle_ = std::move(parsed.handle);
    width_ = parsed.width;
    height_ = parsed.height;
    enhanced_ = !placeable;
    NotifyChanged(this);
}

void TMetafile::LoadStream(TStream& stream)
{
    const long long count = std::max(0LL, stream.Size() - stream.Position());
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(tkconst::SOutOfMemory);
    }
    stream.ReadBuffer(bytes.data(), count);
    Take(std::move(bytes));
}

void TMetafile::ReadStored(TStream& stream)
{
    if (stream.Position() >= stream.Size())
        Clear();
    else
        LoadStream(stream);
}

void TMetafile::SaveStream(TStream& stream)
{
    stream.WriteBuffer(data_.data(), static_cast<long long>(data_.size()));
}

void TMetafile::CopyIn(TPersistent* source)
{
    if (!source) {
        Clear();
        return;
    }
    if (auto* metafile = As<TMetafile>(source)) {
        if (metafile == this)
            return;
        if (metafile->data_.empty()) {
            Clear();
            return;
        }
        Take(metafile->data_);
        if (width_ != metafile->width_ || height_ != metafile->height_) {
            width_ = metafile->width_;
            height_ = metafile->height_;
            NotifyChanged(this);
        }
        return;
    }
    TGraphic::CopyIn(source);
}

void TMetafile::Render(TCanvas& canvas, const RECT& rect)
{
    if (!handle_ || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    PlayMetafileInto(canvas.Handle(), handle_.get(), rect);
}

void TMetafile::ApplyHeight(int value)
{
    value = std::max(value, 0);
    if (value == height_)
        return;
    height_ = value;
    NotifyChanged(this);
}

void TMetafile::ApplyWidth(int value)
{
    value = std::max(value, 0);
    if (value == width_)
        return;
    width_ = value;
    NotifyChanged(this);
}
