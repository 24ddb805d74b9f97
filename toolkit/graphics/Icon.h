// The icon: one image of an icon file, drawn by the system's icon functions.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Graphic.h"

// Reads icon-file data: the 6-byte header (reserved 0, type 1, image count), for one image its
// 16-byte directory entry, then the image, an info header with colour table, colour pixels and
// mask as the system wants it. Anything else, a file of several images or a bare image without
// the header (as resource compilers store icons under RT_ICON) among them, raises
// EInvalidGraphic with "ｱｲｺﾝｲﾒｰｼﾞが不正です" and leaves the icon empty. A count of 0 is an
// empty icon. Saving and the stored form write the bytes read, up to the end of the image.
//
// Images are checked before the system sees them: a 40-byte info header, sides of 1 to 256
// pixels, a height field of twice the height (colour and mask), uncompressed pixels of 1, 4, 8,
// 16, 24 or 32 bits, and the whole of colour table, pixels and mask inside the image's bytes.
// PNG-compressed images are not read.
class TIcon : public TGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TIcon();
    ~TIcon() override;

    HICON Handle() const { return handle_.get(); }
    // Makes the icon empty; notifies when it was not.
    void Clear();

    void CopyIn(TPersistent* source) override;
    // DrawIconEx scaled into the rectangle; nothing for an empty rectangle.
    void Render(TCanvas& canvas, const RECT& rect) override;
    bool QueryEmpty() const override { return !handle_; }
    int QueryHeight() const override { return height_; }
    int QueryWidth() const override { return width_; }
    // An icon has the size of its image: another size raises EInvalidGraphicOperation.
    void ApplyHeight(int value) override;
    void ApplyWidth(int value) override;
    void LoadStream(TStream& stream) override;
    void SaveStream(TStream& stream) override;

private:
    // Takes the bytes of an icon file whose image has been checked, or raises and stays empty.
    void Take(std::vector<uint8_t> bytes);

    std::vector<uint8_t> data_;  // header, entry and image as read; empty for an empty icon
    unique_hicon handle_;
    int width_ = 0;
    int height_ = 0;
};
