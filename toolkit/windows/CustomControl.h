// The windowed custom control: a window of the toolkit's own class that a derived class
// paints through a canvas and that reports the mouse and the focus as events.
#pragma once
#include <windows.h>

#include <memory>

#include "toolkit/graphics/Canvas.h"
#include "toolkit/windows/Controls.h"

// Painting: WM_PAINT hands the paint DC to PaintToDC, which binds the canvas to it, calls
// PaintControl (which draws nothing here) and unbinds it again, also when drawing fails.
// The window class redraws the whole window on every resize (CS_HREDRAW, CS_VREDRAW) unless
// a derived class takes those out in FillWindowParams.
//
// Mouse: button presses give OnMouseDown (capturing the mouse while csCaptureMouse), moves
// OnMouseMove, releases OnMouseUp and, for the left button released inside the control
// under csClickEvents, OnClick. A double click of the left button gives OnDblClick under
// csDoubleClicks, else it counts as a press. The focus gives OnEnter and OnExit.
class TCustomControl : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    // Colour from the parent (ParentColor) and csAcceptsControls beside the usual styles.
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;

    // Bound to a device context only while the control paints.
    TCanvas& Canvas() { return *canvas_; }

    virtual void PaintToDC(HDC dc);

protected:
    virtual void PaintControl() {}

    void FillWindowParams(TCreateParams& params) override;
    void PaintWindow(HDC dc) override { PaintToDC(dc); }
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    bool MouseEvent(UINT message, WPARAM wparam, LPARAM lparam);

    std::unique_ptr<TCanvas> canvas_;
    bool leftDown_ = false;  // the left button went down in this control
};
