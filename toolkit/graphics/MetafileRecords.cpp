#include "toolkit/graphics/MetafileRecords.h"

#include <windows.h>

#include <vector>

#include "toolkit/core/ByteOrder.h"
#include "toolkit/graphics/DibSections.h"

namespace {

using namespace byteorder;

// Record types and text options the platform headers do not all name.
constexpr uint32_t kDrawEscape = 105, kExtEscape = 106, kSmallTextOut = 108, kNamedEscape = 110,
                   kSetLinkedUfis = 119;
constexpr uint32_t kNoRect = 0x100, kSmallChars = 0x200;

bool Inside(uint64_t offset, uint64_t count, uint64_t size)
{
    return offset <= size && count <= size - offset;
}

// How a bitmap the system accepts from a metafile is laid out: sides of 1 to 32,767, one plane,
// an uncompressed or bit-field depth, its description (header, masks, colour table) inside
// `available`.
struct DibShape {
    uint64_t infoBytes = 0;
    uint64_t rowBytes = 0;
    uint64_t rows = 0;
};

bool DescribeDib(const uint8_t* info, uint64_t available, uint32_t usage, DibShape& shape)
{
    if (available < 12)
        return false;
    const uint32_t headerSize = U32(info);
    long long width, height;
    uint32_t bits, compression = BI_RGB, used = 0;
    if (headerSize == 12) {
        width = U16(info + 4);
        height = U16(info + 6);
        bits = U16(info + 10);
        if (U16(info + 8) != 1)
            return false;
    } else {
        if (headerSize < 40 || headerSize > available)
            return false;
        width = static_cast<int32_t>(U32(info + 4));
        height = static_cast<int32_t>(U32(info + 8));
        bits = U16(info + 14);
        compression = U32(info + 16);
        used = U32(info + 32);
        if (U16(info + 12) != 1)
            return false;
    }
    if (height < 0)
        height = -height;
    if (width < 1 || width > 32767 || height < 1 || height > 32767)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    const bool masks = compression == BI_BITFIELDS;
    if (compression != BI_RGB && !(masks && (bits == 16 || bits == 32)))
        return false;
    if (used > (bits <= 8 ? 1u << bits : 256u))
        return false;
    const uint64_t colours = used ? used : bits <= 8 ? 1u << bits : 0;
    const uint64_t entry = usage == DIB_PAL_COLORS ? 2 : headerSize == 12 ? 3 : 4;
    shape.infoBytes = headerSize + (masks && headerSize == 40 ? 12 : 0) + colours * entry;
    shape.rowBytes = static_cast<uint64_t>(RowBytes(width, static_cast<int>(bits)));
    shape.rows = static_cast<uint64_t>(height);
    return shape.infoBytes <= available;
}

// A bitmap given as description and pixels at offsets of the record.
bool DibAt(const uint8_t* record, uint32_t size, uint32_t offInfo, uint32_t cbInfo, uint32_t offBits, uint32_t cbBits,
           uint32_t usage, DibShape* described = nullptr)
{
    DibShape shape;
    if (!Inside(offInfo, cbInfo, size) || !Inside(offBits, cbBits, size) ||
        !DescribeDib(record + offInfo, cbInfo, usage, shape) || shape.rowBytes * shape.rows > cbBits)
        return false;
    if (described)
        *described = shape;
    return true;
}

// A bitmap packed into the rest of a record: description, then pixels.
bool PackedDib(const uint8_t* dib, uint64_t available, uint32_t usage, DibShape* described = nullptr)
{
    DibShape shape;
    if (!DescribeDib(dib, available, usage, shape) || shape.rowBytes * shape.rows > available - shape.infoBytes)
        return false;
    if (described)
        *described = shape;
    return true;
}

// A region's data: its 32-byte header of rectangles and the rectangles.
bool RegionAt(const uint8_t* record, uint32_t size, uint32_t offset, uint32_t count)
{
    return Inside(offset, count, size) && count >= 32 && U32(record + offset) == 32 &&
           U32(record + offset + 4) == RDH_RECTANGLES && Inside(32, uint64_t{U32(record + offset + 8)} * 16, count);
}

// Objects made, selected and deleted by the records, by their slot in the handle table.
class HandleTable {
public:
    explicit HandleTable(uint32_t slots) : live_(slots, false) {}
    // The slot must be free: making an object into a live slot would lose the old one.
    bool Create(uint32_t slot)
    {
        if (slot == 0 || slot >= live_.size() || live_[slot])
            return false;
        live_[slot] = true;
        return true;
    }
    // A WMF object goes into the lowest free slot.
    bool CreateInFirstFree()
    {
        for (size_t slot = 0; slot < live_.size(); ++slot)
            if (!live_[slot])
                return live_[slot] = true;
        return false;
    }
    bool Live(uint32_t slot) const { return slot < live_.size() && live_[slot]; }
    bool Delete(uint32_t slot)
    {
        if (slot >= live_.size())
            return false;
        live_[slot] = false;
        return true;
    }

private:
    std::vector<bool> live_;
};

// An object of the enhanced metafile's table or a stock object.
bool SelectableEnhanced(const HandleTable& table, uint32_t index)
{
    return (index & 0x80000000u) ? (index & 0x7FFFFFFFu) <= STOCK_LAST : index != 0 && table.Live(index);
}

// Smallest size of each enhanced record type, fixed fields included; 0: refused.
uint32_t EnhancedMinimum(uint32_t type)
{
    static constexpr uint16_t kMinimum[] = {
        0,   0,   28,  28,  28,  28,  28,  32,  32,  16,  16,  16,  16,  16,  20,  20,   // 0-15
        12,  12,  12,  12,  12,  12,  12,  32,  12,  12,  16,  16,  8,   24,  24,  24,   // 16-31
        24,  8,   12,  32,  36,  12,  28,  24,  12,  28,  24,  24,  32,  40,  40,  40,   // 32-47
        12,  16,  20,  16,  8,   24,  16,  40,  28,  12,  12,  8,   8,   8,   24,  24,   // 48-63
        24,  8,   8,   12,  8,   0,   12,  32,  40,  28,  28,  16,  100, 108, 128, 140,  // 64-79
        76,  80,  104, 76,  76,  28,  28,  28,  28,  28,  32,  32,  28,  32,  32,  52,   // 80-95
        40,  40,  12,  340, 12,  12,  0,   0,   48,  16,  16,  0,   36,  16,  20,  24,   // 96-111
        20,  20,  108, 12,  108, 0,   36,  12,  16,  24,  608,                          // 112-122
    };
    return type < sizeof kMinimum / sizeof kMinimum[0] ? kMinimum[type] : 0;
}

bool TextAt(const uint8_t* r, uint32_t size, uint32_t at, uint32_t charBytes)
{
    const uint64_t chars = U32(r + at + 8);
    const uint32_t offString = U32(r + at + 12), options = U32(r + at + 16), offDx = U32(r + at + 36);
    return Inside(offString, chars * charBytes, size) &&
           (offDx == 0 || Inside(offDx, chars * 4 * (options & ETO_PDY ? 2 : 1), size));
}

bool CheckEnhancedRecord(const uint8_t* r, uint32_t size, HandleTable& table)
{
    const uint32_t type = U32(r);
    const uint32_t minimum = EnhancedMinimum(type);
    if (minimum == 0 || size < minimum)
        return false;
    const auto at = [r](uint32_t offset) { return U32(r + offset); };
    switch (type) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
        return Inside(28, uint64_t{at(24)} * 8, size);
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
        return Inside(28, uint64_t{at(24)} * 4, size);
    case EMR_POLYDRAW:
        return Inside(28, uint64_t{at(24)} * 9, size);
    case EMR_POLYDRAW16:
        return Inside(28, uint64_t{at(24)} * 5, size);
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16: {
        const uint64_t polygons = at(24), points = at(28);
        if (!Inside(32, polygons * 4, size))
            return false;
        uint64_t counted = 0;
        for (uint64_t i = 0; i < polygons; ++i)
            counted += at(static_cast<uint32_t>(32 + 4 * i));
        const uint64_t pointBytes = type == EMR_POLYPOLYLINE || type == EMR_POLYPOLYGON ? 8 : 4;
        return counted <= points && Inside(32 + polygons * 4, points * pointBytes, size);
    }
    case EMR_SELECTOBJECT: case EMR_SELECTPALETTE: case EMR_SETCOLORSPACE:
        return SelectableEnhanced(table, at(8));
    case EMR_DELETEOBJECT: case EMR_DELETECOLORSPACE:
        return at(8) != 0 && table.Delete(at(8));
    case EMR_CREATEPEN: case EMR_CREATEBRUSHINDIRECT: case EMR_EXTCREATEFONTINDIRECTW: case EMR_CREATECOLORSPACE:
        return table.Create(at(8));
    case EMR_CREATECOLORSPACEW:
        return Inside(608, at(604), size) && table.Create(at(8));
    case EMR_CREATEPALETTE:
        return Inside(16, uint64_t{U16(r + 14)} * 4, size) && table.Create(at(8));
    case EMR_SETPALETTEENTRIES:
        return Inside(20, uint64_t{at(16)} * 4, size) && table.Live(at(8));
    case EMR_RESIZEPALETTE: case EMR_COLORCORRECTPALETTE:
        return table.Live(at(8));
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT:
        return DibAt(r, size, at(16), at(20), at(24), at(28), at(12)) && table.Create(at(8));
    case EMR_EXTCREATEPEN:
        return Inside(52, uint64_t{at(48)} * 4, size) &&
               (at(16) == 0 || DibAt(r, size, at(12), at(16), at(20), at(24), DIB_RGB_COLORS)) && table.Create(at(8));
    case EMR_GDICOMMENT:
        return Inside(12, at(8), size);
    case EMR_FILLRGN:
        return SelectableEnhanced(table, at(28)) && RegionAt(r, size, 32, at(24));
    case EMR_FRAMERGN:
        return SelectableEnhanced(table, at(28)) && RegionAt(r, size, 40, at(24));
    case EMR_INVERTRGN: case EMR_PAINTRGN:
        return RegionAt(r, size, 28, at(24));
    case EMR_EXTSELECTCLIPRGN:
        return at(8) == 0 || RegionAt(r, size, 16, at(8));
    case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT:
        return at(88) == 0 || DibAt(r, size, at(84), at(88), at(92), at(96), at(80));
    case EMR_MASKBLT:
        return (at(88) == 0 || DibAt(r, size, at(84), at(88), at(92), at(96), at(80))) &&
               (at(116) == 0 || DibAt(r, size, at(112), at(116), at(120), at(124), at(108)));
    case EMR_PLGBLT:
        return (at(100) == 0 || DibAt(r, size, at(96), at(100), at(104), at(108), at(92))) &&
               (at(128) == 0 || DibAt(r, size, at(124), at(128), at(132), at(136), at(120)));
    case EMR_SETDIBITSTODEVICE: {
        DibShape shape;  // the scans drawn lie inside the bitmap
        return DibAt(r, size, at(48), at(52), at(56), at(60), at(64), &shape) &&
               uint64_t{at(68)} + at(72) <= shape.rows;
    }
    case EMR_STRETCHDIBITS:
        return DibAt(r, size, at(48), at(52), at(56), at(60), at(64));
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW:
        return TextAt(r, size, 36, type == EMR_EXTTEXTOUTW ? 2 : 1);
    case EMR_POLYTEXTOUTA: case EMR_POLYTEXTOUTW: {
        const uint64_t strings = at(36);
        if (!Inside(40, strings * 40, size))
            return false;
        for (uint64_t i = 0; i < strings; ++i)
            if (!TextAt(r, size, static_cast<uint32_t>(40 + 40 * i), type == EMR_POLYTEXTOUTW ? 2 : 1))
                return false;
        return true;
    }
    case kSmallTextOut: {
        const uint32_t options = at(20);
        return Inside(options & kNoRect ? 36 : 52, uint64_t{at(16)} * (options & kSmallChars ? 1 : 2), size);
    }
    case EMR_GRADIENTFILL: {
        const uint64_t vertices = at(24), shapes = at(28), mode = at(32);
        const uint64_t corners = mode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
        if (mode > GRADIENT_FILL_TRIANGLE || !Inside(36, vertices * 16 + shapes * corners * 4, size))
            return false;
        for (uint64_t i = 0; i < shapes * corners; ++i)
            if (at(static_cast<uint32_t>(36 + vertices * 16 + i * 4)) >= vertices)
                return false;
        return true;
    }
    case EMR_SETICMPROFILEA: case EMR_SETICMPROFILEW:
        return Inside(20, uint64_t{at(12)} + at(16), size);
    case EMR_COLORMATCHTOTARGETW:
        return Inside(24, uint64_t{at(16)} + at(20), size);
    case kDrawEscape: case kExtEscape:
        return Inside(16, at(12), size);
    case kNamedEscape:
        return Inside(20, uint64_t{at(12)} + at(16), size);
    case kSetLinkedUfis:
        return Inside(12, uint64_t{at(8)} * 8, size);
    default:
        return true;  // fixed fields only, checked above
    }
}

}  // namespace

