// The safety bitmap's file checks and the two loading paths of its own: faulty headers
// mended in memory, and run-length files decoded by the system.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/USafetyBitmap.h"
#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Palettes.h"

namespace {

using namespace byteorder;

constexpr int kBitsOffsetAt = 10;
constexpr int kSizeImageAt = 34;
constexpr int kColorsUsedAt = 46;

[[noreturn]] void RaiseInvalidBitmap()
{
    throw EInvalidGraphic(tkconst::SInvalidBitmap);
}

// Whether the image size is exactly the rows' size: rows padded to 32 bits, |height| of them.
bool RowsFill(int32_t width, int32_t height, int bitCount, uint32_t sizeImage)
{
    const long long stride = ((static_cast<long long>(width) * bitCount + 31) & ~31LL) / 8;
    const long long rows = std::llabs(static_cast<long long>(height));
    if (stride < 0 || (rows != 0 && stride > 0xFFFFFFFFLL / rows))
        return false;  // more than an image size can say
    return stride * rows == static_cast<long long>(sizeImage);
}

// How far the complete codes of run-length data reach, and whether the last of them is the
// end-of-data code. The system decodes nothing of data that lacks that code.
struct TCodedExtent {
    long long length = 0;
    bool ended = false;
};

TCodedExtent MeasureCodes(const uint8_t* coded, long long size, bool rle4)
{
    long long at = 0;
    while (size - at >= 2) {
        const uint8_t count = coded[at], code = coded[at + 1];
        long long next = at + 2;
        if (count == 0 && code == 1)
            return {next, true};
        if (count == 0 && code == 2) {
            next += 2;  // a move right and up
        } else if (count == 0 && code >= 3) {
            const long long bytes = rle4 ? (code + 1) / 2 : code;  // pixels as they are, padded to 16 bits
            next += (bytes + 1) & ~1LL;
        }
        if (next > size)
            break;
        at = next;
    }
    return {at, false};
}

// A stream's own bytes when it holds them in memory, else none.
const uint8_t* BytesInPlace(TStream& stream)
{
    auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream);
    return memory ? static_cast<const uint8_t*>(memory->Memory()) : nullptr;
}

}  // namespace

// ---- File checks ------------------------------------------------------------------------

TSafetyBitmap::THeaders TSafetyBitmap::ParseHeaders(const uint8_t* b)
{
    THeaders h;
    h.complete = true;
    h.signature = b[0] == 'B' && b[1] == 'M';
    h.bitsOffset = U32(b + kBitsOffsetAt);
    h.infoSize = U32(b + 14);
    h.width = static_cast<int32_t>(U32(b + 18));
    h.height = static_cast<int32_t>(U32(b + 22));
    h.bitCount = static_cast<uint16_t>(b[28] | b[29] << 8);
    h.compression = U32(b + 30);
    h.sizeImage = U32(b + kSizeImageAt);
    h.colorsUsed = U32(b + kColorsUsedAt);
    return h;
}

TSafetyBitmap::THeaders TSafetyBitmap::ReadHeaders(TStream& stream)
{
    // The file header, the info header's size, then the rest of it: three reads, each of
    // which may come up short, and the stream goes back where it was whatever happens.
    const long long at = stream.Position();
    uint8_t bytes[kHeadersSize];
    bool complete;
    try {
        complete = stream.Read(bytes, 14) == 14 && stream.Read(bytes + 14, 4) == 4 && U32(bytes + 14) == 40 &&
                   stream.Read(bytes + 18, 36) == 36;
    } catch (...) {
        stream.SetPosition(at);
        throw;
    }
    stream.SetPosition(at);
    if (complete)
        return ParseHeaders(bytes);
    THeaders h;
    h.signature = bytes[0] == 'B' && bytes[1] == 'M';
    return h;
}

bool TSafetyBitmap::NeedsRepair(TStream& stream, uint32_t& count)
{
    const THeaders h = ReadHeaders(stream);
    if (!h.complete || !h.signature || h.infoSize != 40)
        return false;
    count = h.colorsUsed;
    const bool faultySize = h.compression == BI_RGB && !RowsFill(h.width, h.height, h.bitCount, h.sizeImage);
    // Run-length files read their colour table themselves, however long it is: the toolkit's
    // reader, which a repair ends in, takes no run-length data.
    const bool runLength = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    const bool shortTable =
        !runLength && h.bitCount <= 8 && h.colorsUsed != 0 && (1u << h.bitCount) > h.colorsUsed;
    if (shortTable)
        count = 1u << h.bitCount;
    return faultySize || shortTable;
}

bool TSafetyBitmap::IsRunLength(TStream& stream)
{
    const THeaders h = ReadHeaders(stream);
    return h.complete && h.signature && h.infoSize == 40 && (h.compression == BI_RLE8 || h.compression == BI_RLE4);
}

// ---- Repairs ----------------------------------------------------------------------------

