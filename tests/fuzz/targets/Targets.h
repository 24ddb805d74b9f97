// The reader under test and the seed corpus of each format in the mutation runner's table.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/fuzz/FuzzTarget.h"

// "ZLIBCompress": the payload container, unpacked as the update does.
void FuzzZlibContainer(const uint8_t* data, size_t size);
std::vector<FuzzSeed> ZlibContainerSeeds();
// "JPEG": JPEG pictures, decoded as the JPEG graphic does.
void FuzzJpeg(const uint8_t* data, size_t size);
std::vector<FuzzSeed> JpegSeeds();
// "BMP": bitmap files, read by the bitmap's reader and drawn, plainly and transparently.
void FuzzBitmapLoader(const uint8_t* data, size_t size);
std::vector<FuzzSeed> BitmapLoaderSeeds();
// "StoredForm": stored forms, read into a component with properties of every kind, a brush,
// a picture and a named child.
void FuzzStoredForm(const uint8_t* data, size_t size);
std::vector<FuzzSeed> StoredFormSeeds();
// "RiffPalette": RIFF palettes, read as the default palette's resource is, fixed and realised.
void FuzzRiffPalette(const uint8_t* data, size_t size);
std::vector<FuzzSeed> RiffPaletteSeeds();
// "JPEGImage": JPEG pictures in the JPEG graphic: loaded, drawn (decoded) and stored.
void FuzzJpegImage(const uint8_t* data, size_t size);
// "Icon": icon files, loaded, drawn, copied and saved by the icon graphic.
void FuzzIcon(const uint8_t* data, size_t size);
std::vector<FuzzSeed> IconSeeds();
// "Metafile": enhanced and placeable metafiles, loaded, drawn and copied.
void FuzzMetafile(const uint8_t* data, size_t size);
std::vector<FuzzSeed> MetafileSeeds();
// "ImageRes": resource files, scanned by FindInResFile for a few types and names through a
// resource stream, as the loader opens "Image.res".
void FuzzImageRes(const uint8_t* data, size_t size);
std::vector<FuzzSeed> ImageResSeeds();
// "SafetyBitmap": plain, repaired, run-length and compressed bitmap files, read by the safety
// bitmap in place and through a copy, and drawn plainly and transparently.
void FuzzSafetyBitmap(const uint8_t* data, size_t size);
std::vector<FuzzSeed> SafetyBitmapSeeds();
// "PackedDIB": packed DIBs, loaded by the DIB bitmap from a global block as from the clipboard.
void FuzzPackedDIB(const uint8_t* data, size_t size);
std::vector<FuzzSeed> PackedDIBSeeds();
// "DIBitmapFile": bitmap files, read by the DIB bitmap, drawn and written back.
void FuzzDIBitmapFile(const uint8_t* data, size_t size);
std::vector<FuzzSeed> DIBitmapFileSeeds();
// "DIBitmapStored": the DIB bitmap's stored data, in its own shape and the toolkit bitmap's.
void FuzzDIBitmapStored(const uint8_t* data, size_t size);
std::vector<FuzzSeed> DIBitmapStoredSeeds();
// "BitmapResource": packed bitmaps as bitmap resources hold them (plain, with bit-field masks,
// with a core header, run-length), given their file header and read as the loader reads them.
void FuzzBitmapResource(const uint8_t* data, size_t size);
std::vector<FuzzSeed> BitmapResourceSeeds();
// "PEImage": executables, their headers and version resource read from their bytes, as the
// version reader reads a file at a long path and the updater its payload's machine type.
void FuzzPeImage(const uint8_t* data, size_t size);
std::vector<FuzzSeed> PeImageSeeds();
