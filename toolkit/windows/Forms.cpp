#include "toolkit/windows/Forms.h"

#include <commctrl.h>


#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/windows/StandardControls.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TForm::Class{L"TForm", &TWinControl::Class, nullptr};

// ---------------------------------------------------------------------------------------
// TForm

TForm::TForm(TComponent* owner) : TWinControl(owner)
{
    SetLoading(true);
    SetVisible(false);
    SetCaption(ApplicationTitle());
}

TForm::~TForm()
{
    // Controls go first, while the form is still whole; then the window.
    DestroyComponents();
    DestroyHandle();
}

void TForm::FinishLoading()
{
    std::vector<TComponent*> created(Components());
    for (TComponent* c : created)
        c->AfterLoad();
    AfterLoad();
    if (OnCreate)
        OnCreate(this);
}

void TForm::SetClientSize(int width, int height)
{
    clientWidth_ = width;
    clientHeight_ = height;
    AlignControls();
    if (!HandleAllocated())
        return;
    TCreateParams p;
    FillWindowParams(p);
    RECT r = {0, 0, width, height};
    ::AdjustWindowRectEx(&r, p.style, FALSE, p.exStyle);
    ::SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::FillWindowParams(TCreateParams& params)
{
    params.className = kToolkitWindowClass;
    params.ownClass = true;
    params.style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    if (BorderIcons & biSystemMenu)
        params.style |= WS_SYSMENU;
    if (BorderStyle == TFormBorderStyle::bsDialog)
        params.exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    else
        params.style |= WS_BORDER;
    if (StayOnTop)
        params.exStyle |= WS_EX_TOPMOST;
    params.exStyle |= WS_EX_CONTROLPARENT;
    auto* ownerForm = dynamic_cast<TForm*>(Owner());
    params.parent = ownerForm ? ownerForm->Handle() : nullptr;
    if (!params.parent)
        params.exStyle |= WS_EX_APPWINDOW;
    RECT r = {0, 0, clientWidth_, clientHeight_};
    ::AdjustWindowRectEx(&r, params.style, FALSE, params.exStyle);
    params.width = r.right - r.left;
    params.height = r.bottom - r.top;
    params.x = CW_USEDEFAULT;
    params.y = CW_USEDEFAULT;
}

void TForm::CreateWnd()
{
    TWinControl::CreateWnd();
    // As the dialog manager does with a new dialog once its controls are there (Wine's
    // user32 tests record WM_CHANGEUISTATE right after WM_INITDIALOG on Windows, msg.c,
    // WmCreateDialogParamSeq_0 and WmModalDialogSeq): focus rectangles and access keys hidden
    // after a mouse click, shown after a key press, and always when the user asked for them.
    // Wine keeps no such state; its controls always show both.
    ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

void TForm::AfterCreateWnd()
{
    if (!(BorderIcons & biSystemMenu)) {
        // Without border icons the form cannot be closed by the user.
        if (HMENU menu = ::GetSystemMenu(Handle(), FALSE))
            ::EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    }
    CenterOnScreen();
}

void TForm::CenterOnScreen()
{
    RECT work, wnd;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(Handle(), &wnd);
    int w = wnd.right - wnd.left, h = wnd.bottom - wnd.top;
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    ::SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::VisibleChanged()
{
    if (Visible()) {
        ::ShowWindow(Handle(), SW_SHOWNORMAL);
        ::SetForegroundWindow(Handle());
    } else if (HandleAllocated()) {
        ::ShowWindow(Handle(), SW_HIDE);
    }
}

TModalResult TForm::ShowModal()
{
    if (modal_ || Visible())
        throw EInvalidOperation(L"可視ｳｨﾝﾄﾞｳをﾓｰﾀﾞﾙにできません");
    HWND wnd = Handle();
    HWND owner = ::GetWindow(wnd, GW_OWNER);
    const bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    if (owner)
        ::EnableWindow(owner, FALSE);
    modal_ = true;
    modalResult_ = mrNone;
    Application().PushModal(this);
    auto endModal = [&] {
        if (owner && ownerWasEnabled)
            ::EnableWindow(owner, TRUE);  // before hiding, so activation returns to the owner
        Hide();
        Application().PopModal(this);
        modal_ = false;
        if (owner)
            ::SetActiveWindow(owner);
    };
    try {
        Show();
        do {
            Application().HandleMessage();
            if (Application().Terminated())
                modalResult_ = mrCancel;
            if (modalResult_ != mrNone) {
                bool canClose = false;
                try {
                    canClose = CloseQuery();
                } catch (...) {
                    Application().HandleCurrentException();
                }
                if (!canClose && !Application().Terminated())
                    modalResult_ = mrNone;
            }
        } while (modalResult_ == mrNone);
    } catch (...) {
        endModal();
        throw;
    }
    endModal();
    return modalResult_;
}

bool TForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close()
{
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    Hide();
    if (Application().MainForm() == this)
        Application().Terminate();
}

void TForm::SetActiveControl(TWinControl* control)
{
    activeControl_ = control;
    if (control && HandleAllocated() && ::IsWindowVisible(Handle()) && ::GetActiveWindow() == Handle())
        control->SetFocus();
}

void TForm::FocusChanged(TWinControl* control)
{
    TWinControl* previous = activeControl_;
    activeControl_ = control;
    // The default button's frame depends on where the focus is.
    if (defaultButton_ && control != previous)
        defaultButton_->RequestRepaint();
}

LRESULT TForm::WndProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE) {
            TWinControl* target = activeControl_;
            if (target && target->HandleAllocated() && ::IsWindowVisible(target->Handle()) &&
                ::IsWindowEnabled(target->Handle())) {
                ::SetFocus(target->Handle());
            } else if (HWND first = ::GetNextDlgTabItem(Handle(), nullptr, FALSE)) {
                ::SetFocus(first);
            } else {
                ::SetFocus(Handle());
            }
            return 0;
        }
        break;
    case WM_QUERYNEWPALETTE:
        return RealizePalettes(true) ? TRUE : FALSE;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wparam) != Handle())
            RealizePalettes(false);
        return 0;
    default:
        break;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

