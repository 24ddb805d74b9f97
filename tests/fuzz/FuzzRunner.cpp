#include "tests/fuzz/FuzzRunner.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <utility>
#include <stdexcept>

#include "tests/fuzz/Corpus.h"
#include "tests/fuzz/FuzzBatch.h"
#include "tests/fuzz/Mutator.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Streams.h"

namespace {

constexpr DWORD kPollMilliseconds = 50;
// Until its first input a batch process is starting up, and between inputs (counting the GDI
// objects, ending) it is not reading: a busy machine may slow both, and neither is an input's hang.
constexpr ULONGLONG kStartMilliseconds = 60000;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring ThisProgram()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// How one child process ended.
struct BatchOutcome {
    enum End { completed, crashed, hung } end = completed;
    DWORD exitCode = 0;
    long long running = -1;  // the input it was reading when it crashed or hung
    bool warmingUp = false;  // ... one of the seeds, read before the batch
    GuiCounts before, after;
    std::string note;
};

// Starts batch processes one at a time over one shared state block.
class BatchLauncher {
public:
    BatchLauncher(const FuzzTarget& target, const RunnerOptions& options)
        : target_(target), options_(options),
          program_(options.batchProgram.empty() ? ThisProgram() : options.batchProgram)
    {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        // A new mapping is all zeros: no edge reached yet.
        mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(kBatchMappingBytes), nullptr));
        if (mapping_)
            state_ = static_cast<BatchState*>(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, kBatchMappingBytes));
        if (!state_)
            throw std::runtime_error("cannot make the memory shared with batch processes");
    }
    ~BatchLauncher() { ::UnmapViewOfFile(state_); }
    BatchLauncher(const BatchLauncher&) = delete;
    BatchLauncher& operator=(const BatchLauncher&) = delete;

    // Inputs from here on are made from the corpus the run had before input upTo.
    void SetCorpusUpTo(uint64_t upTo) { corpusUpTo_ = upTo; }

    BatchOutcome Run(uint64_t first, uint64_t count)
    {
        // The edge map stays: it holds every edge reached in the format's run so far.
        std::memset(static_cast<void*>(state_), 0, sizeof *state_);
        state_->running = -1;
        std::wstring command = FuzzBatchCommand(program_, target_.name, options_.seed, first, count, mapping_.get(),
                                                options_.corpusFolder, corpusUpTo_);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(program_.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
            throw std::runtime_error("cannot start the batch program " + Utf8(program_));
        unique_handle process(info.hProcess);
        unique_handle thread(info.hThread);

        BatchOutcome outcome;
        LONG64 seen = 0;
        ULONGLONG since = ::GetTickCount64();
        while (::WaitForSingleObject(process.get(), kPollMilliseconds) == WAIT_TIMEOUT) {
            const LONG64 started = state_->started;
            if (started != seen) {
                seen = started;
                since = ::GetTickCount64();
            } else if (::GetTickCount64() - since >
                       (seen == 0 || state_->running < 0 ? kStartMilliseconds : options_.hangMilliseconds)) {
                ::TerminateProcess(process.get(), 1);
                ::WaitForSingleObject(process.get(), INFINITE);
                outcome.end = BatchOutcome::hung;
                break;
            }
        }
        ::GetExitCodeProcess(process.get(), &outcome.exitCode);
        if (outcome.end != BatchOutcome::hung) {
            if (outcome.exitCode == kBatchRefused)
                throw std::runtime_error("the batch program refused its command line: " + Utf8(command));
            outcome.end = outcome.exitCode == kBatchCompleted && state_->countsTaken ? BatchOutcome::completed
                                                                                     : BatchOutcome::crashed;
            if (outcome.end == BatchOutcome::completed && state_->done != static_cast<LONG64>(count))
                throw std::runtime_error("a batch process ended without reading all its inputs");
        }
        outcome.running = state_->running;
        outcome.warmingUp = state_->warmingUp != 0;
        outcome.before = state_->before;
        outcome.after = state_->after;
        outcome.note.assign(state_->note, strnlen(state_->note, sizeof state_->note));
        const LONG keptCount = std::clamp<LONG>(LONG{state_->keptCount}, 0, static_cast<LONG>(kMaxKept));
        kept_.insert(state_->kept, state_->kept + keptCount);
        return outcome;
    }

    // The inputs that reached new edges since the last call, in index order.
    std::set<uint64_t> TakeKept() { return std::exchange(kept_, {}); }
    size_t Edges() const { return CountEdges(EdgeMapOf(state_)); }

private:
    const FuzzTarget& target_;
    const RunnerOptions& options_;
    std::wstring program_;
    unique_handle mapping_;
    BatchState* state_ = nullptr;
    uint64_t corpusUpTo_ = 0;
    std::set<uint64_t> kept_;
};

