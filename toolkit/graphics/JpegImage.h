// The JPEG graphic: the JPEG bytes as read, and the bitmap decoded from them for drawing.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/graphics/Graphic.h"
#include "toolkit/graphics/JpegDecoder.h"

class TBitmap;

namespace tkconst {
inline constexpr const wchar_t* SChangeJPEGSize = L"JPEGｲﾒｰｼﾞのｻｲｽﾞは変更できません";
}  // namespace tkconst

// Loading keeps the bytes and reads only the header, which gives the size: data that is no
// JPEG picture, or one larger than kJpegMaxPixels, raises EJPEG and leaves the graphic empty.
// The pixels are decoded on first use (drawing, or asking for the bitmap) into a 24-bit DIB
// section, and that change is notified like any other. When the decoder gives up part way, the
// first use raises its EJPEG; the graphic then draws nothing for those bytes instead of raising
// again on every repaint. Damage the decoder can work around costs only what is missing.
//
// Saving writes the bytes read, unchanged; drawing on the decoded bitmap changes what is shown
// but not what is saved. Stored form ("Data"): a 32-bit little-endian length, then the bytes
// (none for an empty graphic).
class TJPEGImage : public TGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TJPEGImage();
    ~TJPEGImage() override;

    // The JPEG file as read; empty for an empty graphic.
    const std::vector<uint8_t>& Data() const { return data_; }
    // Components as the header gives them: 1 grey, 3 colour, 4 CMYK or YCCK; 0 when empty.
    int Components() const { return info_.Components; }
    // The decoded picture, decoding it now if that has not happened; EJPEG when the bytes
    // cannot be decoded. Its changes are this graphic's changes. An empty graphic gives an
    // empty bitmap.
    TBitmap& Bitmap();
    bool Decoded() const { return decoded_; }
    // Makes the graphic empty; notifies when it was not.
    void Clear();

    // Copies another JPEG graphic's bytes; the copy decodes them on its own first use.
    void CopyIn(TPersistent* source) override;
    void Render(TCanvas& canvas, const RECT& rect) override;
    bool QueryEmpty() const override { return data_.empty(); }
    int QueryHeight() const override { return info_.Height; }
    int QueryWidth() const override { return info_.Width; }
    void ReadStored(TStream& stream) override;
    // The size is the picture's: another one raises EInvalidGraphicOperation.
    void ApplyHeight(int value) override;
    void ApplyWidth(int value) override;
    void WriteStored(TStream& stream) override;
    // Reads the rest of the stream.
    void LoadStream(TStream& stream) override;
    void SaveStream(TStream& stream) override;

private:
    // Takes bytes whose header is readable, or raises and stays empty.
    void Take(std::vector<uint8_t> bytes);
    void Decode();
    // Drops the decoded picture without a notification of its own.
    void ForgetDecoded();
    TBitmap& DecodedBitmap();

    std::vector<uint8_t> data_;
    TJpegInfo info_;
    std::unique_ptr<TBitmap> bitmap_;
    bool decoded_ = false;
    std::wstring failure_;  // the decoder's error for these bytes, once it has given up
};
