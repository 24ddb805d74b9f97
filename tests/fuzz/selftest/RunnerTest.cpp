#include "tests/fuzz/FuzzRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "tests/fuzz/Corpus.h"
#include "tests/fuzz/Mutator.h"
#include "tests/fuzz/selftest/FaultyTarget.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace {

const FuzzTarget& Faulty()
{
    return FaultyTargets().front();
}

uint32_t Field16(const FuzzBytes& input)
{
    return input.size() >= 6 ? input[4] | (input[5] << 8) : 0x10000;
}

}  // namespace

TEST(MutationRunner, InputsFollowFromSeedAndIndexAlone)
{
    const Mutator first(Faulty(), 7);
    const Mutator again(Faulty(), 7);
    const Mutator other(Faulty(), 8);
    const FuzzBytes seed = Faulty().seeds().front().bytes;
    EXPECT_EQ(first.Input(0), seed);  // the seeds come first, unchanged

    int sameAsOtherSeed = 0, changed = 0, shorter = 0, longer = 0;
    std::set<uint32_t> fieldValues;
    for (uint64_t i = 1; i < 3000; ++i) {
        const FuzzBytes input = first.Input(i);
        ASSERT_EQ(input, again.Input(i)) << i;
        sameAsOtherSeed += input == other.Input(i);
        changed += input != seed;
        shorter += input.size() < seed.size();
        longer += input.size() > seed.size();
        fieldValues.insert(Field16(input));
    }
    EXPECT_LT(sameAsOtherSeed, 300);
    EXPECT_GT(changed, 2900);
    EXPECT_GT(shorter, 50);
    EXPECT_GT(longer, 50);
    // Every boundary value reaches the declared field, cut to its 16 bits, and so do the
    // input's own length (12) and neighbours of the seed's value (0x10).
    for (uint32_t value : kBoundaryValues)
        EXPECT_TRUE(fieldValues.count(value & 0xFFFF)) << std::hex << value;
    for (uint32_t value : {12u, 13u, 0x0Fu, 0x11u, 0x08u, 0x18u})
        EXPECT_TRUE(fieldValues.count(value)) << std::hex << value;
}

TEST(MutationRunner, NamesAndSavesEveryInputThatCrashesHangsOrLeaks)
{
    RunnerOptions options;
    options.inputs = 100;
    options.batchSize = 40;
    options.hangMilliseconds = 1500;
    TempFolder findings;
    options.findingsFolder = findings.Path();

    // What the faulty reader will do with each input, worked out here in this process; the
    // first run seed whose inputs show every kind of fault.
    std::map<uint64_t, FindingKind> expected;
    for (options.seed = 1; options.seed < 100; ++options.seed) {
        const Mutator mutator(Faulty(), options.seed);
        std::set<Fault> kinds;
        expected.clear();
        for (uint64_t i = 0; i < options.inputs; ++i) {
            const Fault fault = FaultOf(mutator.Input(i));
            kinds.insert(fault);
            if (fault != Fault::none)
                expected[i] = fault == Fault::hang ? FindingKind::hang
                              : fault == Fault::leak ? FindingKind::leak
                                                     : FindingKind::crash;
        }
        if (kinds.size() == 5)
            break;
    }
    ASSERT_LT(options.seed, 100u);

    const FormatResult result = FuzzFormat(Faulty(), options);
    EXPECT_EQ(result.inputs, options.inputs);
    const Mutator mutator(Faulty(), options.seed);
    std::map<uint64_t, FindingKind> found;
    for (const Finding& finding : result.findings) {
        SCOPED_TRACE(DescribeFinding(result, options.seed, finding));
        found[finding.index] = finding.kind;
        EXPECT_TRUE(finding.alone);
        const FuzzBytes input = mutator.Input(finding.index);
        EXPECT_EQ(FileContents(finding.savedAs), std::string(input.begin(), input.end()));
        const Fault fault = FaultOf(input);
        const char* const says = fault == Fault::crash    ? "exit code 0xC0000005"
                                 : fault == Fault::escape ? "escaped: not the library's error"
                                 : fault == Fault::hang   ? "no progress for 1500 ms"
                                                          : "GDI objects";
        EXPECT_NE(finding.detail.find(says), std::string::npos);
    }
    EXPECT_EQ(found, expected);
}

