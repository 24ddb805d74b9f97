// The drawing tools a canvas selects into its device context: font, pen and brush.
#pragma once
#include <windows.h>

#include <string>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Persistent.h"
#include "toolkit/graphics/Colors.h"

// A tool keeps its settings and makes its GDI object from them on demand. Changing a setting
// fires OnChange while the old object still exists (so a canvas that has it selected can
// deselect it), and deletes the old object afterwards; the next use makes a new one.
class TGraphicsTool : public TPersistent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TNotifyEvent OnChange;

protected:
    HGDIOBJ Object();
    virtual HGDIOBJ MakeObject() = 0;
    void Changed();

private:
    unique_hgdiobj object_;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// The font keeps its height in pixels (negative: the character height, as in a LOGFONT). Its
// size in points follows from the height and PixelsPerInch, the resolution it is measured
// against (the screen's unless a canvas says otherwise).
class TFont : public TGraphicsTool {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TFont();

    HFONT Handle() { return static_cast<HFONT>(Object()); }

    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name);
    int Height() const { return height_; }
    void SetHeight(int height);
    int Size() const;
    void SetSize(int points);
    // Changing the resolution keeps the height in pixels; set Size again to keep the points.
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int dpi) { pixelsPerInch_ = dpi > 0 ? dpi : pixelsPerInch_; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    unsigned Style() const { return style_; }
    void SetStyle(unsigned style);
    BYTE Charset() const { return charset_; }
    void SetCharset(BYTE charset);

    void CopyIn(TPersistent* source) override;
    void DeclareStored(TFiler& filer) override;

protected:
    HGDIOBJ MakeObject() override;

private:
    std::wstring name_;
    int height_;
    int pixelsPerInch_;
    TColor color_ = clWindowText;
    unsigned style_ = 0;
    BYTE charset_ = SHIFTJIS_CHARSET;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };

class TPen : public TGraphicsTool {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    HPEN Handle() { return static_cast<HPEN>(Object()); }

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);

    void CopyIn(TPersistent* source) override;
    void DeclareStored(TFiler& filer) override;

protected:
    HGDIOBJ MakeObject() override;

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = TPenStyle::psSolid;
};

enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsTool {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    HBRUSH Handle() { return static_cast<HBRUSH>(Object()); }

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);

    // Takes colour and style of another brush, firing OnChange once when either differs.
    void CopyIn(TPersistent* source) override;
    // Color (default clWhite), then Style (default bsSolid).
    void DeclareStored(TFiler& filer) override;

protected:
    HGDIOBJ MakeObject() override;

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = TBrushStyle::bsSolid;
};
