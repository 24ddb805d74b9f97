#include <windows.h>

#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

// A 5 x 3 picture of that depth (rows of 5 pixels need padding at every depth).
BmpSpec Picture(uint16_t bits, uint32_t headerSize = 40)
{
    BmpSpec s;
    s.headerSize = headerSize;
    s.bitCount = bits;
    s.width = 5;
    s.height = 3;
    const size_t rowBytes = (5 * bits + 7) / 8;
    for (int y = 0; y < 3; ++y) {
        std::vector<uint8_t> row(rowBytes);
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<uint8_t>(i * 37 + y * 11);
        s.rows.push_back(row);
    }
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); ++i)
            s.table.push_back({static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0});
    return s;
}

FuzzSeed Seed(const BmpSpec& form)
{
    FuzzSeed seed{BmpFile(form), {}};
    if (form.headerSize == 12) {  // width, height, planes, bit count: 16 bits each
        seed.fields = {{18, 2}, {20, 2}, {22, 2}, {24, 2}};
    } else {
        seed.fields = {{18, 4}, {22, 4}, {26, 2}, {28, 2}, {30, 4}, {34, 4}, {46, 4}};
        if (form.compression == BI_BITFIELDS)
            for (size_t mask = 0; mask < 3; ++mask)
                seed.fields.push_back({14 + (form.headerSize >= 52 ? 40 : form.headerSize) + 4 * mask, 4});
    }
    return seed;
}

}  // namespace

void FuzzBitmapLoader(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TBitmap bitmap;
        bitmap.LoadStream(stream);
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &bitmap);
        bitmap.SetTransparent(true);
        target.Canvas().Render(0, 0, &bitmap);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> BitmapLoaderSeeds()
{
    BmpSpec fields = Picture(16);
    fields.compression = BI_BITFIELDS;
    fields.writeMasks = true;
    fields.masks[0] = 0xF800, fields.masks[1] = 0x07E0, fields.masks[2] = 0x001F;
    BmpSpec v5 = fields;
    v5.headerSize = 124;
    BmpSpec topDown = Picture(24);
    topDown.height = -3;
    BmpSpec shortTable = Picture(8);
    shortTable.table.resize(20);
    // Every depth, the core header, bit fields in a 40- and a 124-byte header, rows top-down,
    // and a colour table shorter than the depth allows.
    std::vector<FuzzSeed> seeds;
    for (const BmpSpec& form : {Picture(1), Picture(4), Picture(8), Picture(24), Picture(32), Picture(8, 12), fields,
                                v5, topDown, shortTable})
        seeds.push_back(Seed(form));
    return seeds;
}
