// The child side of the mutation runner: a process that reads one batch of inputs of one
// format and tells the runner, through memory they share, how far it got.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/EdgeMap.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/GuiCounts.h"

// The most inputs of one batch process that can join the corpus.
constexpr size_t kMaxKept = 1 << 16;

// Lives in a mapping the runner creates and the batch process inherits, followed by the map of
// the edges reached (EdgeMapOf). The runner polls started while the batch runs and reads the
// rest when the process has ended.
struct BatchState {
    volatile LONG64 running;  // index of the input being read; -1 between inputs
    volatile LONG64 started;  // inputs begun: the heartbeat the runner watches for hangs
    volatile LONG64 done;     // inputs read to the end
    volatile LONG warmingUp;  // 1 while the seeds are read before the batch
    volatile LONG countsTaken;
    GuiCounts before;  // after the warm-up
    GuiCounts after;   // after the last input
    char note[256];    // what the process knew of its end: an exception code, an escaped error
    volatile LONG keptCount;
    LONG64 kept[kMaxKept];  // inputs read to the end that reached an edge not in the map before
};

// The state at the start of the mapping, then the edge map, page-aligned.
constexpr size_t kBatchStateBytes = (sizeof(BatchState) + 4095) / 4096 * 4096;
constexpr size_t kBatchMappingBytes = kBatchStateBytes + kEdgeMapBytes;
inline uint8_t* EdgeMapOf(BatchState* state)
{
    return reinterpret_cast<uint8_t*>(state) + kBatchStateBytes;
}

// Exit codes of a batch process other than a crash's.
constexpr DWORD kBatchCompleted = 0;
constexpr DWORD kBatchRefused = 120;  // a bad command line: the runner's fault, not the target's
constexpr DWORD kBatchEscaped = 0xE0F0F001;  // an error escaped the target

// The command line that runs inputs first .. first + count - 1 of format under runSeed. With a
// corpus folder, the inputs are made from the corpus the run had before input corpusUpTo (the
// first of the runner's batch); with an empty one, from the seeds alone.
std::wstring FuzzBatchCommand(const std::wstring& program, const std::string& format, uint64_t runSeed,
                              uint64_t first, uint64_t count, HANDLE state, const std::wstring& corpusFolder,
                              uint64_t corpusUpTo);

bool IsFuzzBatchCommand(int argc, wchar_t** argv);

// Runs the batch the command line names against the formats of table: first every seed once
// (so lazily made objects exist before the count), then the GUI counts, the inputs and the
// counts again. Every edge reached goes into the shared map; an input that reached one not there
// before is listed in the state. Returns the process's exit code; a crash ends the process before.
int RunFuzzBatch(const std::vector<FuzzTarget>& table, int argc, wchar_t** argv);
