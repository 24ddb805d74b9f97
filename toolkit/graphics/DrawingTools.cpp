#include "toolkit/graphics/DrawingTools.h"

#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Fonts.h"

constinit const TClass TGraphicsTool::Class{L"TGraphicsTool", &TPersistent::Class, nullptr};
constinit const TClass TFont::Class{L"TFont", &TGraphicsTool::Class, &MakeInstance<TFont>};
constinit const TClass TPen::Class{L"TPen", &TGraphicsTool::Class, &MakeInstance<TPen>};
constinit const TClass TBrush::Class{L"TBrush", &TGraphicsTool::Class, &MakeInstance<TBrush>};

namespace {

int ScreenPixelsPerInch()
{
    WindowDC screen(nullptr);
    const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

// Sets `field` and reports whether it changed.
template <typename T>
bool Assign(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

}  // namespace

// ---- TGraphicsTool ----------------------------------------------------------------------

HGDIOBJ TGraphicsTool::Object()
{
    if (!object_)
        object_.reset(MakeObject());
    return object_.get();
}

void TGraphicsTool::Changed()
{
    unique_hgdiobj old = std::move(object_);  // deleted once the listeners let go of it
    if (OnChange)
        OnChange(this);
}

// ---- TFont ------------------------------------------------------------------------------

TFont::TFont() : name_(kUiFontFace), height_(-kUiFontHeight), pixelsPerInch_(ScreenPixelsPerInch()) {}

void TFont::SetName(const std::wstring& name)
{
    if (Assign(name_, name))
        Changed();
}

void TFont::SetHeight(int height)
{
    if (Assign(height_, height))
        Changed();
}

int TFont::Size() const
{
    return -::MulDiv(height_, 72, pixelsPerInch_);
}

void TFont::SetSize(int points)
{
    SetHeight(-::MulDiv(points, pixelsPerInch_, 72));
}

void TFont::SetColor(TColor color)
{
    // The colour is the canvas's text colour, not part of the GDI font; still a change.
    if (Assign(color_, color))
        Changed();
}

void TFont::SetStyle(unsigned style)
{
    if (Assign(style_, style))
        Changed();
}

void TFont::SetCharset(BYTE charset)
{
    if (Assign(charset_, charset))
        Changed();
}

void TFont::CopyIn(TPersistent* source)
{
    auto* font = As<TFont>(source);
    if (!font) {
        TPersistent::CopyIn(source);
        return;
    }
    // Every field is taken, so no short-circuit here.
    bool changed = Assign(name_, font->name_);
    changed |= Assign(color_, font->color_);
    changed |= Assign(style_, font->style_);
    changed |= Assign(charset_, font->charset_);
    // Measured against another resolution, the font keeps its size in points.
    const int height = font->pixelsPerInch_ == pixelsPerInch_
                           ? font->height_
                           : -::MulDiv(font->Size(), pixelsPerInch_, 72);
    changed |= Assign(height_, height);
    if (changed)
        Changed();
}

void TFont::DeclareStored(TFiler& filer)
{
    filer.DefineInteger(L"Charset", [this] { return static_cast<int32_t>(charset_); },
                        [this](int32_t v) { SetCharset(static_cast<BYTE>(v)); }, SHIFTJIS_CHARSET);
    filer.DefineInteger(L"Color", [this] { return static_cast<int32_t>(color_); },
                        [this](int32_t v) { SetColor(static_cast<TColor>(v)); }, static_cast<int32_t>(clWindowText));
    filer.DefineInteger(L"Height", [this] { return height_; }, [this](int32_t v) { SetHeight(v); }, -kUiFontHeight);
    filer.DefineString(L"Name", [this] { return name_; }, [this](const std::wstring& v) { SetName(v); },
                       std::wstring(kUiFontFace));
    filer.DefineInteger(L"Style", [this] { return static_cast<int32_t>(style_); },
                        [this](int32_t v) { SetStyle(static_cast<unsigned>(v) & 0xF); }, 0);
}

HGDIOBJ TFont::MakeObject()
{
    LOGFONTW lf{};
    lf.lfHeight = height_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) != 0;
    lf.lfUnderline = (style_ & fsUnderline) != 0;
    lf.lfStrikeOut = (style_ & fsStrikeOut) != 0;
    lf.lfCharSet = charset_;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    name_.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return ::CreateFontIndirectW(&lf);
}

// ---- TPen -------------------------------------------------------------------------------

void TPen::SetColor(TColor color)
{
    if (Assign(color_, color))
        Changed();
}

void TPen::SetWidth(int width)
{
    if (Assign(width_, width))
        Changed();
}

void TPen::SetStyle(TPenStyle style)
{
    if (Assign(style_, style))
        Changed();
}

void TPen::CopyIn(TPersistent* source)
{
    auto* pen = As<TPen>(source);
    if (!pen) {
        TPersistent::CopyIn(source);
        return;
    }
    bool changed = Assign(color_, pen->color_);
    changed |= Assign(width_, pen->width_);
    changed |= Assign(style_, pen->style_);
    if (changed)
        Changed();
}

void TPen::DeclareStored(TFiler& filer)
{
    filer.DefineInteger(L"Color", [this] { return static_cast<int32_t>(color_); },
                        [this](int32_t v) { SetColor(static_cast<TColor>(v)); }, static_cast<int32_t>(clBlack));
    filer.DefineInteger(L"Style", [this] { return static_cast<int32_t>(style_); },
                        [this](int32_t v) {
                            if (v >= 0 && v <= static_cast<int32_t>(TPenStyle::psClear))
                                SetStyle(static_cast<TPenStyle>(v));
                        },
                        0);
    filer.DefineInteger(L"Width", [this] { return width_; }, [this](int32_t v) { SetWidth(v); }, 1);
}

HGDIOBJ TPen::MakeObject()
{
    static constexpr int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL};
    return ::CreatePen(kStyles[static_cast<int>(style_)], width_, ColorToRGB(color_));
}

// ---- TBrush -----------------------------------------------------------------------------

void TBrush::SetColor(TColor color)
{
    if (Assign(color_, color))
        Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (Assign(style_, style))
        Changed();
}

void TBrush::CopyIn(TPersistent* source)
{
    auto* brush = As<TBrush>(source);
    if (!brush) {
        TPersistent::CopyIn(source);
        return;
    }
    bool changed = Assign(color_, brush->color_);
    changed |= Assign(style_, brush->style_);
    if (changed)
        Changed();
}

void TBrush::DeclareStored(TFiler& filer)
{
    filer.DefineInteger(L"Color", [this] { return static_cast<int32_t>(color_); },
                        [this](int32_t v) { SetColor(static_cast<TColor>(v)); }, static_cast<int32_t>(clWhite));
    filer.DefineInteger(L"Style", [this] { return static_cast<int32_t>(style_); },
                        [this](int32_t v) {
                            if (v >= 0 && v <= static_cast<int32_t>(TBrushStyle::bsDiagCross))
                                SetStyle(static_cast<TBrushStyle>(v));
                        },
                        0);
}

HGDIOBJ TBrush::MakeObject()
{
    LOGBRUSH lb{};
    lb.lbColor = ColorToRGB(color_);
    switch (style_) {
    case TBrushStyle::bsSolid: lb.lbStyle = BS_SOLID; break;
    case TBrushStyle::bsClear: lb.lbStyle = BS_NULL; break;
    default:
        lb.lbStyle = BS_HATCHED;
        lb.lbHatch = static_cast<ULONG_PTR>(static_cast<int>(style_) - static_cast<int>(TBrushStyle::bsHorizontal));
        break;
    }
    return ::CreateBrushIndirect(&lb);
}