namespace {
// Realises `palette` in the window's device context; repaints the window when that mapped
// entries anew.
void RealizeIn(HWND window, HPALETTE palette, bool background)
{
    WindowDC dc(window);
    const PaletteGuard select(dc.get(), palette, background);
    if (::RealizePalette(dc.get()) > 0)
        ::InvalidateRect(window, nullptr, FALSE);
}

bool RealizeControls(TWinControl& parent)
{
    bool any = false;
    for (TControl* c : parent.Controls()) {
        auto* win = dynamic_cast<TWinControl*>(c);
        if (!win || !win->HandleAllocated())
            continue;
        if (HPALETTE palette = win->QueryPalette()) {
            RealizeIn(win->Handle(), palette, true);
            any = true;
        }
        any = RealizeControls(*win) || any;
    }
    return any;
}
}  // namespace

bool TForm::RealizePalettes(bool foreground)
{
    if (!HandleAllocated())
        return false;
    HPALETTE own = QueryPalette();
    if (own)
        RealizeIn(Handle(), own, !foreground);
    return RealizeControls(*this) || own;
}

bool TForm::SelectNext(bool backwards)
{
    HWND next = ::GetNextDlgTabItem(Handle(), ::GetFocus(), backwards);
    if (!next)
        return false;
    ::SetFocus(next);
    return true;
}

TControl* TForm::FindAccelerator(TWinControl* parent, wchar_t key)
{
    for (TControl* c : parent->Controls()) {
        if (!c->Visible() || !c->Enabled())
            continue;
        if (c->Accelerator() == key)
            return c;
        if (auto* win = dynamic_cast<TWinControl*>(c))
            if (TControl* found = FindAccelerator(win, key))
                return found;
    }
    return nullptr;
}

// What IsDialogMessage does for keyboard use (msg.c, auto_radio_button_VK_UP_dialog: an
// arrow key it handles sends WM_CHANGEUISTATE, then WM_UPDATEUISTATE to each control); the
// top-level window hands the new state to all its windows.
void TForm::ShowKeyboardCues(WORD flags)
{
    ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, flags), 0);
}

bool TForm::DialogKey(const MSG& msg)
{
    auto wantsKey = [&](DWORD flag) {
        auto code = static_cast<DWORD>(
            ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)));
        return (code & (flag | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0;
    };
    if (msg.message == WM_KEYDOWN) {
        switch (msg.wParam) {
        case VK_TAB:
            if (::GetKeyState(VK_CONTROL) < 0 || wantsKey(DLGC_WANTTAB))
                return false;
            ShowKeyboardCues(UISF_HIDEFOCUS);
            return SelectNext(::GetKeyState(VK_SHIFT) < 0);
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            // The key goes on to the control all the same.
            if (!wantsKey(DLGC_WANTARROWS))
                ShowKeyboardCues(UISF_HIDEFOCUS);
            return false;
        case VK_RETURN: {
            if (wantsKey(0))
                return false;
            auto* focused = dynamic_cast<TButtonControl*>(FromHandle(::GetFocus()));
            TButtonControl* button = focused ? focused : defaultButton_;
            if (button && button->Visible() && button->Enabled()) {
                button->Click();
                return true;
            }
            return false;
        }
        case VK_ESCAPE:
            if (wantsKey(0))
                return false;
            if (cancelButton_ && cancelButton_->Visible() && cancelButton_->Enabled()) {
                cancelButton_->Click();
                return true;
            }
            return false;
        default:
            return false;
        }
    }
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_MENU) {
        ShowKeyboardCues(UISF_HIDEACCEL);
        return false;  // the system's own handling of Alt follows
    }
    if (msg.message == WM_SYSCHAR) {
        wchar_t key = UpperChar(static_cast<wchar_t>(msg.wParam));
        if (TControl* c = FindAccelerator(this, key)) {
            ShowKeyboardCues(UISF_HIDEFOCUS | UISF_HIDEACCEL);
            return c->AcceleratorPressed();
        }
    }
    return false;
}
