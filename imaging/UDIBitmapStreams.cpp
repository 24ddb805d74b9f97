// The DIB bitmap's bytes: packed DIBs, BMP files and the stored form.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/UDIBitmap.h"
#include "imaging/UDIBitmapRunLengths.h"
#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/DibSections.h"

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

// Reads past `count` bytes; a stream that ends first fails as a read would.
void Skip(TStream& stream, long long count)
{
    if (count > Remaining(stream))
        throw EReadError(tkconst::SReadError);
    stream.Seek(count, soFromCurrent);
}

// The core header, the info header, and the later versions of the info header, whose extra
// fields we drop (their colour masks excepted).
bool KnownHeaderSize(uint32_t size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

constexpr long long kMaxSide = (1LL << 27) - 1;

// The colour entries an info header names: biClrUsed, else the full count of a palette depth.
long long NamedColors(const BITMAPINFOHEADER& h)
{
    if (h.biClrUsed)
        return h.biClrUsed;
    return h.biBitCount == 1 ? 2 : h.biBitCount == 4 ? 16 : h.biBitCount == 8 ? 256 : 0;
}

// Header, masks and colour table as written, in bytes.
long long InfoSize(const TDIBInfo& info)
{
    const long long masks = info.header.biCompression == BI_BITFIELDS ? 3 : 0;
    return static_cast<long long>(sizeof(BITMAPINFOHEADER)) + 4 * (masks + std::min(NamedColors(info.header), 256LL));
}

// Gives the canvas's device context back when a read ends, however it ends.
class TCanvasRelease {
public:
    explicit TCanvasRelease(TDIBCanvas& canvas) : canvas_(canvas) {}
    ~TCanvasRelease() { canvas_.FreeHandles(); }
    TCanvasRelease(const TCanvasRelease&) = delete;
    TCanvasRelease& operator=(const TCanvasRelease&) = delete;

private:
    TDIBCanvas& canvas_;
};

}  // namespace

// ---- packed DIBs ------------------------------------------------------------------------

void TDIBitmap::ReadDIB(TStream& stream)
{
    uint8_t raw[124] = {};
    stream.ReadBuffer(raw, 4);
    const uint32_t headerSize = U32(raw);
    if (!KnownHeaderSize(headerSize))
        RaiseInvalidBitmap();
    stream.ReadBuffer(raw + 4, headerSize - 4);

    // The description the section is made from, always with a 40-byte header.
    const auto info = std::make_unique<TDIBInfo>();
    BITMAPINFOHEADER& h = info->header;
    long long entries;
    int entrySize = 4;
    DWORD compression = BI_RGB;
    if (headerSize == 12) {
        h.biWidth = U16(raw + 4);
        h.biHeight = U16(raw + 6);
        h.biPlanes = U16(raw + 8);
        h.biBitCount = U16(raw + 10);
        entries = h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 ? 1LL << h.biBitCount : 0;
        entrySize = 3;
    } else {
        std::memcpy(&h, raw, sizeof h);
        if (h.biCompression > 0xFFFF)  // held in 16 bits
            throw ERangeError(tkconst::SRangeError);
        compression = h.biCompression;
        h.biCompression = BI_RGB;
        entries = NamedColors(h);
    }
    h.biSize = sizeof(BITMAPINFOHEADER);
    const int bits = h.biBitCount;
    // Refused here: pixels beyond what one read can take, and sides beyond the system's device
    // coordinates (27 bits), which no draw can reach; Wine's drawing code even corrupts its
    // heap on such a width instead of refusing it. Whether a depth is known, or the memory
    // there, is the system's to say when the section is made.
    const long long columns = std::llabs(h.biWidth), rows = std::llabs(h.biHeight);
    const long long rowBytes = RowBytes(columns, bits);
    if (columns > kMaxSide || rows > kMaxSide || (rows > 0 && rowBytes > INT_MAX / rows))
        RaiseInvalidBitmap();

    // Bit fields: the three masks lie behind the first 40 bytes of the header, inside a
    // longer header or after a 40-byte one. The section is made with them.
    const bool masked = compression == BI_BITFIELDS;
    if (masked) {
        if (bits != 16 && bits != 32)
            RaiseInvalidBitmap();
        uint8_t bytes[12];
        if (headerSize >= 52)
            std::memcpy(bytes, raw + 40, sizeof bytes);
        else
            stream.ReadBuffer(bytes, sizeof bytes);
        DWORD masks[3];
        for (int i = 0; i < 3; ++i)
            masks[i] = U32(bytes + 4 * i);
        if (!ValidMasks(masks, bits))
            RaiseInvalidBitmap();
        h.biCompression = BI_BITFIELDS;
        std::memcpy(info->colors, masks, sizeof masks);
        compression = BI_RGB;  // the pixels are read as they stand
    }

    // The colour table: all of it is read, so the pixels are found behind it; no more than
    // the 256 slots of the description, and no more than the depth can use, are kept.
    const long long usable = masked ? 0 : bits == 0 ? 0 : bits <= 8 ? 1LL << bits : 256;
    const long long kept = std::min(entries, usable);
    if (entries * entrySize > Remaining(stream))
        throw EReadError(tkconst::SReadError);
    for (long long i = 0; i < kept; ++i) {
        uint8_t entry[4] = {};
        stream.ReadBuffer(entry, entrySize);
        info->colors[i] = {entry[0], entry[1], entry[2], 0};
    }
    Skip(stream, (entries - kept) * entrySize);
    if (h.biClrUsed)
        h.biClrUsed = static_cast<DWORD>(kept);
    // A full table (biClrUsed 0) keeps its count of important colours; only a table cut
    // short bounds it.
    if (kept > 0)
        h.biClrImportant = std::min<DWORD>(h.biClrImportant, static_cast<DWORD>(kept));

    void* pixels = nullptr;
    const long long size = CreateDIB(*info, pixels);
    const TCanvasRelease release(canvas());
    if (bits <= 8)
        ::GetDIBColorTable(canvas().Handle(), 0, 256, info_->colors);
    else if (!masked)
        std::memcpy(info_->colors, info->colors, static_cast<size_t>(kept) * sizeof(RGBQUAD));

    if (compression == BI_RGB) {
        stream.ReadBuffer(pixels, size);
        return;
    }
    // Run lengths: as long as the stream's own header says. We decode them ourselves; the
    // system's decoder is not safe with hostile runs. Other compressions leave the pixels 0.
    const long long packed = h.biSizeImage;
    if (packed > Remaining(stream))
        throw EReadError(tkconst::SReadError);
    std::unique_ptr<uint8_t[]> encoded(new (std::nothrow) uint8_t[static_cast<size_t>(packed) + 1]);
    if (!encoded)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    stream.ReadBuffer(encoded.get(), packed);
    const BITMAPINFOHEADER& made = info_->header;
    const bool runs = (compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4);
    if (runs && made.biHeight > 0)  // run lengths are stored bottom-up only
        DecodeRunLengths(encoded.get(), static_cast<size_t>(packed), bits, made.biWidth, made.biHeight,
                         static_cast<uint8_t*>(pixels), static_cast<size_t>(RowBytes(made.biWidth, bits)));
}

