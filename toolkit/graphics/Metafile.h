// The metafile: a recorded drawing, played scaled into the rectangle it is drawn in.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Graphic.h"

// Reads enhanced metafiles and placeable Windows metafiles (the 22-byte header with the key
// 0x9AC6CDD7, the picture's bounds in its own units and the units per inch, then the metafile).
// Both are drawn as an enhanced metafile; saving and the stored form write the bytes read.
//
// The size in pixels, at the screen's resolution, comes from the header: an enhanced
// metafile's frame (hundredths of a millimetre), a placeable one's bounds and units per inch.
// Setting Width or Height changes only the size it reports; drawing always fills the rectangle.
//
// Before the system sees them the headers are checked (signature, sizes inside the data, a
// placeable header's checksum, sides of at most 32,767 pixels) and every record is walked, so
// that each lies inside the data and the last one ends the metafile. Anything else raises
// EInvalidGraphic with "ﾒﾀﾌｧｲﾙが不正です" and leaves the metafile empty.
class TMetafile : public TGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TMetafile();
    ~TMetafile() override;

    HENHMETAFILE Handle() const { return handle_.get(); }
    // True when the data read was an enhanced metafile, false for a placeable one.
    bool Enhanced() const { return enhanced_; }
    // Makes the metafile empty; notifies when it was not.
    void Clear();

    void CopyIn(TPersistent* source) override;
    void Render(TCanvas& canvas, const RECT& rect) override;
    bool QueryEmpty() const override { return !handle_; }
    int QueryHeight() const override { return height_; }
    int QueryWidth() const override { return width_; }
    void ApplyHeight(int value) override;
    void ApplyWidth(int value) override;
    // Reads the rest of the stream; the stored form of an empty metafile is nothing at all.
    void ReadStored(TStream& stream) override;
    void LoadStream(TStream& stream) override;
    void SaveStream(TStream& stream) override;

private:
    // Takes checked bytes over, or raises and stays empty.
    void Take(std::vector<uint8_t> bytes);

    std::vector<uint8_t> data_;
    unique_henhmetafile handle_;
    int width_ = 0;
    int height_ = 0;
    bool enhanced_ = true;
};
