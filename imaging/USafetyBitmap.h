// The library's bitmap: reads compressed bitmap files ("CBM", a BMP file inside the
// "ZLIBCompress" container), mends two kinds of faulty BMP headers, reads run-length files,
// keeps black first and white last in its palette, and draws transparently from a cached
// mask and a cached copy of itself.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "toolkit/core/ModuleSteps.h"
#include "toolkit/graphics/Bitmap.h"

class TDIB;
class TMemoryStream;

// Loading, in this order: a container is inflated into memory first; a BMP file whose image
// size disagrees with its rows, or whose colour table is shorter than its depth allows, is
// mended in a memory copy before the toolkit's reader gets it; a run-length file (RLE8, RLE4)
// is decoded by the system into a palette bitmap; anything else goes to the toolkit's reader.
// Afterwards a 4- or 8-bit picture has black as its first colour and white as its last, with
// its pixels renumbered so that each keeps its colour.
//
// Transparent drawing: the mask (a set bit for each pixel of the transparent colour) goes on
// with MERGEPAINT, which whitens the opaque pixels, and the copy of the picture with those
// pixels white goes on with SRCAND. Both are built on the first transparent drawing after a
// change and reused until the next change.
class TSafetyBitmap : public TBitmap {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TSafetyBitmap();
    ~TSafetyBitmap() override;

    // From another safety bitmap the caches and their state come along.
    void CopyIn(TPersistent* source) override;
    // Every change makes both caches stale.
    void NotifyChanged(TObject* sender) override;
    // Background colour, text colour and copy mode of the canvas are as before afterwards.
    void Render(TCanvas& canvas, const RECT& rect) override;
    // A container that fails leaves the picture as it was, with the container's error.
    void LoadStream(TStream& stream) override;

protected:
    // The header fields both file checks read: the 14-byte file header and a 40-byte info
    // header, from the stream's position, which is put back on every exit.
    struct THeaders {
        bool complete = false;  // 54 bytes were there
        bool signature = false;  // "BM"
        uint32_t bitsOffset = 0;
        uint32_t infoSize = 0;
        int32_t width = 0;
        int32_t height = 0;
        uint16_t bitCount = 0;
        uint32_t compression = 0;
        uint32_t sizeImage = 0;
        uint32_t colorsUsed = 0;
    };
    static constexpr int kHeadersSize = 54;
    static THeaders ReadHeaders(TStream& stream);
    static THeaders ParseHeaders(const uint8_t* bytes);

    // True when the image size disagrees with the rows (0 counts as disagreeing) or the colour
    // table is short; `count` is the number of colours the table is to have.
    static bool NeedsRepair(TStream& stream, uint32_t& count);
    // Mends the BMP file that fills `file` (see RepairFile) and reads it.
    void RepairAndLoad(TMemoryStream& file, uint32_t count);
    // Grows the colour table to `count` entries with black ones, moving the pixels back, and
    // clears the image size so the reader works it out.
    static void RepairFile(TMemoryStream& file, uint32_t count);
    static bool IsRunLength(TStream& stream);
    void LoadPlainOrRunLength(TStream& stream);
    // Decodes the run-length file of `size` bytes at `file`.
    void LoadRunLength(const uint8_t* file, long long size);
    void NormalizePalette();

    void BuildMask(COLORREF color);
    void BuildImage();
    void ScreenDraw(TCanvas& canvas, const RECT& rect);
    void PrinterDraw(TCanvas& canvas, const RECT& rect);

    std::unique_ptr<TBitmap> maskBitmap_;  // monochrome; a set bit marks a transparent pixel
    std::unique_ptr<TDIB> maskDIB_;        // the mask as drawn outside the Windows NT family
    std::unique_ptr<TBitmap> imageBitmap_;  // the picture with its transparent pixels white
    bool maskDirty_ = false;
    bool imageDirty_ = false;
};

// Enters the class in the picture formats for "bmp" ("Bitmaps") and "cbm" ("Compressed
// Bitmaps"), after the toolkit's own entries; the end step removes every entry of the class.
void StartSafetyBitmap();
void EndSafetyBitmap();

inline constexpr TModuleSteps kSafetyBitmapSteps{L"USafetyBitmap", &StartSafetyBitmap, &EndSafetyBitmap};
