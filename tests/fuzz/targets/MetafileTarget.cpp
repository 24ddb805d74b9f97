#include <windows.h>

#include "tests/fuzz/targets/Targets.h"
#include "tests/support/MetafileBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Metafile.h"

namespace {

uint32_t U32(const FuzzBytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

FuzzSeed Enhanced(const FuzzBytes& bytes)
{
    FuzzSeed seed{bytes, {{4, 4}, {48, 4}, {52, 4}, {60, 4}, {64, 4}}};
    for (size_t at = 0; at + 8 <= bytes.size() && U32(bytes, at + 4) >= 8; at += U32(bytes, at + 4))
        seed.fields.push_back({at + 4, 4});
    return seed;
}

FuzzSeed Placeable(const FuzzBytes& bytes)
{
    FuzzSeed seed{bytes, {{28, 4}, {34, 4}}};
    for (size_t at = 40; at + 6 <= bytes.size() && U32(bytes, at) >= 3; at += U32(bytes, at) * 2)
        seed.fields.push_back({at, 4});
    return seed;
}

}  // namespace

void FuzzMetafile(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TMetafile metafile;
        metafile.LoadStream(stream);
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &metafile);
        TMetafile copy;
        copy.CopyIn(&metafile);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> MetafileSeeds()
{
    return {Enhanced(TwoColourEmf()), Enhanced(BusyEmf()), Placeable(TwoColourPlaceableWmf()),
            Placeable(BusyPlaceableWmf()), Enhanced(RareRecordsEmf()), Placeable(RareRecordsPlaceableWmf())};
}
