#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "imaging/UDIBitmap.h"
#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

// A bitmap that draws by the given method, whatever the platform chose.
std::unique_ptr<TDIBitmap> Make(bool useDIBits)
{
    const bool platform = TDIBitmap::DefaultUseDIBits();
    TDIBitmap::SetDefaultUseDIBits(useDIBits);
    auto dib = std::make_unique<TDIBitmap>();
    TDIBitmap::SetDefaultUseDIBits(platform);
    return dib;
}

// What a program does with a loaded bitmap: draws it scaled (building its palette), and, when
// it is small enough to stay quick, writes it back and draws the copy by the other method.
// The system's drawing takes time in proportion to the pixels, and a few bytes of run lengths
// may ask for a section of 2 GB: pictures of more than 2^24 pixels only build their palette.
void Exercise(TDIBitmap& dib)
{
    const BITMAPINFOHEADER& h = dib.BitmapInfo().header;
    if (static_cast<long long>(h.biWidth) * std::llabs(h.biHeight) > (1LL << 24)) {
        dib.Palette();
        return;
    }
    TBitmap target;
    target.SetSize(8, 8);
    dib.Render(target.Canvas(), {0, 0, 8, 8});
    if (dib.Empty() || dib.BitmapInfo().header.biSizeImage > (1u << 20))
        return;
    TMemoryStream stored;
    dib.WriteStored(stored);
    stored.SetPosition(0);
    const std::unique_ptr<TDIBitmap> copy = Make(!dib.UseDIBits());
    copy->ReadStored(stored);
    copy->Render(target.Canvas(), {-2, 1, 9, 6});
}

// Run-length pixels of 5 x 3: encoded runs, an absolute run, a delta, ends of line and image.
BmpSpec RunLengths(uint16_t bits)
{
    BmpSpec s = SmallPicture(bits);
    s.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    s.rows = {bits == 8 ? std::vector<uint8_t>{0, 3, 1, 2, 3, 0, 2, 4, 0, 0, 5, 1, 0, 0, 0, 2, 2, 0, 3, 2, 0, 1}
                        : std::vector<uint8_t>{0, 4, 0x12, 0x34, 1, 5, 0, 0, 5, 0x67, 0, 0, 0, 2, 1, 0, 4, 0x89, 0, 1}};
    return s;
}

// Every shape the reader takes, as bitmap files.
std::vector<BmpSpec> Shapes()
{
    BmpSpec fields = SmallPicture(16);
    fields.compression = BI_BITFIELDS;
    fields.writeMasks = true;
    fields.masks[0] = 0xF800, fields.masks[1] = 0x07E0, fields.masks[2] = 0x001F;
    BmpSpec v5 = SmallPicture(32, 124);
    v5.compression = BI_BITFIELDS;
    v5.masks[0] = 0xFF0000, v5.masks[1] = 0xFF00, v5.masks[2] = 0xFF;
    BmpSpec topDown = SmallPicture(24);
    topDown.height = -3;
    BmpSpec named = SmallPicture(24);
    named.table = SmallPicture(4).table;
    BmpSpec shortTable = SmallPicture(8, 108);
    shortTable.table.resize(20);
    return {SmallPicture(1), SmallPicture(4), SmallPicture(8), SmallPicture(24), SmallPicture(32), SmallPicture(4, 12), SmallPicture(8, 12),
            fields, v5, topDown, named, shortTable, RunLengths(8), RunLengths(4)};
}

// The size fields of a bitmap file's headers, `at` bytes into the seed.
std::vector<SizeField> Fields(const BmpSpec& form, size_t at)
{
    if (form.headerSize == 12)
        return {{at + 18, 2}, {at + 20, 2}, {at + 22, 2}, {at + 24, 2}};
    std::vector<SizeField> fields = {{at + 18, 4}, {at + 22, 4}, {at + 26, 2}, {at + 28, 2},
                                     {at + 30, 4}, {at + 34, 4}, {at + 46, 4}};
    if (form.compression == BI_BITFIELDS)
        for (size_t mask = 0; mask < 3; ++mask)
            fields.push_back({at + 54 + 4 * mask, 4});
    return fields;
}

}  // namespace

void FuzzPackedDIB(const uint8_t* data, size_t size)
{
    try {
        // As the clipboard hands it over: a movable global block, read in place.
        unique_hglobal block(::GlobalAlloc(GMEM_MOVEABLE, size ? size : 1));
        std::memcpy(GlobalLock_(block.get()).get(), data, size);
        const std::unique_ptr<TDIBitmap> dib = Make(true);
        dib->LoadClipboard(CF_DIB, block.get(), nullptr);
        Exercise(*dib);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> PackedDIBSeeds()
{
    std::vector<FuzzSeed> seeds;
    for (const BmpSpec& form : Shapes()) {
        const FuzzBytes file = BmpFile(form);
        FuzzSeed seed{FuzzBytes(file.begin() + 14, file.end()), {}};
        for (SizeField f : Fields(form, 0))
            seed.fields.push_back({f.offset - 14, f.width});
        seeds.push_back(seed);
    }
    return seeds;
}

void FuzzDIBitmapFile(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        const std::unique_ptr<TDIBitmap> dib = Make(false);
        dib->LoadStream(stream);
        Exercise(*dib);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> DIBitmapFileSeeds()
{
    std::vector<FuzzSeed> seeds;
    for (const BmpSpec& form : Shapes())
        seeds.push_back({BmpFile(form), Fields(form, 0)});
    return seeds;
}

void FuzzDIBitmapStored(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        const std::unique_ptr<TDIBitmap> dib = Make(true);
        dib->ReadStored(stream);
        Exercise(*dib);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> DIBitmapStoredSeeds()
{
    // Its own shape (a file, then ViewRect, here reaching outside the image) and the toolkit
    // bitmap's (a length, then a file).
    std::vector<FuzzSeed> seeds;
    for (const BmpSpec& form : {SmallPicture(8), SmallPicture(24), RunLengths(8), SmallPicture(4, 12)}) {
        FuzzBytes own = BmpFile(form);
        for (uint32_t side : {1u, 0xFFFFFFFEu, 7u, 2u})
            PutLE(own, side, 4);
        std::vector<SizeField> ownFields = Fields(form, 0);
        for (size_t i = 0; i < 4; ++i)
            ownFields.push_back({own.size() - 16 + 4 * i, 4});
        seeds.push_back({own, ownFields});

        FuzzBytes toolkits;
        const FuzzBytes file = BmpFile(form);
        PutLE(toolkits, file.size(), 4);
        toolkits.insert(toolkits.end(), file.begin(), file.end());
        std::vector<SizeField> toolkitFields = Fields(form, 4);
        toolkitFields.push_back({0, 4});
        seeds.push_back({toolkits, toolkitFields});
    }
    return seeds;
}
