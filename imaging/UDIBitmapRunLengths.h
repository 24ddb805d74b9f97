// Run-length pixels of bitmap files (8- and 4-bit), decoded into an uncompressed image.
#pragma once
#include <cstddef>
#include <cstdint>

// Decodes `size` bytes of 8-bit (`bitCount` 8) or 4-bit (`bitCount` 4) run lengths into a
// bottom-up image of width x height pixels whose rows are `stride` bytes apart, as the system
// would draw them into an uncompressed section of the same depth and colours. Pixels the
// runs skip keep their value. Runs reaching past a row's end are cut there, and the data may
// end anywhere: nothing is read outside the data or written outside the image.
void DecodeRunLengths(const uint8_t* data, size_t size, int bitCount, int width, int height, uint8_t* pixels,
                      size_t stride);
