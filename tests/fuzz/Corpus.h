// A format's corpus on disk, so what one run kept is where the next run starts, and a batch
// process or a replay can build the corpus a run had before any input. Entries are
// <folder>\<format>\<hash>.bin; a run with seed S writes seed<S>.txt beside them: the entries
// there when it began (its base), then each input it kept, by index.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/Mutator.h"

class CorpusFolder {
public:
    CorpusFolder(const std::wstring& folder, const FuzzTarget& target, uint64_t seed);

    // Begins the run: every entry there now is its base. Overwrites the record of an earlier
    // run with the same seed.
    Mutator BeginRun();
    // Saves an input the run kept (made from corpus entry parent) and records it.
    void Keep(uint64_t index, size_t parent, const FuzzBytes& input);
    // The run's corpus as it stood before input upTo: the seeds, the base and the inputs kept
    // with smaller indices. Without a record of this seed, the seeds alone.
    Mutator Load(uint64_t upTo) const;

    const std::wstring& Path() const { return path_; }

private:
    struct Kept {
        uint64_t index;
        size_t parent;
        std::wstring name;
    };
    void SaveRecord() const;
    std::wstring Record() const;

    const FuzzTarget& target_;
    uint64_t seed_;
    std::wstring path_;
    std::vector<std::wstring> base_;
    std::vector<Kept> kept_;
};
