#include "toolkit/windows/StandardControls.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "toolkit/graphics/Fonts.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TLabel::Class{L"TLabel", &TControl::Class, nullptr};
constinit const TClass TEdit::Class{L"TEdit", &TWinControl::Class, nullptr};
constinit const TClass TButtonControl::Class{L"TButtonControl", &TWinControl::Class, nullptr};
constinit const TClass TButton::Class{L"TButton", &TButtonControl::Class, nullptr};
constinit const TClass TBitBtn::Class{L"TBitBtn", &TButtonControl::Class, nullptr};
constinit const TClass TPanel::Class{L"TPanel", &TWinControl::Class, nullptr};
constinit const TClass TBevel::Class{L"TBevel", &TControl::Class, nullptr};
constinit const TClass TProgressBar::Class{L"TProgressBar", &TWinControl::Class, nullptr};

// ---------------------------------------------------------------------------------------
// TLabel

TLabel::TLabel(TComponent* owner) : TControl(owner) {}

TLabel::~TLabel()
{
    SetFocusControl(nullptr);
}

void TLabel::SetAutoSize(bool autoSize)
{
    if (autoSize_ == autoSize)
        return;
    autoSize_ = autoSize;
    AdjustSize();
}

void TLabel::SetFocusControl(TWinControl* control)
{
    if (focusControl_ == control)
        return;
    if (focusControl_)
        focusControl_->RemoveFreeNotification(this);
    focusControl_ = control;
    if (control)
        control->FreeNotification(this);
}

void TLabel::ComponentNotice(TComponent* component, TOperation operation)
{
    TControl::ComponentNotice(component, operation);
    if (operation == TOperation::opRemove && component == focusControl_)
        focusControl_ = nullptr;
}

UINT TLabel::TextFlags() const
{
    return DT_LEFT | DT_TOP | DT_SINGLELINE | DT_EXPANDTABS | (ShowAccelChar ? 0 : DT_NOPREFIX);
}

void TLabel::AdjustSize()
{
    if (!autoSize_)
        return;
    WindowDC dc(nullptr);
    SelectGuard font(dc.get(), UiFont());
    RECT r{0, 0, 0, 0};
    std::wstring text = Caption().empty() ? L" " : Caption();
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, TextFlags() | DT_CALCRECT);
    SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void TLabel::CaptionChanged()
{
    AdjustSize();
    TControl::CaptionChanged();
}

void TLabel::Paint(HDC dc)
{
    RECT r{0, 0, Width(), Height()};
    if (!Transparent && Parent()) {
        unique_hbrush brush(::CreateSolidBrush(Parent()->Color()));
        ::FillRect(dc, &r, brush.get());
    }
    SelectGuard font(dc, UiFont());
    ::SetBkMode(dc, TRANSPARENT);
    const std::wstring& text = Caption();
    // The parent clips to the label's bounds.
    UINT flags = TextFlags() | DT_NOCLIP;
    // Access keys are underlined once the keyboard is used, as the window's state says.
    if (Parent() && Parent()->HandleAllocated() &&
        (::SendMessageW(Parent()->Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL))
        flags |= DT_HIDEPREFIX;
    if (Enabled()) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    } else {
        RECT shifted = r;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shifted, flags);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    }
}

bool TLabel::AcceleratorPressed()
{
    if (!focusControl_ || !focusControl_->Visible() || !focusControl_->Enabled())
        return false;
    focusControl_->SetFocus();
    return true;
}

// ---------------------------------------------------------------------------------------
// TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner)
{
    SetTabStop(true);
    SetColor(::GetSysColor(COLOR_WINDOW));
}