bool CheckEnhancedRecords(const uint8_t* metafile, uint32_t size)
{
    HandleTable table(U16(metafile + 56));
    uint32_t at = 0, last = 0, lastSize = 0;
    while (at < size) {
        if (size - at < 8)
            return false;
        const uint32_t recordSize = U32(metafile + at + 4);
        if (recordSize < 8 || recordSize % 4 != 0 || recordSize > size - at)
            return false;
        if (at > 0 && !CheckEnhancedRecord(metafile + at, recordSize, table))
            return false;
        last = at;
        lastSize = recordSize;
        at += recordSize;
    }
    // The end record, with its palette inside it.
    const uint8_t* end = metafile + last;
    return U32(end) == EMR_EOF && lastSize >= 20 && Inside(U32(end + 12), uint64_t{U32(end + 8)} * 4, lastSize);
}

namespace {

// Words of parameters each Windows metafile function needs at least; functions not listed
// are refused (among them the old device-dependent bitmap ones).
struct WindowsFunction {
    uint16_t function;
    uint16_t words;
};
constexpr WindowsFunction kWindowsFunctions[] = {
    {0x001E, 0}, {0x0035, 0}, {0x0037, 2},  {0x00F7, 2}, {0x0102, 1}, {0x0103, 1}, {0x0104, 1}, {0x0105, 1},
    {0x0106, 1}, {0x0107, 1}, {0x0108, 1},  {0x0127, 1}, {0x012A, 1}, {0x012B, 1}, {0x012C, 1}, {0x012D, 1},
    {0x012E, 1}, {0x0139, 1}, {0x0142, 2},  {0x0149, 2}, {0x01F0, 1}, {0x0201, 2}, {0x0209, 2}, {0x020A, 2},
    {0x020B, 2}, {0x020C, 2}, {0x020D, 2},  {0x020E, 2}, {0x020F, 2}, {0x0211, 2}, {0x0213, 2}, {0x0214, 2},
    {0x0220, 2}, {0x0228, 2}, {0x0231, 2},  {0x0234, 1}, {0x02FA, 5}, {0x02FB, 9}, {0x02FC, 4}, {0x0324, 1},
    {0x0325, 1}, {0x0410, 4}, {0x0412, 4},  {0x0415, 4}, {0x0416, 4}, {0x0418, 4}, {0x0419, 4}, {0x041B, 4},
    {0x041F, 4}, {0x0429, 4}, {0x0436, 2},  {0x0521, 1}, {0x0538, 1}, {0x0548, 5}, {0x061C, 6}, {0x061D, 6},
    {0x0626, 2}, {0x06FF, 11}, {0x0817, 8}, {0x081A, 8}, {0x0830, 8}, {0x0940, 8}, {0x0A32, 4}, {0x0B41, 10},
    {0x0D33, 9}, {0x0F43, 11},
};

int WindowsMinimum(uint16_t function)
{
    for (const WindowsFunction& f : kWindowsFunctions)
        if (f.function == function)
            return f.words;
    return -1;
}

// A region object: its 11-word header, then its scans, each a count of coordinates (even), top,
// bottom, the coordinates and the count again.
bool RegionScans(const uint8_t* params, uint64_t words)
{
    const auto p = [params](uint64_t i) { return U16(params + 2 * i); };
    uint64_t at = 11;
    for (unsigned scan = 0; scan < p(5); ++scan) {
        if (at + 4 > words || p(at) % 2 != 0 || at + 4 + p(at) > words)
            return false;
        at += 4 + p(at);
    }
    return true;
}

bool CheckWindowsRecord(uint16_t function, const uint8_t* params, uint64_t words, HandleTable& table)
{
    const int minimum = WindowsMinimum(function);
    if (minimum < 0 || words < static_cast<uint64_t>(minimum))
        return false;
    const auto p = [params](uint64_t i) -> uint64_t { return U16(params + 2 * i); };
    const uint64_t bytes = words * 2;
    switch (function) {
    case 0x0037: case 0x0436:  // palette entries, animated palette
        return words >= 2 + 2 * p(1);
    case 0x00F7:  // create palette
        return words >= 2 + 2 * p(1) && table.CreateInFirstFree();
    case 0x012A: case 0x012B: case 0x012C: case 0x012D: case 0x0234: case 0x0139:
        return table.Live(static_cast<uint32_t>(p(0)));
    case 0x01F0:  // delete object
        return table.Delete(static_cast<uint32_t>(p(0)));
    case 0x0228: case 0x0429:  // fill or frame a region with a brush
        return table.Live(static_cast<uint32_t>(p(0))) && table.Live(static_cast<uint32_t>(p(1)));
    case 0x02FA: case 0x02FC:  // pen, brush
        return table.CreateInFirstFree();
    case 0x02FB: {  // font: the face name ends inside the record or fills its 32 bytes
        const uint8_t* face = params + 18;
        const uint64_t faceBytes = bytes - 18;
        bool ended = faceBytes >= 32;
        for (uint64_t i = 0; i < faceBytes && !ended; ++i)
            ended = face[i] == 0;
        return ended && table.CreateInFirstFree();
    }
    case 0x0142:  // pattern brush of a bitmap; the old device-dependent form is refused
        return p(0) != BS_PATTERN && PackedDib(params + 4, bytes - 4, static_cast<uint32_t>(p(1))) &&
               table.CreateInFirstFree();
    case 0x0324: case 0x0325:  // polygon, polyline
        return words >= 1 + 2 * p(0);
    case 0x0538: {  // polygons: their count, the count of each, the points
        const uint64_t polygons = p(0);
        if (words < 1 + polygons)
            return false;
        uint64_t points = 0;
        for (uint64_t i = 0; i < polygons; ++i)
            points += p(1 + i);
        return words >= 1 + polygons + 2 * points;
    }
    case 0x0521:  // text: its length, the bytes (padded to a word), y, x
        return words >= 1 + (p(0) + 1) / 2 + 2;
    case 0x0A32:  // y, x, length, options, the rectangle when the options use one, the bytes
        return words >= 4 + (p(3) & (ETO_OPAQUE | ETO_CLIPPED) ? 4 : 0) + (p(2) + 1) / 2;
    case 0x0626:  // escape: function, byte count, bytes
        return bytes >= 4 + p(1);
    case 0x06FF:
        return RegionScans(params, words) && table.CreateInFirstFree();
    case 0x0940:  // 9 words: no bitmap
        return words == 9 || PackedDib(params + 16, bytes - 16, DIB_RGB_COLORS);
    case 0x0B41:  // 11 words: no bitmap
        return words == 11 || PackedDib(params + 20, bytes - 20, DIB_RGB_COLORS);
    case 0x0D33: {  // the scans drawn lie inside the bitmap
        DibShape shape;
        return PackedDib(params + 18, bytes - 18, static_cast<uint32_t>(p(0)), &shape) && p(2) + p(1) <= shape.rows;
    }
    case 0x0F43:
        return PackedDib(params + 22, bytes - 22, static_cast<uint32_t>(p(2)));
    default:
        return true;  // fixed parameters only, checked above
    }
}

}  // namespace

bool CheckWindowsRecords(const uint8_t* metafile, uint64_t size)
{
    HandleTable table(U16(metafile + 10));
    uint64_t at = 18;
    for (;;) {
        if (size - at < 6)
            return false;
        const uint64_t recordBytes = uint64_t{U32(metafile + at)} * 2;
        if (recordBytes < 6 || recordBytes > size - at)
            return false;
        const uint16_t function = U16(metafile + at + 4);
        if (function == 0)
            return true;
        if (!CheckWindowsRecord(function, metafile + at + 6, (recordBytes - 6) / 2, table))
            return false;
        at += recordBytes;
    }
}
