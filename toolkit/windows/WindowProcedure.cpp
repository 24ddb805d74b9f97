// Window classes, the making of windows, and the toolkit's one window procedure with the
// guard that keeps every error inside it.
#include <algorithm>
#include <exception>

#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/windows/Forms.h"

namespace {
constexpr const wchar_t* kControlProp = L"TkControl";

// Registers the toolkit's window class of this class style once; returns its name. The
// plain style keeps the plain name.
std::wstring RegisterWindowClass(const std::wstring& baseName, UINT classStyle, WNDPROC proc)
{
    static std::vector<std::wstring> registered;
    std::wstring name = baseName;
    if (classStyle != CS_DBLCLKS) {
        wchar_t suffix[16];
        ::wsprintfW(suffix, L".%X", classStyle);
        name += suffix;
    }
    if (std::find(registered.begin(), registered.end(), name) != registered.end())
        return name;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
    wc.lpszClassName = name.c_str();
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EOSError(L"ｳｨﾝﾄﾞｳ ｸﾗｽを登録できません");
    registered.push_back(name);
    return name;
}

// The child window a notification to its parent comes from.
HWND NotifyingChild(UINT message, LPARAM lparam)
{
    switch (message) {
    case WM_DRAWITEM: return reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem;
    case WM_NOTIFY: return reinterpret_cast<const NMHDR*>(lparam)->hwndFrom;
    default: return reinterpret_cast<HWND>(lparam);  // WM_COMMAND and WM_CTLCOLOR*
    }
}

// One EndPaint for each BeginPaint, on every path.
class TPaintSession {
public:
    explicit TPaintSession(HWND wnd) : wnd_(wnd), dc_(::BeginPaint(wnd, &ps_)) {}
    ~TPaintSession() { ::EndPaint(wnd_, &ps_); }
    TPaintSession(const TPaintSession&) = delete;
    TPaintSession& operator=(const TPaintSession&) = delete;
    HDC DC() const { return dc_; }

private:
    HWND wnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

int NextControlId()
{
    static int id = 1000;
    return ++id;
}
}  // namespace

TWinControl* TWinControl::FromHandle(HWND wnd)
{
    return wnd ? static_cast<TWinControl*>(::GetPropW(wnd, kControlProp)) : nullptr;
}


void TWinControl::CreateWnd()
{
    TCreateParams p;
    FillWindowParams(p);
    if (p.ownClass)
        p.className = RegisterWindowClass(p.className, p.classStyle, StaticWndProc);
    HMENU id = (p.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId())) : nullptr;
    HWND wnd = ::CreateWindowExW(p.exStyle, p.className.c_str(), Caption().c_str(), p.style, p.x, p.y, p.width,
                                 p.height, p.parent, id, ::GetModuleHandleW(nullptr), this);
    if (!wnd)
        throw EOSError(L"ｳｨﾝﾄﾞｳを作成できません");
    if (!p.ownClass) {
        handle_ = wnd;
        ::SetPropW(wnd, kControlProp, this);
        oldProc_ = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    }
    ::SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    AfterCreateWnd();
    CreateChildHandles();
}

