// The image pack of one picture cut into a grid: CountCol x CountRow cells numbered row by
// row, whose edges fall on rounded fractions of the picture, so neighbouring cells share
// their edges and cell sizes differ by one pixel at most.
#pragma once
#include <memory>

#include "imaging/UImagePack.h"
#include "imaging/UPictureEX.h"

class TMatrixImagePack : public TImagePack {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TMatrixImagePack(TComponent* owner);
    ~TMatrixImagePack() override;

    // Neither count is checked: zero or negative counts leave every cell empty. A new value
    // tells the clients; the same value does nothing.
    int CountCol() const { return countCol_; }
    void SetCountCol(int value);
    int CountRow() const { return countRow_; }
    void SetCountRow(int value);

    // Owned; writing copies into the owned objects, which are never replaced.
    TPictureEx& Image() { return *image_; }
    void SetImage(TPicture& source);
    TResourceImageLoader& ImageLoader() { return *imageLoader_; }
    void SetImageLoader(TResourceImageLoader& source);

    // Loads the picture now (the loader's AutoLoad is on by default), then lets later
    // changes of the loader's settings reload at once. Load errors pass on.
    void AfterLoad() override;

    int QueryCount() const override;
    void GetImageRect(int index, RECT& rect) const override;
    // The whole graphic, of whatever class, for a 1 x 1 grid; else a bitmap of the cell.
    void GetImage(TPicture& picture, int index) override;
    // A cell of a bitmap is drawn straight from the picture, without a copy.
    void RenderScaled(TCanvas& canvas, const RECT& rect, int index) override;
    // Also true while the picture holds nothing.
    bool IsEmpty(int index) const override;

    // ImageLoader, Image, CountCol, CountRow.
    void DeclareStored(TFiler& filer) override;

private:
    void ImageChanged(TObject* sender);

    std::unique_ptr<TPictureEx> image_;
    std::unique_ptr<TResourceImageLoader> imageLoader_;
    int countCol_ = 1;
    int countRow_ = 1;
};
