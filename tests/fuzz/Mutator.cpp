#include "tests/fuzz/Mutator.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

const uint32_t kBoundaryValues[12] = {0,      1,      0x7F,       0xFF,       0x7FFF,     0x8000,
                                      0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

namespace {

uint64_t Mix(uint64_t x)
{
    // The splitmix64 finaliser: every input bit reaches every output bit.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

uint64_t HashName(const char* name)
{
    uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
    for (; *name; ++name)
        h = (h ^ static_cast<uint8_t>(*name)) * 0x100000001B3ULL;
    return h;
}

class Random {
public:
    explicit Random(uint64_t state) : state_(state) {}
    uint64_t Next() { return Mix(state_ += 0x9E3779B97F4A7C15ULL); }
    // 0 <= result < n; n > 0.
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

private:
    uint64_t state_;
};

uint32_t ReadField(const FuzzBytes& data, const SizeField& field)
{
    uint32_t value = 0;
    for (int i = 0; i < field.width; ++i)
        value |= uint32_t{data[field.offset + i]} << (8 * i);
    return value;
}

void WriteField(FuzzBytes& data, const SizeField& field, uint32_t value)
{
    for (int i = 0; i < field.width; ++i)
        data[field.offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

enum Operation { flipBit, setByte, boundaryInField, nudgeField, boundaryAnywhere, truncate, insertBytes, eraseBytes, operationCount };

// Size fields get the most attention: a reader's faults sit where it trusts a size.
constexpr Operation kOperationWeights[] = {flipBit,          flipBit,         setByte,  boundaryInField,
                                           boundaryInField, boundaryInField, nudgeField, nudgeField,
                                           boundaryAnywhere, truncate,       insertBytes, eraseBytes};

void Mutate(FuzzBytes& data, const std::vector<SizeField>& fields, Random& random)
{
    std::vector<SizeField> inside;
    for (const SizeField& f : fields)
        if (f.offset + static_cast<size_t>(f.width) <= data.size())
            inside.push_back(f);

    Operation op = kOperationWeights[random.Below(std::size(kOperationWeights))];
    if ((op == boundaryInField || op == nudgeField) && inside.empty())
        op = boundaryAnywhere;
    if (data.empty() && op != insertBytes)
        op = insertBytes;
    switch (op) {
    case flipBit:
        data[random.Below(data.size())] ^= static_cast<uint8_t>(1u << random.Below(8));
        break;
    case setByte:
        data[random.Below(data.size())] = static_cast<uint8_t>(random.Next());
        break;
    case boundaryInField: {
        const SizeField& f = inside[random.Below(inside.size())];
        // The input's own length and its neighbours are boundaries too.
        const size_t pick = random.Below(std::size(kBoundaryValues) + 2);
        const uint32_t value = pick < std::size(kBoundaryValues)
                                   ? kBoundaryValues[pick]
                                   : static_cast<uint32_t>(data.size()) + static_cast<uint32_t>(pick - std::size(kBoundaryValues));
        WriteField(data, f, value);
        break;
    }
    case nudgeField: {
        const SizeField& f = inside[random.Below(inside.size())];
        static const int32_t deltas[] = {-1, 1, -2, 2, -4, 4, -8, 8};
        WriteField(data, f, ReadField(data, f) + static_cast<uint32_t>(deltas[random.Below(std::size(deltas))]));
        break;
    }
    case boundaryAnywhere: {
        const SizeField f{random.Below(data.size()), random.Below(2) ? 4 : 2};
        if (f.offset + static_cast<size_t>(f.width) <= data.size())
            WriteField(data, f, kBoundaryValues[random.Below(std::size(kBoundaryValues))]);
        break;
    }
    case truncate:
        data.resize(random.Below(data.size()));
        break;
    case insertBytes: {
        const size_t at = random.Below(data.size() + 1);
        const size_t count = 1 + random.Below(16);
        FuzzBytes bytes(count);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random.Next());
        data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
        break;
    }
    case eraseBytes: {
        const size_t at = random.Below(data.size());
        const size_t count = std::min(data.size() - at, 1 + random.Below(16));
        data.erase(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + count));
        break;
    }
    case operationCount:
        break;
    }
}

}  // namespace

Mutator::Mutator(const FuzzTarget& target, uint64_t runSeed, std::vector<FuzzSeed> base)
    : corpus_(target.seeds()), targetSeeds_(corpus_.size()), targetFields_(target.sizeFields),
      stream_(Mix(runSeed) ^ HashName(target.name))
{
    if (corpus_.empty())
        throw std::invalid_argument(std::string("no seeds for ") + target.name);
    corpus_.insert(corpus_.end(), std::make_move_iterator(base.begin()), std::make_move_iterator(base.end()));
    unchanged_ = corpus_.size();
}

FuzzBytes Mutator::Input(uint64_t index, size_t* parent) const
{
    if (index < unchanged_) {
        if (parent)
            *parent = static_cast<size_t>(index);
        return corpus_[static_cast<size_t>(index)].bytes;
    }
    Random random(Mix(stream_ ^ Mix(index)));
    const size_t from = random.Below(corpus_.size());
    if (parent)
        *parent = from;
    const FuzzSeed& seed = corpus_[from];
    std::vector<SizeField> fields = targetFields_;
    fields.insert(fields.end(), seed.fields.begin(), seed.fields.end());
    FuzzBytes data = seed.bytes;
    // Mostly one mutation, so most inputs stay close enough to the format to get deep.
    static const int counts[] = {1, 1, 1, 1, 2, 2, 3, 4};
    for (int n = counts[random.Below(std::size(counts))]; n > 0; --n)
        Mutate(data, fields, random);
    return data;
}
