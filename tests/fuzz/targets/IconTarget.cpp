#include <windows.h>

#include "tests/fuzz/targets/Targets.h"
#include "tests/support/IconBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Icon.h"

void FuzzIcon(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TIcon icon;
        icon.LoadStream(stream);
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &icon);
        TIcon copy;
        copy.CopyIn(&icon);
        TMemoryStream saved;
        copy.SaveStream(saved);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> IconSeeds()
{
    std::vector<FuzzSeed> seeds;
    for (uint16_t bits : {1, 4, 8, 16, 24, 32})
        seeds.push_back({IconFile(IconImage({8, 8, bits}), 1, 8, bits), {}});
    seeds.push_back({IconFile(IconImage({33, 17, 4}), 1, 33, 4), {}});
    return seeds;
}
