// A pack for the image controls' tests: `Images` images, each the whole of one bitmap of a
// single colour. It counts its draws, notes the palette selected while it draws, and can be
// made to fail drawing.
#pragma once
#include <windows.h>

#include "imaging/UImagePack.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/Picture.h"

class TTestPack : public TImagePack {
public:
    TTestPack(TComponent* owner, int width, int height, COLORREF color = kBlue) : TImagePack(owner)
    {
        Paint(width, height, color);
    }

    // A new picture, announced as every pack announces a change.
    void Paint(int width, int height, COLORREF color)
    {
        Picture.SetPixelFormat(TPixelFormat::pf24bit);
        Picture.SetSize(width, height);
        Picture.Canvas().Brush().SetColor(color);
        Picture.Canvas().FillRect({0, 0, width, height});
        NotifyChanged();
    }

    int QueryCount() const override { return Images; }
    void GetImageRect(int index, RECT& rect) const override
    {
        rect = IsEmpty(index) ? RECT{} : RECT{0, 0, Picture.Width(), Picture.Height()};
    }
    void GetImage(TPicture& picture, int index) override { picture.SetGraphic(IsEmpty(index) ? nullptr : &Picture); }
    void RenderScaled(TCanvas& canvas, const RECT& rect, int index) override
    {
        ++Draws;
        PaletteWhileDrawing = static_cast<HPALETTE>(::GetCurrentObject(canvas.Handle(), OBJ_PAL));
        if (FailDrawing)
            throw EImagePack(L"drawing failed");
        TImagePack::RenderScaled(canvas, rect, index);
    }

    TBitmap Picture;
    int Images = 1;
    int Draws = 0;
    bool FailDrawing = false;
    HPALETTE PaletteWhileDrawing = nullptr;
};