void TEdit::FillWindowParams(TCreateParams& params)
{
    TWinControl::FillWindowParams(params);
    params.className = L"EDIT";
    params.ownClass = false;
    params.style |= ES_AUTOHSCROLL | ES_LEFT;
    params.exStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::SetText(const std::wstring& text)
{
    if (Text() == text)
        return;
    if (HandleAllocated()) {
        ::SetWindowTextW(Handle(), text.c_str());  // the edit reports the change itself
    } else {
        SetCaption(text);
        Change();
    }
}

void TEdit::CaptionChanged()
{
    if (!syncing_)
        TWinControl::CaptionChanged();
}

LRESULT TEdit::ParentNotify(UINT message, WPARAM wparam, LPARAM, bool& handled)
{
    handled = false;
    if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE) {
        int length = ::GetWindowTextLengthW(Handle());
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(Handle(), text.data(), length + 1)));
        syncing_ = true;
        SetCaption(text);
        syncing_ = false;
        Change();
        handled = true;
    }
    return 0;
}

void TEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

// ---------------------------------------------------------------------------------------
// TButtonControl, TButton

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner)
{
    SetTabStop(true);
}

void TButtonControl::SetDefault(bool value)
{
    default_ = value;
    Register();
}

void TButtonControl::SetCancel(bool value)
{
    cancel_ = value;
    Register();
}

void TButtonControl::AfterLoad()
{
    TWinControl::AfterLoad();
    Register();
}

void TButtonControl::Register()
{
    TForm* form = ParentForm();
    if (!form)
        return;
    if (default_)
        form->SetDefaultButton(this);
    else if (form->DefaultButton() == this)
        form->SetDefaultButton(nullptr);
    if (cancel_)
        form->SetCancelButton(this);
    else if (form->CancelButton() == this)
        form->SetCancelButton(nullptr);
}

void TButtonControl::Click()
{
    if (!Enabled() || !Visible())
        return;
    if (ModalResult != mrNone)
        if (TForm* form = ParentForm())
            form->SetModalResult(ModalResult);
    if (OnClick)
        OnClick(this);
}

bool TButtonControl::AcceleratorPressed()
{
    Click();
    return true;
}

LRESULT TButtonControl::ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled)
{
    if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
        Click();
        handled = true;
        return 0;
    }
    return TWinControl::ParentNotify(message, wparam, lparam, handled);
}

void TButton::FillWindowParams(TCreateParams& params)
{
    TButtonControl::FillWindowParams(params);
    params.className = L"BUTTON";
    params.ownClass = false;
    params.style |= BS_PUSHBUTTON;
}

// ---------------------------------------------------------------------------------------
// TBitBtn

TBitBtn::TBitBtn(TComponent* owner) : TButtonControl(owner), glyph_(std::make_unique<TBitmap>())
{
    glyph_->OnChange = [this](TObject*) { RequestRepaint(); };
}

void TBitBtn::FillWindowParams(TCreateParams& params)
{
    TButtonControl::FillWindowParams(params);
    params.className = L"BUTTON";
    params.ownClass = false;
    params.style |= BS_OWNERDRAW;
}

bool TBitBtn::LooksDefault(bool focused) const
{
    if (focused)
        return true;
    if (!Default())
        return false;
    // The default button gives up its frame while another button has the focus.
    auto* focus = dynamic_cast<TButtonControl*>(FromHandle(::GetFocus()));
    return focus == nullptr || focus == this;
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pushed = item.itemState & ODS_SELECTED;
    const bool focused = item.itemState & ODS_FOCUS;
    const bool disabled = item.itemState & ODS_DISABLED;

    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    if (LooksDefault(focused) && !disabled) {
        ::FrameRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::InflateRect(&r, -1, -1);
    }
    ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED | DFCS_FLAT : 0));
    if (pushed)
        ::FrameRect(dc, &r, ::GetSysColorBrush(COLOR_BTNSHADOW));

    SelectGuard font(dc, UiFont());
    const std::wstring& text = Caption();
    UINT flags = DT_SINGLELINE | DT_LEFT | DT_TOP;
    if (item.itemState & ODS_NOACCEL)
        flags |= DT_HIDEPREFIX;
    RECT textSize{0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textSize, flags | DT_CALCRECT);
    const int textW = text.empty() ? 0 : textSize.right;
    const int textH = textSize.bottom;
    const int glyphW = glyph_->Empty() ? 0 : glyph_->Width();
    const int gap = glyphW && textW ? Spacing : 0;
    const int shift = pushed ? 1 : 0;
    int x = item.rcItem.left + (item.rcItem.right - item.rcItem.left - (glyphW + gap + textW)) / 2 + shift;
    const int midY = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;

    if (glyphW)
        glyph_->DrawOn(dc, x, midY - glyph_->Height() / 2, ::GetSysColor(COLOR_BTNFACE));
    RECT tr{x + glyphW + gap, midY - textH / 2, x + glyphW + gap + textW, midY - textH / 2 + textH};
    ::SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        RECT shifted = tr;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shifted, flags);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
    } else {
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    }
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, flags);

    if (focused && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT f = r;
        ::InflateRect(&f, -3, -3);
        ::DrawFocusRect(dc, &f);
    }
}

