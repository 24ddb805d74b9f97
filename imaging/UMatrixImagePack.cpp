#include "imaging/UMatrixImagePack.h"

#include "imaging/UDrawSupport.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/Palettes.h"

// Made by their owners, with the owner as argument: no factory.
constinit const TClass TMatrixImagePack::Class{L"TMatrixImagePack", &TImagePack::Class, nullptr};

namespace {
bool IsEmptyRect(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}
}  // namespace

TMatrixImagePack::TMatrixImagePack(TComponent* owner)
    : TImagePack(owner),
      image_(std::make_unique<TPictureEx>()),
      imageLoader_(std::make_unique<TResourceImageLoader>(image_.get()))
{
    image_->OnChange = [this](TObject* sender) { ImageChanged(sender); };
    // countCol_ and countRow_ start at 1 without telling anyone.
}

// The loader refers to the picture, so it goes first.
TMatrixImagePack::~TMatrixImagePack()
{
    imageLoader_.reset();
    image_.reset();
}

void TMatrixImagePack::SetCountCol(int value)
{
    if (countCol_ == value)
        return;
    countCol_ = value;
    NotifyChanged();
}

void TMatrixImagePack::SetCountRow(int value)
{
    if (countRow_ == value)
        return;
    countRow_ = value;
    NotifyChanged();
}

void TMatrixImagePack::SetImage(TPicture& source)
{
    image_->CopyIn(&source);
}

void TMatrixImagePack::SetImageLoader(TResourceImageLoader& source)
{
    imageLoader_->CopyIn(&source);
}

void TMatrixImagePack::AfterLoad()
{
    TImagePack::AfterLoad();
    if (IsDesigning() || imageLoader_->AutoLoad())
        imageLoader_->Load();
    imageLoader_->SetReady(true);
}

void TMatrixImagePack::ImageChanged(TObject*)
{
    NotifyChanged();
}

int TMatrixImagePack::QueryCount() const
{
    // The product as 32-bit arithmetic gives it, without signed overflow.
    return static_cast<int>(static_cast<uint32_t>(countCol_) * static_cast<uint32_t>(countRow_));
}

bool TMatrixImagePack::IsEmpty(int index) const
{
    const TGraphic* graphic = image_->Graphic();
    return TImagePack::IsEmpty(index) || !graphic || graphic->Empty();
}

void TMatrixImagePack::GetImageRect(int index, RECT& rect) const
{
    rect = RECT{};
    // Only a positive count gets past IsEmpty, so countCol_ is not 0 below.
    if (IsEmpty(index))
        return;
    const int row = index / countCol_, col = index % countCol_;
    if (row >= countRow_)
        return;
    const int w = image_->Width(), h = image_->Height();
    rect = {::MulDiv(col, w, countCol_), ::MulDiv(row, h, countRow_), ::MulDiv(col + 1, w, countCol_),
            ::MulDiv(row + 1, h, countRow_)};
}

void TMatrixImagePack::GetImage(TPicture& picture, int index)
{
    picture.SetGraphic(nullptr);
    const RECT src = ImageRect(index);
    if (IsEmptyRect(src))
        return;
    TGraphic* graphic = image_->Graphic();
    if (countCol_ == 1 && countRow_ == 1) {
        picture.SetGraphic(graphic);
        return;
    }
    TBitmap& cell = picture.Bitmap();
    if (IsPaletteDevice()) {
        cell.SetPixelFormat(TPixelFormat::pf8bit);  // with the halftone colours
        // A picture without colours of its own keeps the halftone ones.
        if (HPALETTE own = graphic->Palette())
            cell.SetPalette(CopyPalette(own));
    }
    cell.SetWidth(RectWidth(src));
    cell.SetHeight(RectHeight(src));
    cell.Canvas().Render(-src.left, -src.top, graphic);
}

void TMatrixImagePack::RenderScaled(TCanvas& canvas, const RECT& rect, int index)
{
    const RECT src = ImageRect(index);
    if (TBitmap* bitmap = As<TBitmap>(image_->Graphic()); bitmap && !IsEmptyRect(src)) {
        StretchDrawPart(canvas, rect, *bitmap, src);
        return;
    }
    TImagePack::RenderScaled(canvas, rect, index);
}

void TMatrixImagePack::DeclareStored(TFiler& filer)
{
    TImagePack::DeclareStored(filer);
    filer.DefineObject(L"ImageLoader", imageLoader_.get());
    filer.DefineObject(L"Image", image_.get());
    filer.DefineInteger(L"CountCol", [this] { return countCol_; }, [this](int32_t v) { SetCountCol(v); }, 1);
    filer.DefineInteger(L"CountRow", [this] { return countRow_; }, [this](int32_t v) { SetCountRow(v); }, 1);
}
