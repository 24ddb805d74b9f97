// The bitmap's BMP reader and writer, and its stored form.
//
// The reader takes, in this order: the 14-byte file header ("BM"; the other fields are not
// used), the info header (a 12-byte core header is converted; 40 bytes; or the 52-, 56-,
// 108- and 124-byte headers current tools write, of which the colour masks are used and the
// rest dropped), for bit-field images with a 40-byte header the three colour masks, the
// colour table (biClrUsed entries, or the full count of the depth when it is 0), and the
// pixels right behind the table (the file header's offset is not used): the smaller of the
// image size (worked out when biSizeImage is 0) and what remains of the stream. A stream
// with nothing left gives an empty bitmap.
//
// Hostile headers raise "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です" (EInvalidGraphic) before anything is
// allocated: another header size, a plane count other than 1, a bit count other than 1, 4,
// 8, 16, 24 or 32, a compression other than none or bit fields (bit fields with 16 or 32
// bits and usable masks only), a negative width, a side longer than 32,767 pixels, and an
// image of more than 2^31 - 1 bytes.
// A colour table longer than the depth allows is read past, its extra entries ignored.
// Data that ends inside the headers or the colour table raises the stream read error; the
// bitmap then keeps its old image. Top-down files are kept bottom-up, and written so.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/DibSections.h"
#include "toolkit/graphics/Palettes.h"

namespace {

using namespace byteorder;

[[noreturn]] void RaiseInvalidBitmap()
{
    throw EInvalidGraphic(tkconst::SInvalidBitmap);
}

long long Remaining(TStream& stream)
{
    return stream.Size() - stream.Position();
}

bool KnownInfoHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

}  // namespace

void TBitmap::LoadStream(TStream& stream)
{
    if (Remaining(stream) <= 0) {
        Clear();
        return;
    }
    uint8_t fileHeader[14];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        RaiseInvalidBitmap();
    LoadDIB(stream);
}