std::string DescribeEnd(const BatchOutcome& outcome, unsigned hangMilliseconds)
{
    if (outcome.end == BatchOutcome::hung)
        return "no progress for " + std::to_string(hangMilliseconds) + " ms";
    char code[32];
    std::snprintf(code, sizeof code, "exit code 0x%08lX", static_cast<unsigned long>(outcome.exitCode));
    return outcome.note.empty() ? code : std::string(code) + ", " + outcome.note;
}

class FormatRun {
public:
    FormatRun(const FuzzTarget& target, const RunnerOptions& options)
        : options_(options), corpus_(OpenCorpus(target, options)),
          mutator_(corpus_ ? corpus_->BeginRun() : Mutator(target, options.seed)), launcher_(target, options)
    {
        result_.format = target.name;
    }

    FormatResult Run()
    {
        for (uint64_t first = 0; first < options_.inputs && !stopped_; first += options_.batchSize) {
            // The corpus changes only between batches, so the run seed, an input's index and the
            // batch size give the corpus the input was made from.
            launcher_.SetCorpusUpTo(first);
            RunRange(first, std::min(options_.inputs, first + options_.batchSize));
            KeepNewEdges();
        }
        result_.inputs = options_.inputs;
        result_.corpusSize = mutator_.CorpusSize();
        result_.edges = launcher_.Edges();
        return result_;
    }

private:
    static std::optional<CorpusFolder> OpenCorpus(const FuzzTarget& target, const RunnerOptions& options)
    {
        if (options.corpusFolder.empty())
            return std::nullopt;
        return CorpusFolder(options.corpusFolder, target, options.seed);
    }

    // The inputs of the last batch that reached new edges join the corpus, in index order.
    void KeepNewEdges()
    {
        const std::set<uint64_t> indices = launcher_.TakeKept();
        if (!corpus_)
            return;
        std::vector<FuzzSeed> entries;
        for (uint64_t index : indices) {
            size_t parent = 0;
            FuzzBytes input = mutator_.Input(index, &parent);
            corpus_->Keep(index, parent, input);
            entries.push_back({std::move(input), mutator_.Entry(parent).fields});
        }
        for (FuzzSeed& entry : entries)
            mutator_.Keep(std::move(entry));
        result_.kept += entries.size();
    }

    // Runs [first, end) to the end, one child after another when inputs crash or hang.
    void RunRange(uint64_t first, uint64_t end)
    {
        for (uint64_t next = first; next < end;) {
            const BatchOutcome outcome = launcher_.Run(next, end - next);
            if (outcome.end == BatchOutcome::completed) {
                const std::string grew = CompareGuiCounts(outcome.before, outcome.after);
                if (!grew.empty())
                    FindLeaks(next, end, grew);
                return;
            }
            // The counts of a process that crashed are lost: the inputs it read to the end
            // before the culprit are counted again below, without it.
            const FindingKind kind = outcome.end == BatchOutcome::hung ? FindingKind::hang : FindingKind::crash;
            if (outcome.running < 0) {
                // Outside any input: in start-up, counting or exit. Nothing to name; stop.
                Record({kind, next, false, DescribeEnd(outcome, options_.hangMilliseconds) + ", outside any input", {}});
                stopped_ = true;
                return;
            }
            const uint64_t culprit = static_cast<uint64_t>(outcome.running);
            Finding finding{kind, culprit, true, DescribeEnd(outcome, options_.hangMilliseconds), {}};
            if (outcome.warmingUp) {
                // A seed read before the batch fails: every batch would, so stop here.
                finding.detail += ", in the seeds run first";
                Record(finding);
                stopped_ = true;
                return;
            }
            if (culprit != next) {
                // Others ran before it in that process; see whether it does it on its own.
                finding.alone = launcher_.Run(culprit, 1).end == outcome.end;
                if (!finding.alone)
                    finding.detail += ", only after inputs " + std::to_string(next) + ".." + std::to_string(culprit - 1);
                std::string grew;
                if (Leaks(next, culprit, grew))
                    FindLeaks(next, culprit, grew);
            }
            Record(finding);
            next = culprit + 1;
        }
    }