void TSafetyBitmap::RepairFile(TMemoryStream& file, uint32_t count)
{
    auto* bytes = static_cast<uint8_t*>(file.Memory());
    const THeaders h = ParseHeaders(bytes);
    if (count != h.colorsUsed) {
        // The pixels move back to make room for the new entries. They must start after the old
        // table and inside the file, or the move would reach outside it.
        const long long size = file.Size();
        const long long tableEnd = kHeadersSize + 4LL * h.colorsUsed;
        if (h.bitsOffset < tableEnd || h.bitsOffset > size)
            RaiseInvalidBitmap();
        const long long grow = 4LL * (count - h.colorsUsed);
        file.SetSize(size + grow);
        bytes = static_cast<uint8_t*>(file.Memory());
        std::memset(bytes + size, 0, static_cast<size_t>(grow));
        std::memmove(bytes + h.bitsOffset + grow, bytes + h.bitsOffset, static_cast<size_t>(size - h.bitsOffset));
        // No pixel refers to the new entries; black rather than whatever the memory held.
        std::memset(bytes + tableEnd, 0, static_cast<size_t>(grow));
        Put32(bytes + kColorsUsedAt, count);
    }
    Put32(bytes + kSizeImageAt, 0);
}

void TSafetyBitmap::RepairAndLoad(TMemoryStream& file, uint32_t count)
{
    RepairFile(file, count);
    file.SetPosition(0);
    TBitmap::LoadStream(file);
}

// ---- Run-length files -------------------------------------------------------------------

void TSafetyBitmap::LoadPlainOrRunLength(TStream& stream)
{
    if (!IsRunLength(stream)) {
        TBitmap::LoadStream(stream);
        return;
    }
    const long long at = stream.Position();
    const long long size = stream.Size() - at;
    if (const uint8_t* bytes = BytesInPlace(stream)) {
        stream.Seek(0, soFromEnd);
        LoadRunLength(bytes + at, size);
        return;
    }
    TMemoryStream copy;
    copy.SetSize(size);
    copy.CopyFrom(stream, size);
    LoadRunLength(static_cast<const uint8_t*>(copy.Memory()), size);
}

void TSafetyBitmap::LoadRunLength(const uint8_t* file, long long size)
{
    const THeaders h = ParseHeaders(file);
    const bool rle4 = h.compression == BI_RLE4;
    const int bits = rle4 ? 4 : 8;
    // What the system would refuse to decode is refused here, before the picture changes:
    // another depth than the compression's, rows top-down, sides the toolkit's reader refuses.
    if (h.bitCount != bits || h.width < 0 || h.width > MaxSide || h.height < 0 || h.height > MaxSide)
        RaiseInvalidBitmap();
    uint32_t entries = h.colorsUsed & 0xFFFF;
    if (entries == 0)
        entries = 1u << bits;
    // The coded pixels lie at the bits offset, after the colour table and inside the file.
    if (h.bitsOffset < kHeadersSize + 4LL * entries || h.bitsOffset > size)
        RaiseInvalidBitmap();
    const int kept = static_cast<int>(std::min(entries, 1u << bits));

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    std::memcpy(&info.header, file + 14, sizeof info.header);
    std::memcpy(info.colors, file + kHeadersSize, static_cast<size_t>(kept) * 4);
    for (int i = 0; i < kept; ++i)
        info.colors[i].rgbReserved = 0;
    // The system reads the colour table the header counts and as many coded bytes as the
    // image size says: neither may reach past the file. Data cut short, or without its end
    // code, is decoded as far as its complete codes go, from a copy that gets the end code.
    info.header.biClrUsed = static_cast<DWORD>(kept);
    const long long available = size - h.bitsOffset;
    const long long declared = h.sizeImage != 0 ? std::min<long long>(h.sizeImage, available) : available;
    const TCodedExtent extent = MeasureCodes(file + h.bitsOffset, declared, rle4);
    const uint8_t* coded = file + h.bitsOffset;
    std::vector<uint8_t> ended;
    if (!extent.ended) {
        ended.assign(coded, coded + extent.length);
        ended.insert(ended.end(), {0, 1});
        coded = ended.data();
    }
    info.header.biSizeImage = static_cast<DWORD>(ended.empty() ? extent.length : ended.size());

    Clear();
    SetPixelFormat(rle4 ? TPixelFormat::pf4bit : TPixelFormat::pf8bit);
    SetPalette(PaletteFromColorTable(info.colors, kept));
    // The new image's colour table is the palette's, and its pixels are white until decoded.
    SetSize(h.width, h.height);
    if (Empty())
        return;
    // Decoded unscaled from the top-left corner; what the data does not reach stays white.
    ::StretchDIBits(Canvas().Handle(), 0, 0, h.width, h.height, 0, 0, h.width, h.height, coded,
                    reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    NotifyChanged(this);
}
