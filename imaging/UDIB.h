// The DIB holder: a device-independent snapshot of a bitmap (its description and its
// pixels) that draws itself with StretchDIBits, and the counted holder of those pixels.
#pragma once
#include <windows.h>

#include "toolkit/core/InterfacedObject.h"
#include "toolkit/core/Objects.h"

class TBitmap;
class TCanvas;

// Holds the address of a pixel buffer and whether it owns the buffer.
struct IBitsHolder : public IUnknown {
    static constexpr GUID Iid = {0x2D47D5A1, 0x88E0, 0x11D2, {0x93, 0xA4, 0x00, 0x60, 0x97, 0x6E, 0x95, 0x10}};

    // Stores both and frees nothing: it is given once, to a new holder.
    virtual void STDMETHODCALLTYPE SetBits(void* bits, bool owns) = 0;
    virtual void* STDMETHODCALLTYPE GetBits() = 0;
};

// An owned buffer comes from AllocateBits and is freed with the last reference.
class TBitsHolder : public TInterfacedObject<IBitsHolder> {
public:
    ~TBitsHolder() override;

    void STDMETHODCALLTYPE SetBits(void* bits, bool owns) override;
    void* STDMETHODCALLTYPE GetBits() override { return bitsPtr_; }

    // A zero-filled buffer for a holder to own; EOutOfMemory when there is no room.
    static void* AllocateBits(size_t size);

private:
    bool ownsBits_ = false;
    void* bitsPtr_ = nullptr;
};

// The info header and a colour table of 256 entries: 1,064 bytes.
struct TDIBInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};
static_assert(sizeof(TDIBInfo) == 1064);

// Empty when made. A capture from a DIB section borrows the section's pixels (the TDIB then
// shows the section's current pixels and must be captured again once the section is gone);
// a capture from a device-dependent bitmap owns a device-independent copy. CopyIn shares the
// pixels: the holder lives until the last TDIB that refers to it goes.
class TDIB : public TObject {
public:
    TDIB();
    ~TDIB() override;

    // Takes source's description and shares its pixels.
    void CopyIn(const TDIB& source);
    // Captures a toolkit bitmap; a palette image and a device-dependent image on a palette
    // screen are read through the bitmap's palette.
    void SetBitmap(TBitmap& bitmap);
    // Captures a bitmap by handle; `palette` (may be null) is what a device-dependent bitmap
    // is read through. A handle that is no bitmap raises EInvalidGraphic, leaving no pixels.
    void SetBitmapHandle(HBITMAP bitmap, HPALETTE palette);

    // Stretches `src` of the image into `dest` on the canvas with the canvas's CopyMode and
    // COLORONCOLOR stretching. True when drawn, or when nothing had to be drawn (all four
    // sides 0, or dest not visible); false when the device refused, and, drawing nothing,
    // when there are no pixels or the section they were borrowed from is gone.
    bool Render(TCanvas& canvas, const RECT& dest, const RECT& src);
    // Render, and when the device refuses the whole, one destination row at a time, each
    // from its band of the whole image.
    void DrawWithFallback(TCanvas& canvas, const RECT& dest, const RECT& src);

    const TDIBInfo& Info() const { return info_; }
    // The pixels; null before a capture.
    void* Bits() const { return bits_ ? bits_->GetBits() : nullptr; }

protected:
    // The one call that puts pixels on a device, `src`'s rows counted from the image's top;
    // tests stand in a refusing device here.
    virtual int StretchToDevice(HDC dc, const RECT& dest, const RECT& src, DWORD rop);

private:
    void CaptureSection(HBITMAP bitmap, const DIBSECTION& section);
    void CaptureDeviceBitmap(HBITMAP bitmap, HPALETTE palette);
    // False when the pixels were borrowed from a section that is no longer there.
    bool PixelsAlive() const;

    TInterfaceRef<IBitsHolder> bits_;
    TDIBInfo info_;
    HBITMAP section_ = nullptr;  // where borrowed pixels come from; null for owned ones
};