    // [first, end) left more GDI objects or windows than it found: halve until single inputs
    // are left, or a group that leaks only together.
    void FindLeaks(uint64_t first, uint64_t end, const std::string& grew)
    {
        if (end - first == 1) {
            Record({FindingKind::leak, first, true, grew, {}});
            return;
        }
        const uint64_t middle = first + (end - first) / 2;
        std::string left, right;
        const bool leftLeaks = Leaks(first, middle, left);
        const bool rightLeaks = Leaks(middle, end, right);
        if (leftLeaks)
            FindLeaks(first, middle, left);
        if (rightLeaks)
            FindLeaks(middle, end, right);
        if (!leftLeaks && !rightLeaks)
            Record({FindingKind::leak, first, false,
                    grew + ", inputs " + std::to_string(first) + ".." + std::to_string(end - 1) + " together", {}});
    }

    bool Leaks(uint64_t first, uint64_t end, std::string& grew)
    {
        const BatchOutcome outcome = launcher_.Run(first, end - first);
        if (outcome.end != BatchOutcome::completed)
            return false;  // a crash or hang here is already on record
        grew = CompareGuiCounts(outcome.before, outcome.after);
        return !grew.empty();
    }

    void Record(Finding finding)
    {
        if (!options_.findingsFolder.empty()) {
            ::CreateDirectoryW(options_.findingsFolder.c_str(), nullptr);
            const std::wstring path = options_.findingsFolder + L"\\" +
                                      std::wstring(result_.format.begin(), result_.format.end()) + L"-seed" +
                                      std::to_wstring(options_.seed) + L"-input" + std::to_wstring(finding.index) + L".bin";
            try {
                const FuzzBytes input = mutator_.Input(finding.index);
                TFileStream file(path, TFileMode::fmCreate);
                file.WriteBuffer(input.data(), static_cast<long long>(input.size()));
                finding.savedAs = path;
            } catch (const Exception& e) {
                finding.detail += ", not saved: " + Utf8(e.Message());
            }
        }
        result_.findings.push_back(finding);
    }

    const RunnerOptions& options_;
    std::optional<CorpusFolder> corpus_;
    Mutator mutator_;
    BatchLauncher launcher_;
    FormatResult result_;
    bool stopped_ = false;
};

}  // namespace

int FormatResult::Count(FindingKind kind) const
{
    return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                          [kind](const Finding& f) { return f.kind == kind; }));
}

FormatResult FuzzFormat(const FuzzTarget& target, const RunnerOptions& options)
{
    if (options.batchSize == 0 || options.batchSize > kMaxKept)
        throw std::invalid_argument("batch size outside 1.." + std::to_string(kMaxKept));
    return FormatRun(target, options).Run();
}

std::string DescribeFinding(const FormatResult& result, uint64_t seed, const Finding& finding)
{
    static const char* const kinds[] = {"crash", "hang", "leak"};
    std::string line = result.format + ": " + kinds[static_cast<int>(finding.kind)] + " at input " +
                       std::to_string(finding.index) + " of seed " + std::to_string(seed) + " (" + finding.detail + ")";
    if (!finding.savedAs.empty())
        line += ", saved as " + Utf8(finding.savedAs);
    return line;
}