namespace {

const FuzzTarget& Staircase()
{
    return FaultyTargets().at(1);
}

// The levels of the corpus entries the guided run kept, after the seed.
std::vector<int> KeptLevels(const std::wstring& corpus, uint64_t seed)
{
    const Mutator kept = CorpusFolder(corpus, Staircase(), seed).Load(UINT64_MAX);
    std::vector<int> levels;
    for (size_t i = kept.SeedCount(); i < kept.CorpusSize(); ++i)
        levels.push_back(StaircaseLevel(kept.Entry(i).bytes));
    return levels;
}

}  // namespace

TEST(GuidedMutationRunner, KeepsInputsThatReachNewEdgesAndClimbsFromThem)
{
    TempFolder corpus;
    RunnerOptions options;
    options.seed = 3;
    options.inputs = 20000;
    options.batchSize = 2000;
    options.corpusFolder = corpus.Path();
    const FormatResult result = FuzzFormat(Staircase(), options);

    // Only an input that reached something new is kept: one for each step first reached (and
    // one cut short of the steps altogether), up to the fourth.
    std::vector<int> levels = KeptLevels(corpus.Path(), options.seed);
    EXPECT_EQ(result.kept, levels.size());
    std::sort(levels.begin(), levels.end());
    EXPECT_EQ(std::adjacent_find(levels.begin(), levels.end()), levels.end());
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.back(), 4) << testing::PrintToString(levels);
    EXPECT_EQ(result.corpusSize, 1 + levels.size());
    EXPECT_GT(result.edges, 4u);
    EXPECT_TRUE(result.findings.empty());

    // The same inputs from the seed alone, as the runner made them before it kept any, never
    // get that deep.
    const Mutator blind(Staircase(), options.seed);
    int deepest = 0;
    for (uint64_t i = 0; i < options.inputs; ++i)
        deepest = std::max(deepest, StaircaseLevel(blind.Input(i)));
    EXPECT_LT(deepest, 3);
}

TEST(GuidedMutationRunner, TheSameSeedGivesTheSameInputsAndCorpus)
{
    RunnerOptions options;
    options.inputs = 3000;
    options.batchSize = 1000;
    options.seed = 3;
    TempFolder first, again, other;
    options.corpusFolder = first.Path();
    FuzzFormat(Staircase(), options);
    options.corpusFolder = again.Path();
    FuzzFormat(Staircase(), options);
    options.corpusFolder = other.Path();
    options.seed = 4;
    FuzzFormat(Staircase(), options);

    const auto record = [](const TempFolder& folder, int seed) {
        return FileContents(folder.Path() + L"\\Staircase\\seed" + std::to_wstring(seed) + L".txt");
    };
    ASSERT_NE(record(first, 3).find("kept "), std::string::npos);
    EXPECT_EQ(record(first, 3), record(again, 3));
    EXPECT_NE(record(first, 3), record(other, 4));

    // The seed, the index and the batch size give an input again from the kept corpus.
    const CorpusFolder corpus(first.Path(), Staircase(), 3);
    const Mutator all = corpus.Load(UINT64_MAX);
    std::istringstream lines(record(first, 3));
    std::string kind;
    uint64_t index = 0;
    size_t parent = 0, entry = all.SeedCount();
    std::string name;
    while (lines >> kind) {
        if (kind != "kept") {
            lines >> name;
            continue;
        }
        lines >> index >> parent >> name;
        EXPECT_EQ(corpus.Load(index - index % options.batchSize).Input(index), all.Entry(entry++).bytes) << index;
    }
    EXPECT_EQ(entry, all.CorpusSize());
}
