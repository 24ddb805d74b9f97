// The canvas: drawing on a device context with a font, a pen and a brush.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Persistent.h"
#include "toolkit/graphics/Colors.h"
#include "toolkit/graphics/DrawingTools.h"

class TGraphic;

// A canvas draws on a device context it gets through the virtual AcquireDC (a bitmap's
// canvas makes a memory DC, the printer's takes the printer's DC) or that is attached from
// outside. The font, pen and brush are selected when an operation needs them; attaching
// another device context first selects back what they displaced in the old one, so none of
// them stays selected in a device context the canvas no longer draws on.
class TCanvas : public TPersistent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TCanvas();
    ~TCanvas() override;

    // The device context; AcquireDC is asked for one when there is none.
    HDC Handle();
    bool HandleAllocated() const { return dc_ != nullptr; }
    // Draws on `dc` from now on (null: on nothing). The tools leave the old one first.
    void AttachHandle(HDC dc);

    TFont& Font() { return *font_; }
    TPen& Pen() { return *pen_; }
    TBrush& Brush() { return *brush_; }

    // The raster operation with which graphics are copied onto this canvas.
    DWORD CopyMode() const { return copyMode_; }
    void SetCopyMode(DWORD mode) { copyMode_ = mode; }

    // The device context's own settings.
    int StretchMode() { return ::GetStretchBltMode(Handle()); }
    void SetStretchMode(int mode) { ::SetStretchBltMode(Handle(), mode); }
    COLORREF BackgroundColor() { return ::GetBkColor(Handle()); }
    void SetBackgroundColor(TColor color) { ::SetBkColor(Handle(), ColorToRGB(color)); }
    COLORREF TextColor() { return ::GetTextColor(Handle()); }
    void SetTextColor(TColor color) { ::SetTextColor(Handle(), ColorToRGB(color)); }
    // The smallest rectangle around what can be drawn on, in logical units.
    RECT ClipRect();

    COLORREF Pixel(int x, int y) { return ::GetPixel(Handle(), x, y); }
    void SetPixel(int x, int y, TColor color);

    void FillRect(const RECT& rect);
    void Rectangle(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::wstring& text);
    SIZE TextExtent(const std::wstring& text);

    // Lets the graphic draw itself at (x, y) in its own size, or scaled into `rect`.
    void Render(int x, int y, TGraphic* graphic);
    void RenderScaled(const RECT& rect, TGraphic* graphic);

    // Holds other threads off this canvas; nests.
    void Lock();
    void Unlock();
    int LockCount() const { return lockCount_; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    // Virtual operations after those of the persistent base, in this order.
    virtual void NotifyChanged();
    virtual void Changing();
    // Supplies a device context through AttachHandle; the base has none to give.
    virtual void AcquireDC() {}

protected:
    // Selects what is asked for and not yet selected.
    void RequireTools(bool font, bool pen, bool brush);
    void DeselectTools();

private:
    void ToolChanged();

    HDC dc_ = nullptr;
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TPen> pen_;
    std::unique_ptr<TBrush> brush_;
    // What our tools displaced in dc_, selected back by DeselectTools; null: not selected.
    HGDIOBJ oldFont_ = nullptr;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
    DWORD copyMode_ = SRCCOPY;
    CriticalSection lock_;
    int lockCount_ = 0;
};
