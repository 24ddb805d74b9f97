// The DIB bitmap: a graphic whose pixels live in a DIB section. It reads and writes BMP
// streams and packed DIBs, stores itself in stored forms, travels through the clipboard as a
// packed DIB, draws a part of itself (its ViewRect) scaled with its own palette, and offers
// a canvas that paints into its pixels. Also the unit's start-up step, which picks the
// drawing method for the platform.
#pragma once
#include <windows.h>

#include <memory>

#include "imaging/UCanvas.h"
#include "imaging/UDIB.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ModuleSteps.h"
#include "toolkit/graphics/Graphic.h"

class TDIBitmap;

// The bitmap's canvas: a memory canvas holding the bitmap's section, measured against the
// screen.
class TDIBCanvas : public TMemoryCanvas {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TDIBCanvas(TDIBitmap& owner) : owner_(owner) {}

    // The owner's section, made now when it has none.
    HBITMAP GetBitmapHandle() override;

private:
    TDIBitmap& owner_;
};

// Empty until the first load (LoadStream, ReadStored, LoadClipboard, CopyIn from a toolkit
// bitmap); every load makes a new section and shows all of it. Width and Height are those of
// ViewRect, the part that is drawn and copied; setting them moves ViewRect's right or bottom
// and leaves the pixels alone.
//
// What loads: a 12-byte core header (3-byte colour entries) or an info header of 40, 52, 56,
// 108 or 124 bytes (what lies beyond 40 bytes is dropped, bit-field masks excepted); no
// compression, bit fields (16 and 32 bits, masks behind the first 40 header bytes), and 8-
// and 4-bit run lengths, decoded into an uncompressed section of the same depth. The colour
// table holds biClrUsed entries (or the full count of a palette depth); entries beyond 256,
// or beyond what the depth can use, are read past. Pixels follow the table.
// Hostile headers raise "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です" before the old image is touched: another
// header size, unusable masks, a side longer than 32,767 pixels, or more than 2^31 - 1 bytes
// of pixels. A compression value above 65535 raises ERangeError. A section the system will
// not make raises "cannot create DIBSection(GLE=%d)".
class TDIBitmap : public TGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TDIBitmap();
    ~TDIBitmap() override;

    // The section; made from the current header when there is none (which fails with the
    // DIB-section error for an empty bitmap).
    HBITMAP Handle();
    TDIBCanvas& canvas();

    const RECT& ViewRect() const { return viewRect_; }
    void SetViewRect(const RECT& rect) { viewRect_ = rect; }
    // The description: the section's info header and its colour table (for bit fields, the
    // three masks).
    const TDIBInfo& BitmapInfo() const { return *info_; }
    // True: draws with StretchDIBits from the pixels; false: blits from the canvas's device
    // context. Taken from DefaultUseDIBits when the bitmap is made.
    bool UseDIBits() const { return useDIBits_; }
    static bool DefaultUseDIBits();
    static void SetDefaultUseDIBits(bool value);

    // Reads a packed DIB (header, colour table, pixels) at the stream's position into a new
    // section; writes one (nothing for an empty bitmap).
    void ReadDIB(TStream& stream);
    void WriteDIB(TStream& stream);

    void CopyOut(TPersistent* dest) override;
    void CopyIn(TPersistent* source) override;
    void Render(TCanvas& canvas, const RECT& rect) override;
    bool QueryEmpty() const override;
    int QueryHeight() const override;
    HPALETTE QueryPalette() override;
    int QueryWidth() const override;
    // A stored DIB bitmap (BMP file, then ViewRect) or a stored toolkit bitmap.
    void ReadStored(TStream& stream) override;
    void ApplyHeight(int value) override;
    // The bitmap owns `value` from now on; the colour table stays as it is.
    void ApplyPalette(HPALETTE value) override;
    void ApplyWidth(int value) override;
    void WriteStored(TStream& stream) override;
    void LoadStream(TStream& stream) override;
    void SaveStream(TStream& stream) override;
    // CF_DIB only; the block stays its owner's.
    void LoadClipboard(UINT format, HANDLE data, HPALETTE palette) override;
    // CF_DIB and a new block that the caller owns; no block for an empty bitmap.
    void SaveClipboard(UINT& format, HANDLE& data, HPALETTE& palette) override;

protected:
    // The one call that puts pixels on the destination for StretchPart: StretchDIBits or
    // StretchBlt as UseDIBits says. Tests stand a refusing device in here.
    virtual bool StretchToDevice(TCanvas& dest, const RECT& d, const RECT& s);

private:
    friend class TDIBCanvas;

    void DropImage();
    // A new section of `info`'s shape; returns its pixel size and the pixels in `bits`.
    long long CreateDIB(const TDIBInfo& info, void*& bits);
    // A zero-filled copy of the section's colour table (count entries), or null when the
    // header names no colours.
    std::unique_ptr<RGBQUAD[]> GetColorTable(int& count);
    void* SectionBits();
    bool StretchPart(TCanvas& dest, const RECT& d, const RECT& s);
    void DrawRows(TCanvas& dest, const RECT& rect);

    unique_hbitmap handle_;
    unique_hpalette palette_;
    RECT viewRect_{};
    std::unique_ptr<TDIBCanvas> canvas_;
    std::unique_ptr<TDIBInfo> info_;
    bool useDIBits_;
};

// The unit's start-up step: on the Windows NT family (IsWinNT) bitmaps made afterwards blit
// from a memory device context; elsewhere, and when the platform is not known, they draw
// straight from their pixels.
void StartDIBitmap();

inline constexpr TModuleSteps kDIBitmapSteps{L"UDIBitmap", &StartDIBitmap, nullptr};
