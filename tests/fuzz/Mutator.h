// Deterministic mutations of a target's seeds: the run seed and an input's index alone give
// the input, so any input can be made again in another process or on another day.
#pragma once
#include <cstdint>
#include <vector>

#include "tests/fuzz/FuzzTarget.h"

// Values that catch off-by-one, sign and overflow slips when written into a size field.
extern const uint32_t kBoundaryValues[12];

class Mutator {
public:
    Mutator(const FuzzTarget& target, uint64_t runSeed);

    // Input index: the first SeedCount() indices are the seeds themselves, unchanged; every
    // later one is a seed with one to four mutations (bit flips, byte changes, boundary values
    // in the size fields and at random places, nudged fields, truncation, inserted and erased
    // bytes).
    FuzzBytes Input(uint64_t index) const;
    uint64_t SeedCount() const { return seeds_.size(); }

private:
    std::vector<FuzzSeed> seeds_;
    std::vector<SizeField> targetFields_;
    uint64_t stream_;  // run seed and target name, mixed
};
