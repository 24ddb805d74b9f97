// The safety bitmap's life, its loading order, its palette rule and its registration.
#include "imaging/USafetyBitmap.h"

#include <algorithm>

#include "imaging/UDIB.h"
#include "imaging/UDrawSupport.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Palettes.h"
#include "toolkit/graphics/PictureFormats.h"
#include "update/UZLIB.h"

constinit const TClass TSafetyBitmap::Class{L"TSafetyBitmap", &TBitmap::Class, &MakeInstance<TSafetyBitmap>};

TSafetyBitmap::TSafetyBitmap()
    : maskBitmap_(std::make_unique<TBitmap>()), maskDIB_(std::make_unique<TDIB>()),
      imageBitmap_(std::make_unique<TBitmap>())
{
    maskBitmap_->SetMonochrome(true);
}

TSafetyBitmap::~TSafetyBitmap()
{
    maskBitmap_.reset();
    maskDIB_.reset();
    imageBitmap_.reset();
}

void TSafetyBitmap::NotifyChanged(TObject* sender)
{
    TBitmap::NotifyChanged(sender);
    maskDirty_ = true;
    imageDirty_ = true;
}

void TSafetyBitmap::CopyIn(TPersistent* source)
{
    TBitmap::CopyIn(source);
    auto* other = As<TSafetyBitmap>(source);
    if (!other || other == this)
        return;
    maskBitmap_->CopyIn(other->maskBitmap_.get());
    imageBitmap_->CopyIn(other->imageBitmap_.get());
    // The base's change notification made ours stale; the source's caches are as good as
    // its flags say.
    maskDirty_ = other->maskDirty_;
    imageDirty_ = other->imageDirty_;
    if (!IsWinNT())
        maskDIB_->CopyIn(*other->maskDIB_);
}

void TSafetyBitmap::LoadStream(TStream& stream)
{
    SetIgnorePalette(false);
    int declared = 0;
    uint32_t count = 0;
    if (ReadCompressHeader(stream, declared)) {
        // Sized once, as far as the compressed bytes can back the declared length (a header
        // may declare 2 GiB in front of nothing); a negative length fails the sizing.
        TMemoryStream file;
        const long long backed = MaxInflatedSize(stream.Size() - stream.Position());
        file.SetSize(declared < 0 ? declared : std::min<long long>(declared, backed));
        // Inflated to the zlib stream's end, where its checksum is compared: content that
        // ends before or runs on after the declared length fails here, before the picture
        // is touched.
        DecompressWholeStream(stream, file, declared);
        file.SetPosition(0);
        if (NeedsRepair(file, count))
            RepairAndLoad(file, count);
        else
            LoadPlainOrRunLength(file);
    } else if (NeedsRepair(stream, count)) {
        TMemoryStream file;
        const long long size = stream.Size() - stream.Position();
        file.SetSize(size);
        file.CopyFrom(stream, size);
        RepairAndLoad(file, count);
    } else {
        LoadPlainOrRunLength(stream);
    }
    NormalizePalette();
}

void TSafetyBitmap::NormalizePalette()
{
    const TPixelFormat format = PixelFormat();
    HPALETTE palette = Palette();
    if ((format != TPixelFormat::pf4bit && format != TPixelFormat::pf8bit) || !palette || Empty())
        return;
    const int bits = format == TPixelFormat::pf4bit ? 4 : 8;
    const int size = 1 << bits;
    if (::GetNearestPaletteIndex(palette, RGB(0, 0, 0)) == 0 &&
        ::GetNearestPaletteIndex(palette, RGB(255, 255, 255)) == static_cast<UINT>(size - 1))
        return;

    unique_hpalette fixed(CopyPalette(palette));
    FixPalette(fixed.get(), true, size);
    // Each pixel value is renumbered to where its colour went; a colour left out for want of
    // room goes to the nearest one kept. The colours pixels show are the colour table's,
    // which may hold more entries than the palette.
    RGBQUAD table[256] = {};
    ::GetDIBColorTable(Canvas().Handle(), 0, static_cast<UINT>(size), table);
    uint8_t renumber[256];
    for (int i = 0; i < size; ++i)
        renumber[i] = static_cast<uint8_t>(
            ::GetNearestPaletteIndex(fixed.get(), RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue)));
    const int rowBytes = ScanLineSize();
    for (int y = 0; y < Height(); ++y) {
        auto* row = static_cast<uint8_t*>(ScanLine(y));
        for (int x = 0; x < rowBytes; ++x)
            row[x] = bits == 8 ? renumber[row[x]]
                               : static_cast<uint8_t>(renumber[row[x] >> 4] << 4 | renumber[row[x] & 0x0F]);
    }
    SetPalette(fixed.release());
}

void StartSafetyBitmap()
{
    RegisterFileFormat(L"BMP", L"Bitmaps", TSafetyBitmap::Class);
    RegisterFileFormat(L"CBM", L"Compressed Bitmaps", TSafetyBitmap::Class);
}

void EndSafetyBitmap()
{
    UnregisterGraphicClass(TSafetyBitmap::Class);
}
