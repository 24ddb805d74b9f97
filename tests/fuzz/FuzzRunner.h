// The parent side of the mutation runner: hands a format's inputs in batches to child
// processes, watches them, and names each input that crashes, hangs or leaks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzTarget.h"

struct RunnerOptions {
    uint64_t seed = 1;
    uint64_t inputs = 3000;          // per format, from index 0 (the seeds come first)
    uint64_t batchSize = 1000;       // inputs per child process
    unsigned hangMilliseconds = 10000;  // one input running longer than this is a hang
    std::wstring findingsFolder;     // where failing inputs are saved; empty: not saved
    std::wstring batchProgram;       // the program that runs batches; empty: this one
    // Where each format's corpus is kept (Corpus.h): an input that reaches an edge of the traced
    // readers that no input before it reached joins the corpus, and later inputs are made from
    // it too. Empty: inputs are made from the seeds alone and nothing is kept.
    std::wstring corpusFolder;
};

enum class FindingKind { crash, hang, leak };

struct Finding {
    FindingKind kind;
    uint64_t index;
    // False when the input did not do it again on its own: it needs the inputs before it in
    // its batch (a crash or hang), or only a group of inputs leaks together.
    bool alone = true;
    std::string detail;     // exit code, exception, the counts that grew
    std::wstring savedAs;   // the input's file, when saved
};

struct FormatResult {
    std::string format;
    uint64_t inputs = 0;
    size_t corpusSize = 0;  // seeds, base and kept inputs at the end
    size_t kept = 0;        // inputs this run added to the corpus
    size_t edges = 0;       // edges of the traced readers reached
    std::vector<Finding> findings;
    int Count(FindingKind kind) const;
};

// Runs options.inputs inputs of target. Fails with std::runtime_error when no batch process
// can be started or it refuses its command line.
FormatResult FuzzFormat(const FuzzTarget& target, const RunnerOptions& options);

// One line for a finding, with what is needed to make the input again.
std::string DescribeFinding(const FormatResult& result, uint64_t seed, const Finding& finding);
