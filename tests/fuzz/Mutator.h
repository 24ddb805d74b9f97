// Deterministic mutations of a format's corpus: the run seed, an input's index and the corpus
// as it stood give the input, so any input can be made again in another process or on another
// day.
#pragma once
#include <cstdint>
#include <vector>

#include "tests/fuzz/FuzzTarget.h"

// Values that catch off-by-one, sign and overflow slips when written into a size field.
extern const uint32_t kBoundaryValues[12];

class Mutator {
public:
    // base: inputs kept by earlier runs, read unchanged after the seeds.
    Mutator(const FuzzTarget& target, uint64_t runSeed, std::vector<FuzzSeed> base = {});

    // Input index: the first SeedCount() indices are the seeds and the base themselves,
    // unchanged; every later one is an entry of the corpus (seeds, base, kept inputs) with one
    // to four mutations (bit flips, byte changes, boundary values in the size fields and at
    // random places, nudged fields, truncation, inserted and erased bytes). parent, when given,
    // receives the entry's place in the corpus.
    FuzzBytes Input(uint64_t index, size_t* parent = nullptr) const;
    uint64_t SeedCount() const { return unchanged_; }
    // The format's own seeds, before the base.
    uint64_t TargetSeedCount() const { return targetSeeds_; }

    // An input that reached new edges joins the corpus; later inputs may start from it.
    void Keep(FuzzSeed entry) { corpus_.push_back(std::move(entry)); }
    size_t CorpusSize() const { return corpus_.size(); }
    const FuzzSeed& Entry(size_t at) const { return corpus_[at]; }

private:
    std::vector<FuzzSeed> corpus_;
    size_t targetSeeds_;
    size_t unchanged_;
    std::vector<SizeField> targetFields_;
    uint64_t stream_;  // run seed and target name, mixed
};
