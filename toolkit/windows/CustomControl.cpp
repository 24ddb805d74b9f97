#include "toolkit/windows/CustomControl.h"

#include <windowsx.h>

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TCustomControl::Class{L"TCustomControl", &TWinControl::Class, nullptr};

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(std::make_unique<TCanvas>())
{
    ControlStyle |= csAcceptsControls;
    SetParentColor(true);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::FillWindowParams(TCreateParams& params)
{
    TWinControl::FillWindowParams(params);
    params.classStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TCustomControl::PaintToDC(HDC dc)
{
    struct Binding {
        TCanvas& canvas;
        Binding(TCanvas& c, HDC dc) : canvas(c) { canvas.AttachHandle(dc); }
        ~Binding() { canvas.AttachHandle(nullptr); }
    } binding(*canvas_, dc);
    PaintControl();
}

LRESULT TCustomControl::WndProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK && !RouteMouse(message, wparam, lparam) &&
        MouseEvent(message, wparam, lparam))
        return 0;
    if (message == WM_CAPTURECHANGED)
        leftDown_ = false;
    return TWinControl::WndProc(message, wparam, lparam);
}

bool TCustomControl::MouseEvent(UINT message, WPARAM wparam, LPARAM lparam)
{
    const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);
    const auto shift = static_cast<TShiftState>(wparam);
    TMouseButton button = TMouseButton::mbLeft;
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK: button = TMouseButton::mbRight; break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK: button = TMouseButton::mbMiddle; break;
    default: break;
    }
    switch (message) {
    case WM_MOUSEMOVE:
        if (OnMouseMove)
            OnMouseMove(this, shift, x, y);
        return true;
    case WM_LBUTTONDBLCLK:
        if (ControlStyle & csDoubleClicks) {
            if (OnDblClick)
                OnDblClick(this);
            return true;
        }
        [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        if (ControlStyle & csCaptureMouse)
            ::SetCapture(Handle());
        if (button == TMouseButton::mbLeft)
            leftDown_ = true;
        if (OnMouseDown)
            OnMouseDown(this, button, shift, x, y);
        return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const bool click = button == TMouseButton::mbLeft && leftDown_;
        leftDown_ = false;
        if (::GetCapture() == Handle())
            ::ReleaseCapture();
        if (OnMouseUp)
            OnMouseUp(this, button, shift, x, y);
        const RECT client = ClientRect();
        const POINT at{x, y};
        if (click && (ControlStyle & csClickEvents) && ::PtInRect(&client, at) && OnClick)
            OnClick(this);
        return true;
    }
    default:
        return false;
    }
}
