// Controls: non-windowed controls painted by their parent, and windowed controls that own
// a window. The one window procedure of the toolkit lives here, with the guard that keeps
// every error inside it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/core/Components.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Colors.h"

class TWinControl;
class TForm;


// Upper case of one character, as the system compares accelerators.
wchar_t UpperChar(wchar_t c);

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;  // MK_* flags of the message
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// Dragging between controls is not part of this program: these events are held, never fired.
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TDragDropEvent = std::function<void(TObject* sender, TObject* source, int x, int y)>;
using TDragOverEvent =
    std::function<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TEndDragEvent = std::function<void(TObject* sender, TObject* target, int x, int y)>;
using TStartDragEvent = std::function<void(TObject* sender, TObject*& dragObject)>;

// What a control class does with input and painting.
enum TControlStyleFlag : unsigned {
    csAcceptsControls = 1,  // other controls may lie on it
    csCaptureMouse = 2,     // keeps the mouse while a button is down
    csClickEvents = 4,      // a press and release inside it is a click
    csDoubleClicks = 8,     // a double click is a double click, not a second press
    csReplicatable = 16,    // may be drawn as an image of itself (held only)
    csOpaque = 32,          // covers its whole area: no need to erase behind it
};

// Where a control is laid out inside its parent: as placed, or along an edge of what the
// controls aligned before it have left, or over all of that.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TDragMode { dmManual, dmAutomatic };
inline constexpr int crDrag = -12;

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
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    // The area inside the control, in its own coordinates.
    virtual RECT ClientRect() const { return {0, 0, width_, height_}; }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);

    unsigned ControlStyle = csCaptureMouse | csClickEvents | csDoubleClicks;
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    // Held and stored, without effect: this program has no drag-and-drop, pop-up menus or
    // hints. ShowHint follows the parent's while ParentShowHint is set; setting it clears that.
    int DragCursor = crDrag;
    TDragMode DragMode = TDragMode::dmManual;
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value);
    bool ShowHint() const;
    void SetShowHint(bool value);
    TComponent* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TComponent* menu);

    // The form this control lies on, or null.
    TForm* ParentForm() const;
    virtual bool IsWindowed() const { return false; }
    // Asks for the control to be painted again.
    virtual void RequestRepaint();
    // The palette the control's pictures need realised, or null; its form realises it.
    virtual HPALETTE QueryPalette() { return nullptr; }

    // Non-windowed controls: painting in their own coordinates, and mouse input routed to
    // them by the windowed parent.
    virtual void Paint(HDC) {}
    virtual bool HitTest(int, int) const { return true; }
    virtual void MouseMessage(UINT message, WPARAM wparam, int x, int y);

    // The accelerator character of the caption ("&F"), or 0.
    wchar_t Accelerator() const;
    // Runs when the user presses Alt with this control's accelerator.
    virtual bool AcceleratorPressed() { return false; }

    // Left, Top, Width, Height.
    void DeclareStored(TFiler& filer) override;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TDragDropEvent OnDragDrop;
    TDragOverEvent OnDragOver;
    TEndDragEvent OnEndDrag;
    TStartDragEvent OnStartDrag;

protected:
    virtual void VisibleChanged();
    virtual void EnabledChanged();
    virtual void CaptionChanged();
    virtual void BoundsChanged() {}
    void ComponentNotice(TComponent* component, TOperation operation) override;
    // Records new bounds without moving anything: the window has already moved.
    void RecordBounds(int left, int top, int width, int height);

private:
    friend class TWinControl;
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::wstring caption_;
    TAlign align_ = TAlign::alNone;
    bool parentShowHint_ = true;
    bool showHint_ = false;
    TComponent* popupMenu_ = nullptr;
};

// The name of the toolkit's own window class (with a suffix for other class styles).
inline constexpr const wchar_t* kToolkitWindowClass = L"TkWindow";

// Window-creation parameters a windowed control fills in before its window is made.
struct TCreateParams {
    std::wstring className;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    // Own window classes use the toolkit's procedure; system classes are subclassed.
    bool ownClass = true;
    // The window-class style (CS_*) of an own class; each style gets a class of its own.
    UINT classStyle = CS_DBLCLKS;
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

    // Setting a colour clears ParentColor; while ParentColor is set the colour is the parent's.
    COLORREF Color() const { return color_; }
    void SetColor(COLORREF color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);

    void SetBounds(int left, int top, int width, int height) override;
    void SetFocus();
    bool Focused() const;
    void RequestRepaint() override;
    void Repaint();
    // Lays out the children whose Align is not alNone, in the order top, bottom, left,
    // right, client; each kind in the order the children were inserted.
    void AlignControls();

    // Sends a message to the window straight away (creating it if needed).
    LRESULT Perform(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

    // The control behind a window of this toolkit, or null.
    static TWinControl* FromHandle(HWND wnd);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    virtual void FillWindowParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void AfterCreateWnd() {}
    void DestroyHandle();
    // Makes the window again from new creation parameters, in the same place among its
    // siblings; its children's windows are made again with it. Nothing happens without one.
    void RecreateWnd();

    // The message handler of this control; unhandled messages go to DefaultHandler.
    virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam);
    // The window was moved or sized: a child window's bounds are recorded from it.
    virtual LRESULT WMWindowPosChanged(WPARAM wparam, LPARAM lparam);
    // Own classes fill the background with Color (none for clNone) and answer 1.
    virtual LRESULT WMEraseBkgnd(WPARAM wparam, LPARAM lparam);
    // Mouse messages for the non-windowed children; true when one took it.
    bool RouteMouse(UINT message, WPARAM wparam, LPARAM lparam);

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
    void BoundsChanged() override { AlignControls(); }

private:
    static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK SubclassProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Dispatch(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    void CreateChildHandles();
    // Takes the colour without clearing ParentColor, and hands it to children that follow it.
    void ApplyColor(COLORREF color);

    HWND handle_ = nullptr;
    WNDPROC oldProc_ = nullptr;
    std::vector<TControl*> controls_;
    int tabOrder_ = 0;
    bool tabStop_ = false;
    COLORREF color_;
    bool parentColor_ = false;
    unique_hbrush brush_;  // made from color_ when first needed
    bool aligning_ = false;
};
