#include "imaging/UImagePack.h"

#include <cstdint>

#include "resources/resource_ids.h"
#include "toolkit/core/ResourceText.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/Picture.h"

// Abstract: no factory.
constinit const TClass TImagePack::Class{L"TImagePack", &TComponent::Class, nullptr};

namespace {
[[noreturn]] void RaiseImagePack(int text)
{
    throw EImagePack(LoadResourceText(::GetModuleHandleW(nullptr), text));
}

// Sums and differences of 32-bit coordinates as a 32-bit machine gives them, without the
// undefined overflow of signed arithmetic.
LONG Wrap(int64_t value)
{
    return static_cast<LONG>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}
}  // namespace

TImagePack::TImagePack(TComponent* owner) : TComponent(owner), clients_(std::make_unique<TNotifyList>()) {}

// The list goes first; the component's destruction then tells the bound controls.
TImagePack::~TImagePack()
{
    clients_.reset();
}

void TImagePack::NotifyChanged()
{
    clients_->Notify(this);
    if (OnChange)
        OnChange(this);
}

void TImagePack::ApplyCount(int)
{
    RaiseImagePack(sImagePackCount);
}

void TImagePack::SetImageRect(int, const RECT&)
{
    RaiseImagePack(sImagePackRect);
}

int TImagePack::GetImageLeft(int index) const { return ImageRect(index).left; }
int TImagePack::GetImageTop(int index) const { return ImageRect(index).top; }
int TImagePack::GetImageWidth(int index) const { return RectWidth(ImageRect(index)); }
int TImagePack::GetImageHeight(int index) const { return RectHeight(ImageRect(index)); }

void TImagePack::SetImageLeft(int index, int value)
{
    RECT r = ImageRect(index);
    r.right = Wrap(int64_t{r.right} + value - r.left);
    r.left = value;
    SetImageRect(index, r);
}

void TImagePack::SetImageTop(int index, int value)
{
    RECT r = ImageRect(index);
    r.bottom = Wrap(int64_t{r.bottom} + value - r.top);
    r.top = value;
    SetImageRect(index, r);
}

void TImagePack::SetImageWidth(int index, int value)
{
    RECT r = ImageRect(index);
    r.right = Wrap(int64_t{r.left} + value);
    SetImageRect(index, r);
}

void TImagePack::SetImageHeight(int index, int value)
{
    RECT r = ImageRect(index);
    r.bottom = Wrap(int64_t{r.top} + value);
    SetImageRect(index, r);
}

void TImagePack::Render(TCanvas& canvas, int x, int y, int index)
{
    const RECT r = ImageRect(index);
    RenderScaled(canvas, {x, y, Wrap(int64_t{x} + RectWidth(r)), Wrap(int64_t{y} + RectHeight(r))}, index);
}

void TImagePack::RenderScaled(TCanvas& canvas, const RECT& rect, int index)
{
    TPicture copy;
    GetImage(copy, index);
    if (copy.Graphic())
        canvas.RenderScaled(rect, copy.Graphic());
}

bool TImagePack::IsEmpty(int index) const
{
    return index < 0 || index >= QueryCount();
}

// ---- Rectangle helpers --------------------------------------------------------------------

int RectWidth(const RECT& r) { return Wrap(int64_t{r.right} - r.left); }
int RectHeight(const RECT& r) { return Wrap(int64_t{r.bottom} - r.top); }

POINT RectCenter(const RECT& r)
{
    // Halving the 64-bit sum keeps the one a 32-bit sum would give where it does not overflow.
    return {Wrap((int64_t{r.left} + r.right) / 2), Wrap((int64_t{r.top} + r.bottom) / 2)};
}

RECT MoveRectCenter(const RECT& r, POINT p)
{
    const POINT c = RectCenter(r);
    const int64_t dx = int64_t{p.x} - c.x, dy = int64_t{p.y} - c.y;
    return {Wrap(r.left + dx), Wrap(r.top + dy), Wrap(r.right + dx), Wrap(r.bottom + dy)};
}

RECT FitRect(const RECT& r, int maxWidth, int maxHeight)
{
    const int w = RectWidth(r), h = RectHeight(r);
    int width = ::MulDiv(w, maxHeight, h);
    int height = maxHeight;
    if (width > maxWidth) {
        width = maxWidth;
        height = ::MulDiv(h, maxWidth, w);
    }
    return {r.left, r.top, Wrap(int64_t{r.left} + width), Wrap(int64_t{r.top} + height)};
}

RECT FitRectCentered(const RECT& src, const RECT& bounds)
{
    return MoveRectCenter(FitRect(src, RectWidth(bounds), RectHeight(bounds)), RectCenter(bounds));
}
