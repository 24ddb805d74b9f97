#include <zlib.h>

#include <cstring>

#include "tests/fuzz/targets/Targets.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"
#include "update/FDoUpdate.h"

namespace {

const uint8_t kSignature[13] = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};

// Text, zeros and noise in turn, like an executable, so the deflater makes real Huffman blocks.
FuzzBytes MixedData(size_t size)
{
    FuzzBytes data(size);
    uint32_t noise = 2024;
    for (size_t i = 0; i < size; ++i) {
        noise = noise * 1103515245u + 12345u;
        switch ((i / 256) % 3) {
        case 0: data[i] = static_cast<uint8_t>("payload section "[i % 16]); break;
        case 1: data[i] = 0; break;
        default: data[i] = static_cast<uint8_t>(noise >> 24); break;
        }
    }
    return data;
}

FuzzBytes Container(const FuzzBytes& plain, int level)
{
    FuzzBytes out(kSignature, kSignature + sizeof kSignature);
    const uint32_t length = static_cast<uint32_t>(plain.size());
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(length >> shift));
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    FuzzBytes zlib(size);
    compress2(zlib.data(), &size, plain.data(), static_cast<uLong>(plain.size()), level);
    out.insert(out.end(), zlib.begin(), zlib.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
}

}  // namespace

void FuzzZlibContainer(const uint8_t* data, size_t size)
{
    try {
        TMemoryStream container;
        container.WriteBuffer(data, static_cast<long long>(size));
        container.SetPosition(0);
        TMemoryStream payload;
        UnpackPayload(container, payload);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> ZlibContainerSeeds()
{
    const FuzzBytes hello = {'h', 'e', 'l', 'l', 'o'};
    std::vector<FuzzSeed> seeds = {
        {Container(hello, 9), {}},
        {Container(MixedData(3000), 9), {}},
        {Container(MixedData(1500), 1), {}},
        // A stored block: its length and the length's complement follow the zlib header and
        // the block header byte.
        {Container(MixedData(300), 0), {{20, 2}, {22, 2}}},
        // No signature: the bytes are taken as they are.
        {MixedData(200), {}},
    };
    // Made by the build's own packer.
    for (FuzzSeed& seed : SeedFiles("ZLIBCompress"))
        seeds.push_back(std::move(seed));
    return seeds;
}
