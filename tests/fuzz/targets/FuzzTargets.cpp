// The table of formats the mutation runner knows. A new reader of outside data joins with one
// entry here: its name, its reader, its seed generator and the offsets of its size fields.
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/targets/Targets.h"

const std::vector<FuzzTarget>& FuzzTargets()
{
    static const std::vector<FuzzTarget> table = {
        // Signature (13 bytes), then the inflated length.
        {"ZLIBCompress", FuzzZlibContainer, ZlibContainerSeeds, {{13, 4}}},
        // Size fields lie where each picture's segments put them.
        {"JPEG", FuzzJpeg, JpegSeeds, {}},
        // File size, pixel offset and info-header size; the rest depend on the header's kind.
        {"BMP", FuzzBitmapLoader, BitmapLoaderSeeds, {{2, 4}, {10, 4}, {14, 4}}},
        // Counts lie where each form's content puts them.
        {"StoredForm", FuzzStoredForm, StoredFormSeeds, {}},
        // The form's size, the data chunk's size and the palette's entry count.
        {"RiffPalette", FuzzRiffPalette, RiffPaletteSeeds, {{4, 4}, {16, 4}, {22, 2}}},
    };
    return table;
}
