#include "toolkit/windows/Controls.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/windows/Forms.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TControl::Class{L"TControl", &TComponent::Class, nullptr};
constinit const TClass TWinControl::Class{L"TWinControl", &TControl::Class, nullptr};

wchar_t UpperChar(wchar_t c)
{
    ::CharUpperBuffW(&c, 1);
    return c;
}

// ---------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl()
{
    if (parent_)
        parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent_ == parent)
        return;
    if (parent_)
        parent_->RemoveControl(this);
    if (parent)
        parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    if (!IsWindowed())
        RequestRepaint();
    RecordBounds(left, top, width, height);
    if (!IsWindowed())
        RequestRepaint();
    BoundsChanged();
}

void TControl::RecordBounds(int left, int top, int width, int height)
{
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

void TControl::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    VisibleChanged();
    if (align_ != TAlign::alNone && parent_)
        parent_->AlignControls();
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    EnabledChanged();
}

void TControl::SetCaption(const std::wstring& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    CaptionChanged();
}

TForm* TControl::ParentForm() const
{
    const TControl* c = this;
    while (c->Parent())
        c = c->Parent();
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::RequestRepaint()
{
    if (parent_ && parent_->HandleAllocated()) {
        RECT r = BoundsRect();
        ::InvalidateRect(parent_->Handle(), &r, TRUE);
    }
}

void TControl::MouseMessage(UINT message, WPARAM wparam, int x, int y)
{
    TMouseButton button;
    switch (message) {
    case WM_LBUTTONUP: button = TMouseButton::mbLeft; break;
    case WM_RBUTTONUP: button = TMouseButton::mbRight; break;
    case WM_MBUTTONUP: button = TMouseButton::mbMiddle; break;
    default: return;
    }
    if (OnMouseUp)
        OnMouseUp(this, button, static_cast<TShiftState>(wparam), x, y);
}

wchar_t TControl::Accelerator() const
{
    for (size_t i = 0; i + 1 < caption_.size(); ++i) {
        if (caption_[i] == L'&') {
            if (caption_[i + 1] != L'&')
                return UpperChar(caption_[i + 1]);
            ++i;
        }
    }
    return 0;
}

void TControl::VisibleChanged() { RequestRepaint(); }
void TControl::EnabledChanged() { RequestRepaint(); }
void TControl::CaptionChanged() { RequestRepaint(); }

// ---------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner), color_(::GetSysColor(COLOR_BTNFACE)) {}

TWinControl::~TWinControl()
{
    // Children outlive nothing of ours: they are owned elsewhere, so only unlink them.
    for (TControl* c : std::vector<TControl*>(controls_))
        c->SetParent(nullptr);
    DestroyHandle();
}

void TWinControl::DestroyHandle()
{
    if (handle_)
        ::DestroyWindow(handle_);
    handle_ = nullptr;
}

HWND TWinControl::Handle()
{
    if (!handle_) {
        if (Parent() && !Parent()->HandleAllocated()) {
            Parent()->Handle();  // creates this control too, among the parent's children
            if (handle_)
                return handle_;
        }
        CreateWnd();
    }
    return handle_;
}

void TWinControl::InsertControl(TControl* control)
{
    controls_.push_back(control);
    control->TControl::parent_ = this;
    if (auto* win = dynamic_cast<TWinControl*>(control); win && win->parentColor_)
        win->ApplyColor(color_);
    if (control->Align() != TAlign::alNone)
        AlignControls();
    if (HandleAllocated()) {
        if (auto* win = dynamic_cast<TWinControl*>(control))
            win->Handle();
        else
            control->RequestRepaint();
    }
}

void TWinControl::RemoveControl(TControl* control)
{
    control->RequestRepaint();
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    control->TControl::parent_ = nullptr;
    if (auto* win = dynamic_cast<TWinControl*>(control))
        win->DestroyHandle();
}

void TWinControl::FillWindowParams(TCreateParams& params)
{
    params.className = kToolkitWindowClass;
    params.ownClass = true;
    params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (tabStop_)
        params.style |= WS_TABSTOP;
    if (Visible())
        params.style |= WS_VISIBLE;
    if (!Enabled())
        params.style |= WS_DISABLED;
    params.x = Left();
    params.y = Top();
    params.width = Width();
    params.height = Height();
    params.parent = Parent() ? Parent()->Handle() : nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    if (left == Left() && top == Top() && width == Width() && height == Height())
        return;
    // A child window's bounds are recorded while it moves (WMWindowPosChanged), so its
    // handlers still see the old ones before that.
    if (handle_)
        ::SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RecordBounds(left, top, width, height);
    BoundsChanged();
}

void TWinControl::SetFocus()
{
    ::SetFocus(Handle());
}

bool TWinControl::Focused() const
{
    return handle_ && ::GetFocus() == handle_;
}

void TWinControl::RequestRepaint()
{
    // A control that covers its whole area needs nothing erased behind it.
    if (handle_)
        ::InvalidateRect(handle_, nullptr, !(ControlStyle & csOpaque));
}

void TWinControl::Repaint()
{
    if (handle_) {
        ::InvalidateRect(handle_, nullptr, TRUE);
        ::UpdateWindow(handle_);
    }
}

LRESULT TWinControl::Perform(UINT message, WPARAM wparam, LPARAM lparam)
{
    return ::SendMessageW(Handle(), message, wparam, lparam);
}

void TWinControl::VisibleChanged()
{
    if (handle_)
        ::ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged()
{
    if (handle_)
        ::EnableWindow(handle_, Enabled());
}

void TWinControl::CaptionChanged()
{
    if (handle_)
        ::SetWindowTextW(handle_, Caption().c_str());
}
