#include "target/PeImage.h"
#include "tests/fuzz/targets/Targets.h"
#include "tests/support/PeBytes.h"
#include "tests/support/VersionedExe.h"

void FuzzPeImage(const uint8_t* data, size_t size)
{
    // As the version reader takes a file at a long path, and as the updater reads its payload's
    // machine type; the names of the sections are read as text for good measure.
    PeMachine(data, size);
    const PeImage image(data, size);
    for (const IMAGE_SECTION_HEADER& section : image.Sections())
        image.StringAtRva(section.VirtualAddress);
    if (const std::optional<std::vector<BYTE>> info = image.FirstResource(16))
        FixedVersionBlock(*info);
}

std::vector<FuzzSeed> PeImageSeeds()
{
    const std::vector<BYTE> version = BuildVersionInfo({1, 0, 1, 0}, {1, 2, 3, 4});
    std::vector<FuzzSeed> seeds;
    const struct {
        WORD machine;
        bool is64;
        size_t padding;
    } shapes[] = {{IMAGE_FILE_MACHINE_AMD64, true, 0}, {IMAGE_FILE_MACHINE_I386, false, 0},
                  {IMAGE_FILE_MACHINE_AMD64, true, 2}};
    for (const auto& s : shapes) {
        PeBytes pe = MakePe(s.machine, s.is64, version, s.padding);
        FuzzSeed seed{std::move(pe.bytes), {}};
        for (const auto& [offset, width] : pe.fields)
            seed.fields.push_back({offset, width});
        seeds.push_back(std::move(seed));
    }
    return seeds;
}
