// The windowed control of the image library that paints its own background with a brush,
// can let its parent show through, repaints fully on every move or resize, and paints with
// the library's default palette on palette screens.
#pragma once
#include <windows.h>

#include <memory>

#include "toolkit/graphics/DrawingTools.h"
#include "toolkit/windows/CustomControl.h"

// A brush whose colour and style are always stored, whatever they are: a layout shows the
// background it gives a control. New: white, solid.
class TNoDefaultBrush : public TBrush {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    void DeclareStored(TFiler& filer) override;
};

class TOriginalControl : public TCustomControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    // 75 x 25, white solid brush, FullRepaint, not transparent, no colour from the parent.
    explicit TOriginalControl(TComponent* owner);
    ~TOriginalControl() override;

    TNoDefaultBrush& Brush() { return *brush_; }
    // Takes the colour and style of `brush`.
    void SetBrush(TBrush* brush);
    // While set, every move or resize repaints the whole control.
    bool FullRepaint() const { return fullRepaint_; }
    void SetFullRepaint(bool value) { fullRepaint_ = value; }
    // While set, the window has WS_EX_TRANSPARENT, paints no background, and a repaint
    // also repaints its area of the parent.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);

    void RequestRepaint() override;
    void PaintToDC(HDC dc) override;
    // The library's default palette.
    HPALETTE QueryPalette() override;

    // After the bounds: Brush, FullRepaint, Transparent, then the toolkit's Align,
    // DragCursor, DragMode, Enabled, ParentShowHint, PopupMenu, ShowHint, TabOrder, TabStop,
    // Visible with the toolkit's defaults.
    void DeclareStored(TFiler& filer) override;

protected:
    void FillWindowParams(TCreateParams& params) override;
    // The brush changed: repaint.
    virtual void BrushNotice();
    LRESULT WMWindowPosChanged(WPARAM wparam, LPARAM lparam) override;
    // Swallowed: PaintControl paints the background, each pixel once.
    LRESULT WMEraseBkgnd(WPARAM wparam, LPARAM lparam) override;

private:
    std::unique_ptr<TNoDefaultBrush> brush_;
    bool fullRepaint_ = false;
    bool transparent_ = false;
};
