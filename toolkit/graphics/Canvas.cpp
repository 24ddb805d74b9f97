#include "toolkit/graphics/Canvas.h"

#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Graphic.h"

constinit const TClass TCanvas::Class{L"TCanvas", &TPersistent::Class, &MakeInstance<TCanvas>};

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>())
{
    font_->OnChange = [this](TObject*) { ToolChanged(); };
    pen_->OnChange = [this](TObject*) { ToolChanged(); };
    brush_->OnChange = [this](TObject*) { ToolChanged(); };
}

TCanvas::~TCanvas()
{
    DeselectTools();
}

HDC TCanvas::Handle()
{
    if (!dc_)
        AcquireDC();
    if (!dc_)
        throw EInvalidOperation(tkconst::SNoCanvasHandle);
    return dc_;
}

void TCanvas::AttachHandle(HDC dc)
{
    if (dc == dc_)
        return;
    DeselectTools();
    dc_ = dc;
}

void TCanvas::DeselectTools()
{
    if (!dc_)
        return;
    for (HGDIOBJ* old : {&oldFont_, &oldPen_, &oldBrush_}) {
        if (*old)
            ::SelectObject(dc_, *old);
        *old = nullptr;
    }
}

void TCanvas::RequireTools(bool font, bool pen, bool brush)
{
    HDC dc = Handle();
    if (font && !oldFont_) {
        oldFont_ = ::SelectObject(dc, font_->Handle());
        ::SetTextColor(dc, ColorToRGB(font_->Color()));
    }
    if (pen && !oldPen_)
        oldPen_ = ::SelectObject(dc, pen_->Handle());
    if (brush && !oldBrush_) {
        oldBrush_ = ::SelectObject(dc, brush_->Handle());
        ::SetBkColor(dc, ColorToRGB(brush_->Color()));
        ::SetBkMode(dc, brush_->Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
    }
}

void TCanvas::ToolChanged()
{
    // The tool is about to delete its object: it must not be selected anywhere.
    DeselectTools();
}

RECT TCanvas::ClipRect()
{
    RECT r{};
    ::GetClipBox(Handle(), &r);
    return r;
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    Changing();
    ::SetPixel(Handle(), x, y, ColorToRGB(color));
    NotifyChanged();
}

void TCanvas::FillRect(const RECT& rect)
{
    Changing();
    RequireTools(false, false, true);
    ::FillRect(dc_, &rect, brush_->Handle());
    NotifyChanged();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    Changing();
    RequireTools(false, true, true);
    ::Rectangle(dc_, left, top, right, bottom);
    NotifyChanged();
}

void TCanvas::MoveTo(int x, int y)
{
    ::MoveToEx(Handle(), x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    Changing();
    RequireTools(false, true, false);
    ::LineTo(dc_, x, y);
    NotifyChanged();
}

void TCanvas::TextOut(int x, int y, const std::wstring& text)
{
    Changing();
    RequireTools(true, false, true);
    ::TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
    NotifyChanged();
}

SIZE TCanvas::TextExtent(const std::wstring& text)
{
    RequireTools(true, false, false);
    SIZE size{};
    ::GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::Render(int x, int y, TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return;
    RenderScaled({x, y, x + graphic->Width(), y + graphic->Height()}, graphic);
}

void TCanvas::RenderScaled(const RECT& rect, TGraphic* graphic)
{
    if (!graphic)
        return;
    Changing();
    Handle();
    graphic->Render(*this, rect);
    NotifyChanged();
}

void TCanvas::Lock()
{
    lock_.Enter();
    ++lockCount_;
}

void TCanvas::Unlock()
{
    --lockCount_;
    lock_.Leave();
}

void TCanvas::NotifyChanged()
{
    if (OnChange)
        OnChange(this);
}

void TCanvas::Changing()
{
    if (OnChanging)
        OnChanging(this);
}
