// Controls: non-windowed controls painted by their parent, and windowed controls that own
// a window. The one window procedure of the toolkit lives here, with the guard that keeps
// every error inside it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/core/Components.h"
#include "toolkit/graphics/Colors.h"

class TWinControl;
class TForm;


// Upper case of one character, as the system compares accelerators.
wchar_t UpperChar(wchar_t c);

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;  // MK_* flags of the message
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;

class TControl : public TComponent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);

    // The form this control lies on, or null.
    TForm* ParentForm() const;
    virtual bool IsWindowed() const { return false; }
    virtual void Invalidate();

    // Non-windowed controls: painting in their own coordinates, and mouse input routed to
    // them by the windowed parent.
    virtual void Paint(HDC) {}
    virtual bool HitTest(int, int) const { return true; }
    virtual void MouseMessage(UINT message, WPARAM wparam, int x, int y);

    // The accelerator character of the caption ("&F"), or 0.
    wchar_t Accelerator() const;
    // Runs when the user presses Alt with this control's accelerator.
    virtual bool AcceleratorPressed() { return false; }

    TMouseEvent OnMouseUp;

protected:
    virtual void VisibleChanged();
    virtual void EnabledChanged();
    virtual void CaptionChanged();
    virtual void BoundsChanged() {}

private:
    friend class TWinControl;
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::wstring caption_;
};

// Window-creation parameters a windowed control fills in before its window is made.
struct TCreateParams {
    std::wstring className;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    // Own window classes use the toolkit's procedure; system classes are subclassed.
    bool ownClass = true;
};

class TWinControl : public TControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The window, created on demand together with the parents it needs.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    bool IsWindowed() const override { return true; }

    const std::vector<TControl*>& Controls() const { return controls_; }
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order) { tabOrder_ = order; }
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool stop) { tabStop_ = stop; }

    COLORREF Color() const { return color_; }
    void SetColor(COLORREF color);

    void SetBounds(int left, int top, int width, int height) override;
    void SetFocus();
    bool Focused() const;
    void Invalidate() override;
    void Repaint();

    // Sends a message to the window straight away (creating it if needed).
    LRESULT Perform(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

    // The control behind a window of this toolkit, or null.
    static TWinControl* FromHandle(HWND wnd);

protected:
    virtual void FillWindowParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void AfterCreateWnd() {}
    void DestroyHandle();

    // The message handler of this control; unhandled messages go to DefaultHandler.
    virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam);

    // Painting of own window classes: the control itself, then its non-windowed children.
    virtual void PaintWindow(HDC) {}
    void PaintControls(HDC dc);

    // Notifications a system control sends its parent, handed back to the control.
    virtual LRESULT ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled);
    // Owner-drawn controls paint an item (or themselves) here; the parent's WM_DRAWITEM.
    virtual void DrawItem(const DRAWITEMSTRUCT&) {}

    void VisibleChanged() override;
    void EnabledChanged() override;
    void CaptionChanged() override;

private:
    static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK SubclassProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Dispatch(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    bool RouteMouse(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateChildHandles();

    HWND handle_ = nullptr;
    WNDPROC oldProc_ = nullptr;
    std::vector<TControl*> controls_;
    int tabOrder_ = 0;
    bool tabStop_ = false;
    COLORREF color_;
    HBRUSH brush_ = nullptr;  // cache for color_, owned
};