void TBitmap::LoadDIB(TStream& stream)
{
    uint8_t raw[124] = {};
    stream.ReadBuffer(raw, 4);
    const uint32_t headerSize = U32(raw);
    TDibLayout layout;
    uint32_t planes, sizeImage = 0, colorsUsed = 0;
    const bool core = headerSize == 12;
    if (core) {
        stream.ReadBuffer(raw + 4, 8);
        layout.width = U16(raw + 4);
        layout.height = U16(raw + 6);
        planes = U16(raw + 8);
        layout.bitCount = U16(raw + 10);
    } else {
        if (!KnownInfoHeaderSize(headerSize))
            RaiseInvalidBitmap();
        stream.ReadBuffer(raw + 4, headerSize - 4);
        layout.width = static_cast<int32_t>(U32(raw + 4));
        layout.height = static_cast<int32_t>(U32(raw + 8));
        planes = U16(raw + 12);
        layout.bitCount = U16(raw + 14);
        layout.compression = U32(raw + 16);
        sizeImage = U32(raw + 20);
        colorsUsed = U32(raw + 32);
    }
    const int bits = layout.bitCount;
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        RaiseInvalidBitmap();
    if (layout.compression == BI_BITFIELDS) {
        if (bits != 16 && bits != 32)
            RaiseInvalidBitmap();
        uint8_t masks[12];
        if (headerSize >= 52)
            std::memcpy(masks, raw + 40, sizeof masks);
        else
            stream.ReadBuffer(masks, sizeof masks);
        for (int i = 0; i < 3; ++i)
            layout.masks[i] = U32(masks + 4 * i);
        if (!ValidMasks(layout.masks, bits))
            RaiseInvalidBitmap();
    } else if (layout.compression != BI_RGB) {
        RaiseInvalidBitmap();
    }
    if (layout.width < 0 || layout.width > MaxSide || layout.height < -MaxSide || layout.height > MaxSide)
        RaiseInvalidBitmap();
    const int height = std::abs(layout.height);
    const long long imageSize = RowBytes(layout.width, bits) * height;
    if (imageSize > INT_MAX)
        RaiseInvalidBitmap();

    // The colour table: what the depth can use is kept, the rest read past.
    const long long entries = colorsUsed ? colorsUsed : bits <= 8 ? 1LL << bits : 0;
    const int entrySize = core ? 3 : 4;
    if (entries * entrySize > Remaining(stream))
        throw EReadError(tkconst::SReadError);
    const int kept = bits <= 8 ? static_cast<int>(std::min(entries, 1LL << bits)) : 0;
    for (int i = 0; i < kept; ++i) {
        uint8_t entry[4];
        stream.ReadBuffer(entry, entrySize);
        layout.table[i] = {entry[0], entry[1], entry[2], 0};
    }
    stream.Seek((entries - kept) * entrySize, soFromCurrent);

    if (layout.width == 0 || height == 0) {
        Clear();
        return;
    }
    // Sections are always made bottom-up: the system does not report the row order of a
    // section in every version, so ours have one. A top-down file is read row by row.
    const bool topDown = layout.height < 0;
    layout.height = height;
    void* pixels = nullptr;
    unique_hbitmap section = CreateSection(layout, &pixels);
    const long long claimed = sizeImage ? static_cast<long long>(sizeImage) : imageSize;
    long long toRead = std::min({claimed, imageSize, Remaining(stream)});
    if (!topDown) {
        stream.ReadBuffer(pixels, toRead);
    } else {
        const long long rowBytes = RowBytes(layout.width, bits);
        for (int row = height - 1; row >= 0 && toRead > 0; --row) {
            const long long n = std::min(rowBytes, toRead);
            stream.ReadBuffer(static_cast<uint8_t*>(pixels) + row * rowBytes, n);
            toRead -= n;
        }
    }
    TakeImage(std::move(section),
              unique_hpalette(kept > 0 ? PaletteFromColorTable(layout.table, kept) : nullptr));
    NotifyChanged(this);
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::wstring& name)
{
    TResourceStream resource(instance, name.c_str(), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    LoadDIB(resource);
}

void TBitmap::SaveStream(TStream& stream)
{
    if (Empty() || !handle_)
        return;
    // Header (40 bytes), masks or colour table, then the pixels.
    uint8_t info[40 + 256 * 4] = {};
    int infoSize = 40;
    std::vector<uint8_t> ownPixels;
    const void* pixels;
    long long imageSize;
    DIBSECTION ds;
    if (SectionOf(handle_.get(), ds)) {
        const int bits = ds.dsBmih.biBitCount;
        ::GdiFlush();
        Put32(info + 4, static_cast<uint32_t>(ds.dsBmih.biWidth));
        Put32(info + 8, static_cast<uint32_t>(ds.dsBmih.biHeight));
        Put16(info + 14, static_cast<uint32_t>(bits));
        Put32(info + 16, ds.dsBmih.biCompression);
        if (ds.dsBmih.biCompression == BI_BITFIELDS) {
            std::memcpy(info + 40, ds.dsBitfields, 12);
            infoSize += 12;
        } else if (bits <= 8) {
            RGBQUAD table[256] = {};
            WithImageDC([&](HDC dc) { ::GetDIBColorTable(dc, 0, 256, table); });
            const int count = 1 << bits;
            std::memcpy(info + 40, table, static_cast<size_t>(count) * 4);
            Put32(info + 32, static_cast<uint32_t>(count));
            infoSize += count * 4;
        }
        pixels = ds.dsBm.bmBits;
        imageSize = static_cast<long long>(ds.dsBm.bmWidthBytes) * std::abs(ds.dsBmih.biHeight);
    } else {
        // A device-dependent bitmap goes out as a DIB the system makes of it.
        BITMAP bm{};
        ::GetObjectW(handle_.get(), sizeof bm, &bm);
        const int depth = bm.bmPlanes * bm.bmBitsPixel;
        const int bits = depth == 1 ? 1 : depth <= 8 ? 8 : 24;
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } query{};
        query.header = {sizeof(BITMAPINFOHEADER), width_, height_, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0, 0, 0};
        imageSize = RowBytes(width_, bits) * height_;
        ownPixels.resize(static_cast<size_t>(imageSize));
        FreeCanvasDC();  // the system reads a bitmap's bits only while it is selected nowhere
        WindowDC screen(nullptr);
        PaletteGuard palette(screen.get(), palette_.get());
        ::GetDIBits(screen.get(), handle_.get(), 0, static_cast<UINT>(height_), ownPixels.data(),
                    reinterpret_cast<BITMAPINFO*>(&query), DIB_RGB_COLORS);
        Put32(info + 4, static_cast<uint32_t>(width_));
        Put32(info + 8, static_cast<uint32_t>(height_));
        Put16(info + 14, static_cast<uint32_t>(bits));
        if (bits <= 8) {
            const int count = 1 << bits;
            std::memcpy(info + 40, query.colors, static_cast<size_t>(count) * 4);
            Put32(info + 32, static_cast<uint32_t>(count));
            infoSize += count * 4;
        }
        pixels = ownPixels.data();
    }
    Put32(info, 40);
    Put16(info + 12, 1);
    Put32(info + 20, static_cast<uint32_t>(imageSize));

    uint8_t fileHeader[14] = {'B', 'M'};
    Put32(fileHeader + 2, static_cast<uint32_t>(14 + infoSize + imageSize));
    Put32(fileHeader + 10, static_cast<uint32_t>(14 + infoSize));
    stream.WriteBuffer(fileHeader, sizeof fileHeader);
    stream.WriteBuffer(info, infoSize);
    stream.WriteBuffer(pixels, imageSize);
}

void TBitmap::WriteStored(TStream& stream)
{
    TMemoryStream file;
    SaveStream(file);
    uint8_t length[4];
    Put32(length, static_cast<uint32_t>(file.Size()));
    stream.WriteBuffer(length, 4);
    file.SaveToStream(stream);
}

void TBitmap::ReadStored(TStream& stream)
{
    uint8_t raw[4];
    stream.ReadBuffer(raw, 4);
    const long long length = static_cast<int32_t>(U32(raw));
    const long long left = Remaining(stream);
    if (length < 0 || length > left)
        throw EReadError(tkconst::SReadError);
    if (length == left) {
        LoadStream(stream);
        return;
    }
    // The file is followed by other data: read no further than its end.
    TMemoryStream file;
    file.SetSize(length);
    stream.ReadBuffer(file.Memory(), length);
    file.SetPosition(0);
    LoadStream(file);
}
