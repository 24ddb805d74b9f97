#include "tests/fuzz/targets/Targets.h"
#include "toolkit/core/Errors.h"
#include "toolkit/graphics/JpegDecoder.h"

void FuzzJpeg(const uint8_t* data, size_t size)
{
    try {
        DecodeJpeg(data, size);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> JpegSeeds()
{
    // Small pictures of every kind the decoder reads (the decoder tests' pictures, made by
    // ImageMagick): baseline, progressive, grey, CMYK stored as YCCK, progressive CMYK.
    std::vector<FuzzSeed> seeds = SeedFiles("JPEG");
    // Every marker segment's length, and the frame's height and width. They are big-endian; the
    // runner's boundary values still hit both bytes.
    for (FuzzSeed& seed : seeds) {
        const FuzzBytes& b = seed.bytes;
        for (size_t at = 2; at + 4 <= b.size() && b[at] == 0xFF && b[at + 1] != 0xDA;
             at += 2 + (b[at + 2] << 8 | b[at + 3])) {
            seed.fields.push_back({at + 2, 2});
            if (b[at + 1] == 0xC0 || b[at + 1] == 0xC2) {
                seed.fields.push_back({at + 5, 2});
                seed.fields.push_back({at + 7, 2});
            }
        }
    }
    return seeds;
}
