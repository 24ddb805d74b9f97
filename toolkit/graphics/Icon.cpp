#include "toolkit/graphics/Icon.h"

#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/DibSections.h"

constinit const TClass TIcon::Class{L"TIcon", &TGraphic::Class, &MakeInstance<TIcon>};

namespace {

using namespace byteorder;

constexpr size_t kHeaderBytes = 6;
constexpr size_t kEntryBytes = 16;
// The largest checked image (256 x 256 at 32 bits with its mask and a full colour table) is
// about 265 KiB; an entry declaring more than this, or an image further away, is not an icon,
// and nothing is allocated for it.
constexpr uint32_t kMaxImageBytes = 1024 * 1024;
constexpr uint32_t kMaxImageOffset = 64 * 1024;

// Sides of an image the system may be given, or false. The info header's height counts the
// colour pixels and the mask below them.
bool CheckImage(const uint8_t* image, size_t size, int& width, int& height)
{
    if (size < 40 || U32(image) != 40)
        return false;
    const int32_t w = static_cast<int32_t>(U32(image + 4));
    const int32_t h2 = static_cast<int32_t>(U32(image + 8));
    const uint16_t planes = U16(image + 12);
    const uint16_t bits = U16(image + 14);
    const uint32_t compression = U32(image + 16);
    const uint32_t used = U32(image + 32);
    if (w < 1 || w > 256 || h2 < 2 || h2 > 512 || h2 % 2 != 0 || planes != 1 || compression != BI_RGB)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (used > (bits <= 8 ? 1u << bits : 256u))
        return false;
    const long long colours = used ? used : bits <= 8 ? 1LL << bits : 0;
    const long long h = h2 / 2;
    const long long need = 40 + colours * 4 + RowBytes(w, bits) * h + RowBytes(w, 1) * h;
    if (need > static_cast<long long>(size))
        return false;
    width = w;
    height = static_cast<int>(h);
    return true;
}

[[noreturn]] void RaiseInvalid()
{
    throw EInvalidGraphic(tkconst::SInvalidIcon);
}

}  // namespace

TIcon::TIcon() = default;

TIcon::~TIcon() = default;

void TIcon::Clear()
{
    if (!handle_ && data_.empty())
        return;
    handle_.reset();
    data_.clear();
    width_ = height_ = 0;
    NotifyChanged(this);
}

void TIcon::Take(std::vector<uint8_t> bytes)
{
    const uint32_t size = U32(&bytes[kHeaderBytes + 8]);
    const uint32_t offset = U32(&bytes[kHeaderBytes + 12]);
    uint8_t* image = bytes.data() + offset;
    int width = 0, height = 0;
    unique_hicon icon;
    if (CheckImage(image, size, width, height))
        icon.reset(::CreateIconFromResourceEx(image, size, TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR));
    if (!icon) {
        Clear();
        RaiseInvalid();
    }
    handle_ = std::move(icon);
    data_ = std::move(bytes);
    width_ = width;
    height_ = height;
    NotifyChanged(this);
}

void TIcon::LoadStream(TStream& stream)
{
    std::vector<uint8_t> bytes(kHeaderBytes + kEntryBytes);
    const auto refuse = [this] {
        Clear();
        RaiseInvalid();
    };
    if (stream.Read(bytes.data(), kHeaderBytes) != static_cast<long long>(kHeaderBytes))
        refuse();
    const uint16_t reserved = U16(&bytes[0]), type = U16(&bytes[2]), count = U16(&bytes[4]);
    if (reserved != 0 || type != 1 || count > 1)
        refuse();
    if (count == 0) {
        Clear();
        return;
    }
    if (stream.Read(&bytes[kHeaderBytes], kEntryBytes) != static_cast<long long>(kEntryBytes))
        refuse();
    const uint32_t size = U32(&bytes[kHeaderBytes + 8]);
    const uint32_t offset = U32(&bytes[kHeaderBytes + 12]);
    if (offset < bytes.size() || offset > kMaxImageOffset || size > kMaxImageBytes)
        refuse();
    const size_t before = bytes.size();
    bytes.resize(static_cast<size_t>(offset) + size);
    const long long rest = static_cast<long long>(bytes.size() - before);
    if (stream.Read(&bytes[before], rest) != rest)
        refuse();
    Take(std::move(bytes));
}

void TIcon::SaveStream(TStream& stream)
{
    if (data_.empty()) {
        const uint8_t empty[kHeaderBytes] = {0, 0, 1, 0, 0, 0};
        stream.WriteBuffer(empty, sizeof empty);
        return;
    }
    stream.WriteBuffer(data_.data(), static_cast<long long>(data_.size()));
}

void TIcon::CopyIn(TPersistent* source)
{
    if (!source) {
        Clear();
        return;
    }
    if (auto* icon = As<TIcon>(source)) {
        if (icon == this)
            return;
        if (icon->data_.empty())
            Clear();
        else
            Take(icon->data_);
        return;
    }
    TGraphic::CopyIn(source);
}

void TIcon::Render(TCanvas& canvas, const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // DrawIconEx takes a side of 0 for "the icon's own", so an empty rectangle is left alone here.
    if (!handle_ || width <= 0 || height <= 0)
        return;
    ::DrawIconEx(canvas.Handle(), rect.left, rect.top, handle_.get(), width, height, 0, nullptr, DI_NORMAL);
}

void TIcon::ApplyHeight(int value)
{
    if (value != height_)
        throw EInvalidGraphicOperation(tkconst::SChangeIconSize);
}

void TIcon::ApplyWidth(int value)
{
    if (value != width_)
        throw EInvalidGraphicOperation(tkconst::SChangeIconSize);
}