void TWinControl::RecreateWnd()
{
    if (!handle_)
        return;
    // The new window takes the old one's place in the z-order: under the same sibling.
    HWND above = ::GetWindow(handle_, GW_HWNDPREV);
    const bool focused = Focused();
    DestroyHandle();
    CreateWnd();
    ::SetWindowPos(handle_, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (focused)
        ::SetFocus(handle_);
}

void TWinControl::CreateChildHandles()
{
    // Windows are created in tab order, so the window order is the tab order.
    std::vector<TWinControl*> children;
    for (TControl* c : controls_)
        if (auto* win = dynamic_cast<TWinControl*>(c))
            children.push_back(win);
    std::stable_sort(children.begin(), children.end(),
                     [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
    for (TWinControl* child : children)
        child->Handle();
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->handle_ = wnd;
        ::SetPropW(wnd, kControlProp, self);
    }
    if (TWinControl* self = FromHandle(wnd))
        return self->Dispatch(wnd, message, wparam, lparam);
    return ::DefWindowProcW(wnd, message, wparam, lparam);
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (TWinControl* self = FromHandle(wnd))
        return self->Dispatch(wnd, message, wparam, lparam);
    return ::DefWindowProcW(wnd, message, wparam, lparam);
}

LRESULT TWinControl::Dispatch(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    // No error ever crosses the window procedure: it goes to the application's handling.
    try {
        return WndProc(message, wparam, lparam);
    } catch (...) {
        Application().HandleCurrentException();
    }
    (void)wnd;
    return 0;
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (oldProc_)
        return ::CallWindowProcW(oldProc_, handle_, message, wparam, lparam);
    return ::DefWindowProcW(handle_, message, wparam, lparam);
}

LRESULT TWinControl::WndProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    const bool own = oldProc_ == nullptr;
    switch (message) {
    case WM_PAINT:
        if (own) {
            // The non-windowed children are painted even when the window's own painting
            // fails; its error then goes on to the guard, after EndPaint.
            const TPaintSession paint(handle_);
            std::exception_ptr failure;
            try {
                PaintWindow(paint.DC());
            } catch (...) {
                failure = std::current_exception();
            }
            PaintControls(paint.DC());
            if (failure)
                std::rethrow_exception(failure);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return WMEraseBkgnd(wparam, lparam);
    case WM_WINDOWPOSCHANGED:
        return WMWindowPosChanged(wparam, lparam);
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
    case WM_NOTIFY:
        // What a child control tells its parent goes back to the child's own object.
        if (TWinControl* child = FromHandle(NotifyingChild(message, lparam))) {
            bool handled = false;
            LRESULT r = child->ParentNotify(message, wparam, lparam, handled);
            if (handled)
                return r;
        }
        break;
    case WM_SETFOCUS:
        if (TForm* form = ParentForm(); form && form != this)
            form->FocusChanged(this);
        if (OnEnter)
            OnEnter(this);
        break;
    case WM_KILLFOCUS:
        if (OnExit)
            OnExit(this);
        break;
    case WM_UPDATEUISTATE:
        // Labels painted here show their access keys by this window's state.
        if (own && (HIWORD(wparam) & UISF_HIDEACCEL)) {
            const LRESULT r = DefaultHandler(message, wparam, lparam);
            for (TControl* c : controls_)
                if (!c->IsWindowed() && c->Accelerator())
                    c->RequestRepaint();
            return r;
        }
        break;
    case WM_NCDESTROY: {
        LRESULT r = DefaultHandler(message, wparam, lparam);
        ::RemovePropW(handle_, kControlProp);
        if (oldProc_)
            ::SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
        oldProc_ = nullptr;
        handle_ = nullptr;
        return r;
    }
    default:
        if (own && message >= WM_MOUSEFIRST && message <= WM_MOUSEWHEEL && RouteMouse(message, wparam, lparam))
            return 0;
        break;
    }
    return DefaultHandler(message, wparam, lparam);
}

LRESULT TWinControl::WMEraseBkgnd(WPARAM wparam, LPARAM lparam)
{
    if (oldProc_)
        return DefaultHandler(WM_ERASEBKGND, wparam, lparam);
    if (color_ != clNone) {
        if (!brush_)
            brush_.reset(::CreateSolidBrush(ColorToRGB(color_)));
        RECT r;
        ::GetClientRect(handle_, &r);
        ::FillRect(reinterpret_cast<HDC>(wparam), &r, brush_.get());
    }
    return 1;
}

LRESULT TWinControl::WMWindowPosChanged(WPARAM wparam, LPARAM lparam)
{
    // A top-level window keeps the bounds it was given (its form sizes it by its client area),
    // and so does a system control, whose window may differ from them (a combo box's list).
    const auto& pos = *reinterpret_cast<const WINDOWPOS*>(lparam);
    if (!oldProc_ && (::GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD)) {
        const bool move = !(pos.flags & SWP_NOMOVE), size = !(pos.flags & SWP_NOSIZE);
        RecordBounds(move ? pos.x : Left(), move ? pos.y : Top(), size ? pos.cx : Width(), size ? pos.cy : Height());
    }
    return DefaultHandler(WM_WINDOWPOSCHANGED, wparam, lparam);
}

bool TWinControl::RouteMouse(UINT message, WPARAM wparam, LPARAM lparam)
{
    POINT pt{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
    if (message == WM_MOUSEWHEEL)
        ::ScreenToClient(handle_, &pt);
    // The most recently inserted control lies on top.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (c->IsWindowed() || !c->Visible() || !c->Enabled())
            continue;
        RECT r = c->BoundsRect();
        if (!::PtInRect(&r, pt) || !c->HitTest(pt.x - c->Left(), pt.y - c->Top()))
            continue;
        c->MouseMessage(message, wparam, pt.x - c->Left(), pt.y - c->Top());
        return true;
    }
    return false;
}

void TWinControl::PaintControls(HDC dc)
{
    for (TControl* c : std::vector<TControl*>(controls_)) {
        if (c->IsWindowed() || !c->Visible())
            continue;
        int saved = ::SaveDC(dc);
        ::SetViewportOrgEx(dc, c->Left(), c->Top(), nullptr);
        ::IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
        c->Paint(dc);
        ::RestoreDC(dc, saved);
    }
}

LRESULT TWinControl::ParentNotify(UINT message, WPARAM, LPARAM lparam, bool& handled)
{
    handled = message == WM_DRAWITEM;
    if (!handled)
        return 0;
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    return TRUE;
}

