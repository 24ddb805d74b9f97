#include "imaging/UOriginalControl.h"

#include "imaging/UDrawSupport.h"
#include "toolkit/core/StoredForm.h"

constinit const TClass TNoDefaultBrush::Class{L"TNoDefaultBrush", &TBrush::Class, &MakeInstance<TNoDefaultBrush>};
// Made by their owners, with the owner as argument: no factories.
constinit const TClass TOriginalControl::Class{L"TOriginalControl", &TCustomControl::Class, nullptr};

void TNoDefaultBrush::DeclareStored(TFiler& filer)
{
    filer.DefineInteger(L"Color", [this] { return static_cast<int32_t>(Color()); },
                        [this](int32_t v) { SetColor(static_cast<TColor>(v)); }, std::nullopt);
    filer.DefineInteger(L"Style", [this] { return static_cast<int32_t>(Style()); },
                        [this](int32_t v) {
                            if (v >= 0 && v <= static_cast<int32_t>(TBrushStyle::bsDiagCross))
                                SetStyle(static_cast<TBrushStyle>(v));
                        },
                        std::nullopt);
}

TOriginalControl::TOriginalControl(TComponent* owner) : TCustomControl(owner)
{
    brush_ = std::make_unique<TNoDefaultBrush>();
    fullRepaint_ = true;
    brush_->OnChange = [this](TObject*) { BrushNotice(); };  // virtual: overrides apply
    ControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks | csReplicatable;
    SetParentColor(false);
    SetWidth(75);
    SetHeight(25);
}

TOriginalControl::~TOriginalControl()
{
    brush_.reset();
}

void TOriginalControl::SetBrush(TBrush* brush)
{
    brush_->CopyIn(brush);
}

void TOriginalControl::SetTransparent(bool value)
{
    if (transparent_ == value)
        return;
    transparent_ = value;
    RecreateWnd();  // the extended style is fixed when the window is made
}

void TOriginalControl::BrushNotice()
{
    RequestRepaint();
}

void TOriginalControl::RequestRepaint()
{
    if (transparent_ && Parent() && Parent()->HandleAllocated()) {
        // What shows through is the parent's to paint.
        const RECT bounds = BoundsRect();
        ::InvalidateRect(Parent()->Handle(), &bounds, !(Parent()->ControlStyle & csOpaque));
    }
    TCustomControl::RequestRepaint();
}

void TOriginalControl::FillWindowParams(TCreateParams& params)
{
    TCustomControl::FillWindowParams(params);
    // A resize alone does not repaint everything; FullRepaint decides.
    params.classStyle &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
    if (transparent_)
        params.exStyle |= WS_EX_TRANSPARENT;
}

void TOriginalControl::PaintToDC(HDC dc)
{
    if (!IsPaletteDevice()) {
        TCustomControl::PaintToDC(dc);
        return;
    }
    // Selected back, as a background palette, also when painting fails.
    const PaletteGuard select(dc, GetDefaultPalette(), true);
    ::RealizePalette(dc);
    TCustomControl::PaintToDC(dc);
}

HPALETTE TOriginalControl::QueryPalette()
{
    return GetDefaultPalette();
}

LRESULT TOriginalControl::WMWindowPosChanged(WPARAM wparam, LPARAM lparam)
{
    // Before the toolkit records the new bounds: a transparent control repaints the part of
    // its parent it leaves.
    if (fullRepaint_)
        RequestRepaint();
    return TCustomControl::WMWindowPosChanged(wparam, lparam);
}

LRESULT TOriginalControl::WMEraseBkgnd(WPARAM, LPARAM)
{
    return 1;
}

void TOriginalControl::DeclareStored(TFiler& filer)
{
    TCustomControl::DeclareStored(filer);
    filer.DefineObject(L"Brush", brush_.get());
    filer.DefineBoolean(L"FullRepaint", [this] { return fullRepaint_; }, [this](bool v) { SetFullRepaint(v); }, true);
    filer.DefineBoolean(L"Transparent", [this] { return transparent_; }, [this](bool v) { SetTransparent(v); }, false);
    filer.DefineInteger(L"Align", [this] { return static_cast<int32_t>(Align()); },
                        [this](int32_t v) {
                            if (v >= 0 && v <= static_cast<int32_t>(TAlign::alClient))
                                SetAlign(static_cast<TAlign>(v));
                        },
                        0);
    filer.DefineInteger(L"DragCursor", [this] { return DragCursor; }, [this](int32_t v) { DragCursor = v; }, crDrag);
    filer.DefineInteger(L"DragMode", [this] { return static_cast<int32_t>(DragMode); },
                        [this](int32_t v) { DragMode = v == 1 ? TDragMode::dmAutomatic : TDragMode::dmManual; }, 0);
    filer.DefineBoolean(L"Enabled", [this] { return Enabled(); }, [this](bool v) { SetEnabled(v); }, true);
    filer.DefineBoolean(L"ParentShowHint", [this] { return ParentShowHint(); },
                        [this](bool v) { SetParentShowHint(v); }, true);
    filer.DefineReference(L"PopupMenu", [this] { return PopupMenu(); }, [this](TComponent* c) { SetPopupMenu(c); });
    // Stored only when it is the control's own: while it follows the parent its default
    // is whatever it is now.
    filer.DefineBoolean(L"ShowHint", [this] { return ShowHint(); }, [this](bool v) { SetShowHint(v); },
                        ParentShowHint() ? std::optional<bool>(ShowHint()) : std::nullopt);
    filer.DefineInteger(L"TabOrder", [this] { return TabOrder(); }, [this](int32_t v) { SetTabOrder(v); }, -1);
    filer.DefineBoolean(L"TabStop", [this] { return TabStop(); }, [this](bool v) { SetTabStop(v); }, false);
    filer.DefineBoolean(L"Visible", [this] { return Visible(); }, [this](bool v) { SetVisible(v); }, true);
}
