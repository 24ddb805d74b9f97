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
        // The decoder's pictures again, through the graphic: header read at load, pixels into a
        // DIB section when drawn.
        {"JPEGImage", FuzzJpegImage, JpegSeeds, {}},
        // Image count, the entry's image size and offset; the image's header size, width,
        // height, bit count and colours used.
        {"Icon", FuzzIcon, IconSeeds, {{4, 2}, {14, 4}, {18, 4}, {22, 4}, {26, 4}, {30, 4}, {36, 2}, {54, 4}}},
        // Header and record sizes lie where each metafile's records put them.
        {"Metafile", FuzzMetafile, MetafileSeeds, {}},
        // Each entry's data and header size, where each file's entries put them.
        {"ImageRes", FuzzImageRes, ImageResSeeds, {}},
        // Plain, repaired, run-length and compressed bitmap files; their fields lie where each
        // kind puts them.
        {"SafetyBitmap", FuzzSafetyBitmap, SafetyBitmapSeeds, {}},
        // The header's size; the rest of each seed's fields lie where its shape puts them.
        {"PackedDIB", FuzzPackedDIB, PackedDIBSeeds, {{0, 4}}},
        {"DIBitmapFile", FuzzDIBitmapFile, DIBitmapFileSeeds, {{2, 4}, {10, 4}, {14, 4}}},
        {"DIBitmapStored", FuzzDIBitmapStored, DIBitmapStoredSeeds, {}},
        // Their fields lie where each seed's header puts them.
        {"BitmapResource", FuzzBitmapResource, BitmapResourceSeeds, {}},
        // Header, section, resource directory and version fields lie where each seed's shape
        // puts them.
        {"PEImage", FuzzPeImage, PeImageSeeds, {}},
    };
    return table;
}