// ---------------------------------------------------------------------------------------
// TPanel, TBevel

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::FillWindowParams(TCreateParams& params)
{
    TWinControl::FillWindowParams(params);
    params.exStyle |= WS_EX_CONTROLPARENT;
}

void TPanel::PaintWindow(HDC dc)
{
    RECT r{0, 0, Width(), Height()};
    ::DrawEdge(dc, &r, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
}

void TBevel::Paint(HDC dc)
{
    RECT shadow{0, 0, Width(), 1};
    RECT light{0, 1, Width(), 2};
    ::FillRect(dc, &shadow, ::GetSysColorBrush(COLOR_BTNSHADOW));
    ::FillRect(dc, &light, ::GetSysColorBrush(COLOR_BTNHIGHLIGHT));
}

// ---------------------------------------------------------------------------------------
// TProgressBar

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {}

void TProgressBar::FillWindowParams(TCreateParams& params)
{
    TWinControl::FillWindowParams(params);
    params.className = PROGRESS_CLASSW;
    params.ownClass = false;
}

void TProgressBar::AfterCreateWnd()
{
    ::SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    ::SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetMin(int value)
{
    if (min_ == value)
        return;
    min_ = value;
    position_ = std::max(position_, min_);
    if (HandleAllocated())
        AfterCreateWnd();
}

void TProgressBar::SetMax(int value)
{
    if (max_ == value)
        return;
    max_ = value;
    position_ = std::min(position_, max_);
    if (HandleAllocated())
        AfterCreateWnd();
}

void TProgressBar::SetPosition(int value)
{
    value = std::clamp(value, min_, std::max(min_, max_));
    if (position_ == value)
        return;
    position_ = value;
    if (HandleAllocated())
        ::SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::ShowPosition(int value)
{
    position_ = std::clamp(value, min_, std::max(min_, max_));
    if (!HandleAllocated())
        return;
    // Past the position while the bar may not draw, then back to it: the move back is drawn at
    // once (PBS_SMOOTHREVERSE documents the jump back as the default) and ends any slide the
    // move past began. At the top there is no room past it, so the range grows by one for the
    // move past and shrinks again, which takes the position back with it (comctl32 keeps the
    // position inside the range and, as Wine's conformance tests note, repaints at once when
    // a new range leaves it outside). Wine draws every move at once, so there the bar shows
    // the same, and without the move past ever reaching the screen.
    HWND bar = Handle();
    if (max_ < INT_MAX) {
        const bool top = position_ == max_;
        ::SendMessageW(bar, WM_SETREDRAW, FALSE, 0);
        if (top)
            ::SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_ + 1));
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position_ + 1), 0);
        ::SendMessageW(bar, WM_SETREDRAW, TRUE, 0);
        if (top)
            ::SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    }
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
    // Whatever the bar let go while it could not draw.
    ::InvalidateRect(bar, nullptr, FALSE);
    ::UpdateWindow(bar);
}
