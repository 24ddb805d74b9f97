// The properties controls hold beside their bounds: alignment, colour taken from the parent,
// the inert drag, hint and pop-up menu settings, and the stored form of a control.
#include <algorithm>

#include "toolkit/core/StoredForm.h"
#include "toolkit/windows/Controls.h"

// ---------------------------------------------------------------------------------------
// TControl

void TControl::SetAlign(TAlign align)
{
    if (align_ == align)
        return;
    align_ = align;
    if (parent_)
        parent_->AlignControls();
}

bool TControl::ShowHint() const
{
    return parentShowHint_ && parent_ ? parent_->ShowHint() : showHint_;
}

void TControl::SetShowHint(bool value)
{
    showHint_ = value;
    parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool value)
{
    if (value == parentShowHint_)
        return;
    if (!value)
        showHint_ = ShowHint();  // what it showed so far stays until set otherwise
    parentShowHint_ = value;
}

void TControl::SetPopupMenu(TComponent* menu)
{
    if (popupMenu_ == menu)
        return;
    popupMenu_ = menu;
    if (menu)
        menu->FreeNotification(this);
}

void TControl::ComponentNotice(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotice(component, operation);
    if (operation == TOperation::opRemove && component == popupMenu_)
        popupMenu_ = nullptr;
}

void TControl::DeclareStored(TFiler& filer)
{
    // Bounds have no default: a layout always says where a control lies.
    filer.DefineInteger(L"Left", [this] { return left_; }, [this](int32_t v) { SetLeft(v); }, std::nullopt);
    filer.DefineInteger(L"Top", [this] { return top_; }, [this](int32_t v) { SetTop(v); }, std::nullopt);
    filer.DefineInteger(L"Width", [this] { return width_; }, [this](int32_t v) { SetWidth(v); }, std::nullopt);
    filer.DefineInteger(L"Height", [this] { return height_; }, [this](int32_t v) { SetHeight(v); }, std::nullopt);
}

// ---------------------------------------------------------------------------------------
// TWinControl

void TWinControl::SetColor(COLORREF color)
{
    parentColor_ = false;
    ApplyColor(color);
}

void TWinControl::SetParentColor(bool value)
{
    parentColor_ = value;
    if (value && Parent())
        ApplyColor(Parent()->Color());
}

void TWinControl::ApplyColor(COLORREF color)
{
    if (color_ == color)
        return;
    color_ = color;
    brush_.reset();
    RequestRepaint();
    for (TControl* c : controls_)
        if (auto* win = dynamic_cast<TWinControl*>(c); win && win->parentColor_)
            win->ApplyColor(color);
}

void TWinControl::AlignControls()
{
    if (aligning_)
        return;  // moving the aligned children comes back here
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(aligning_);
    RECT rest = ClientRect();
    auto width = [&] { return std::max<LONG>(0, rest.right - rest.left); };
    auto height = [&] { return std::max<LONG>(0, rest.bottom - rest.top); };
    for (TAlign kind : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
        for (TControl* c : std::vector<TControl*>(controls_)) {
            if (c->Align() != kind || !c->Visible())
                continue;
            switch (kind) {
            case TAlign::alTop:
                c->SetBounds(rest.left, rest.top, width(), c->Height());
                rest.top += c->Height();
                break;
            case TAlign::alBottom:
                c->SetBounds(rest.left, rest.bottom - c->Height(), width(), c->Height());
                rest.bottom -= c->Height();
                break;
            case TAlign::alLeft:
                c->SetBounds(rest.left, rest.top, c->Width(), height());
                rest.left += c->Width();
                break;
            case TAlign::alRight:
                c->SetBounds(rest.right - c->Width(), rest.top, c->Width(), height());
                rest.right -= c->Width();
                break;
            default:
                c->SetBounds(rest.left, rest.top, width(), height());
                break;
            }
        }
    }
}
