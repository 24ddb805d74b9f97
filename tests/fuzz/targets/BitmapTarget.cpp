#include <windows.h>

#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

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

// Loads, then draws scaled and transparently as a program would. A file of 174 bytes may declare
// 32,767 x 32,767 pixels, which the reader takes with the pixels it has; the system's drawing takes
// seconds for a gigapixel, so only pictures of at most 2^24 pixels are drawn.
void FuzzBitmapLoader(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TBitmap bitmap;
        bitmap.LoadStream(stream);
        if (static_cast<long long>(bitmap.Width()) * bitmap.Height() > (1LL << 24))
            return;
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
    BmpSpec fields = SmallPicture(16);
    fields.compression = BI_BITFIELDS;
    fields.writeMasks = true;
    fields.masks[0] = 0xF800, fields.masks[1] = 0x07E0, fields.masks[2] = 0x001F;
    BmpSpec v5 = fields;
    v5.headerSize = 124;
    BmpSpec topDown = SmallPicture(24);
    topDown.height = -3;
    BmpSpec shortTable = SmallPicture(8);
    shortTable.table.resize(20);
    // Every depth, the core header, bit fields in a 40- and a 124-byte header, rows top-down,
    // and a colour table shorter than the depth allows.
    std::vector<FuzzSeed> seeds;
    for (const BmpSpec& form : {SmallPicture(1), SmallPicture(4), SmallPicture(8), SmallPicture(24), SmallPicture(32), SmallPicture(8, 12), fields,
                                v5, topDown, shortTable})
        seeds.push_back(Seed(form));
    return seeds;
}
