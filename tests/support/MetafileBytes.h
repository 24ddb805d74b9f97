// Metafiles made with GDI for the metafile tests and the mutation runner's seeds.
#pragma once
#include <cstdint>
#include <vector>

// An enhanced metafile with a frame of 2 x 1 inches drawn on the screen's resolution: the left
// half red, the right half blue.
std::vector<uint8_t> TwoColourEmf();
// The same picture as a placeable Windows metafile: bounds (0, 0) to (200, 100) at 100 units
// per inch, the window set to those bounds.
std::vector<uint8_t> TwoColourPlaceableWmf();
// Metafiles with records of every kind that has counts, offsets or a bitmap of its own: lines,
// polygons, an ellipse, text and a stretched bitmap. The placeable one is 48 x 32 units at 96 per
// inch.
std::vector<uint8_t> BusyEmf();
std::vector<uint8_t> BusyPlaceableWmf();
// Metafiles of the records the busy ones leave out (palettes, fonts, pattern and extended pens
// and brushes, regions, bit-block transfers, scan lines, gradients, curves, text lists, comments).
std::vector<uint8_t> RareRecordsEmf();
std::vector<uint8_t> RareRecordsPlaceableWmf();
// The 22-byte placeable header for those bounds in front of a Windows metafile, its checksum
// filled in.
std::vector<uint8_t> Placeable(const std::vector<uint8_t>& wmf, int16_t right, int16_t bottom, uint16_t perInch);
