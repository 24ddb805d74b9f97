// The bitmap class: a device-independent bitmap section with its palette.
#pragma once
#include <windows.h>

#include <string>

#include "toolkit/core/Components.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Fonts.h"

// A picture held as a DIB section. Pixels of the colour of its bottom-left pixel count as
// transparent when it is drawn with a background colour.
class TBitmap : public TObject {
public:
    TBitmap() = default;

    // Loads a bitmap resource of a module as a DIB section, keeping its colour table as
    // the palette. A missing resource raises EResNotFound with the name.
    void LoadFromResourceName(HINSTANCE instance, const std::wstring& name);
    void Clear();

    bool Empty() const { return !bitmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    HBITMAP Handle() const { return bitmap_.get(); }
    HPALETTE Palette() const { return palette_.get(); }
    COLORREF TransparentColor() const { return transparent_; }

    // Draws at (x, y) in its own size, as it is.
    void Draw(HDC dc, int x, int y) const;
    // Draws at (x, y) in its own size; every pixel of the transparent colour is painted
    // in `background` instead.
    void DrawOn(HDC dc, int x, int y, COLORREF background) const;

    TNotifyEvent OnChange;

private:
    void Changed();

    unique_hbitmap bitmap_;
    unique_hpalette palette_;
    int width_ = 0;
    int height_ = 0;
    COLORREF transparent_ = CLR_INVALID;
};