void TDIBitmap::WriteDIB(TStream& stream)
{
    if (Empty())
        return;
    const void* pixels = SectionBits();  // made now from the header when there is no section
    const BITMAPINFOHEADER& h = info_->header;
    stream.WriteBuffer(&h, sizeof h);
    if (h.biCompression == BI_BITFIELDS)
        stream.WriteBuffer(info_->colors, 3 * sizeof(RGBQUAD));
    int count = 0;
    if (const std::unique_ptr<RGBQUAD[]> table = GetColorTable(count))
        stream.WriteBuffer(table.get(), count * static_cast<long long>(sizeof(RGBQUAD)));
    ::GdiFlush();
    stream.WriteBuffer(pixels, h.biSizeImage);
}

// ---- BMP files and the stored form ------------------------------------------------------

void TDIBitmap::SaveStream(TStream& stream)
{
    if (Empty())
        return;
    Handle();  // the header is the section's from here on
    const long long infoSize = InfoSize(*info_);
    uint8_t header[14] = {'B', 'M'};
    Put32(header + 2, static_cast<uint32_t>(14 + infoSize + info_->header.biSizeImage));
    Put32(header + 10, static_cast<uint32_t>(14 + infoSize));
    stream.WriteBuffer(header, sizeof header);
    WriteDIB(stream);
}

void TDIBitmap::LoadStream(TStream& stream)
{
    uint8_t header[14];
    stream.ReadBuffer(header, sizeof header);
    if (header[0] != 'B' || header[1] != 'M')
        RaiseInvalidBitmap();
    NotifyChanged(this);
    ReadDIB(stream);
}

void TDIBitmap::WriteStored(TStream& stream)
{
    SaveStream(stream);
    const int32_t rect[4] = {viewRect_.left, viewRect_.top, viewRect_.right, viewRect_.bottom};
    uint8_t bytes[16];
    for (int i = 0; i < 4; ++i)
        Put32(bytes + 4 * i, static_cast<uint32_t>(rect[i]));
    stream.WriteBuffer(bytes, sizeof bytes);
}

void TDIBitmap::ReadStored(TStream& stream)
{
    uint8_t header[14];
    stream.ReadBuffer(header, sizeof header);
    const bool own = header[0] == 'B' && header[1] == 'M';
    if (!own) {
        // A stored toolkit bitmap: a length, then a BMP file; read on behind its file header.
        if (header[4] != 'B' || header[5] != 'M')
            RaiseInvalidBitmap();
        stream.ReadBuffer(header, 4);
    }
    NotifyChanged(this);
    ReadDIB(stream);
    if (own) {
        uint8_t bytes[16];
        stream.ReadBuffer(bytes, sizeof bytes);
        viewRect_ = {static_cast<int32_t>(U32(bytes)), static_cast<int32_t>(U32(bytes + 4)),
                     static_cast<int32_t>(U32(bytes + 8)), static_cast<int32_t>(U32(bytes + 12))};
    }
}
