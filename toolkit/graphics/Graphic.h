// The graphic: a picture of some kind that loads, saves, stores and draws itself.
#pragma once
#include <windows.h>

#include <string>

#include "toolkit/core/Persistent.h"
#include "toolkit/core/Streams.h"

class TCanvas;

// The base of bitmaps, icons, metafiles and JPEG pictures. Derived classes supply the
// virtual operations; everyone else uses the plain accessors (Width, SetWidth, Empty, ...),
// which call them. A change fires OnChange through NotifyChanged.
//
// In the stored form a graphic is the binary property "Data", holding what WriteStored
// writes. It is written when the graphic is not empty; against an inherited description,
// when it differs from the inherited graphic (SameContent).
class TGraphic : public TPersistent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    bool Empty() const { return QueryEmpty(); }
    int Width() const { return QueryWidth(); }
    void SetWidth(int value) { ApplyWidth(value); }
    int Height() const { return QueryHeight(); }
    void SetHeight(int value) { ApplyHeight(value); }
    HPALETTE Palette() { return QueryPalette(); }
    // The graphic takes the palette over.
    void SetPalette(HPALETTE value) { ApplyPalette(value); }
    bool Transparent() const { return QueryTransparent(); }
    void SetTransparent(bool value) { ApplyTransparent(value); }

    // Set by every change; the owner clears it when it has taken the change in.
    bool Modified() const { return modified_; }
    void SetModified(bool value);

    TNotifyEvent OnChange;

    // Virtual operations, after those of the persistent base, in this order.
    virtual void NotifyChanged(TObject* sender);
    // Draws the graphic scaled into `rect` of the canvas, with the canvas's CopyMode.
    virtual void Render(TCanvas& canvas, const RECT& rect) = 0;
    // Same class and the same stored data (both empty counts as the same).
    virtual bool SameContent(TGraphic* other);
    virtual bool QueryEmpty() const = 0;
    virtual int QueryHeight() const = 0;
    virtual HPALETTE QueryPalette() { return nullptr; }
    virtual bool QueryTransparent() const { return transparent_; }
    virtual int QueryWidth() const = 0;
    virtual void ReadStored(TStream& stream);
    virtual void ApplyHeight(int value) = 0;
    virtual void ApplyPalette(HPALETTE value);
    virtual void ApplyTransparent(bool value);
    virtual void ApplyWidth(int value) = 0;
    virtual void WriteStored(TStream& stream);
    // Through a file stream: LoadStream and SaveStream.
    virtual void LoadFile(const std::wstring& fileName);
    virtual void SaveFile(const std::wstring& fileName);
    virtual void LoadStream(TStream& stream) = 0;
    virtual void SaveStream(TStream& stream) = 0;
    // Clipboard exchange; the base knows no format (EInvalidGraphic).
    virtual void LoadClipboard(UINT format, HANDLE data, HPALETTE palette);
    virtual void SaveClipboard(UINT& format, HANDLE& data, HPALETTE& palette);

    // "Data" as described above.
    void DeclareStored(TFiler& filer) override;

private:
    bool modified_ = false;
    bool transparent_ = false;
};
