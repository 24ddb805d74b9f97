#include "tests/fuzz/FuzzBatch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tests/fuzz/Corpus.h"
#include "tests/fuzz/Mutator.h"
#include "toolkit/core/Errors.h"

namespace {

constexpr wchar_t kBatchSwitch[] = L"--fuzz-batch";
constexpr wchar_t kNoCorpus[] = L"-";

BatchState* g_state = nullptr;

void Note(const char* text)
{
    if (g_state)
        std::snprintf(g_state->note, sizeof g_state->note, "%s", text);
}

// A fault must end the process at once with its code, never open a debugger or a dialog
// that would hold the batch until the runner calls it a hang.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* info)
{
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    char text[96];
    std::snprintf(text, sizeof text, "exception 0x%08lX at %p", static_cast<unsigned long>(code),
                  info->ExceptionRecord->ExceptionAddress);
    Note(text);
    ::TerminateProcess(::GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void EndOnTerminate()
{
    Note("std::terminate");
    ::TerminateProcess(::GetCurrentProcess(), kBatchEscaped);
    std::abort();
}

void QuietFaults()
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(EndOnFault);
    std::set_terminate(EndOnTerminate);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// One input; an error the target let through ends the batch as a crash would.
void RunOne(const FuzzTarget& target, const FuzzBytes& input)
{
    try {
        target.run(input.data(), input.size());
        return;
    } catch (const Exception& e) {
        Note(("escaped: " + Narrow(e.ClassName()) + " " + Narrow(e.Message())).c_str());
    } catch (const std::exception& e) {
        Note((std::string("escaped: ") + e.what()).c_str());
    } catch (...) {
        Note("escaped: an unknown exception");
    }
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), kBatchEscaped);
}

class StateView {
public:
    explicit StateView(HANDLE mapping)
        : view_(static_cast<BatchState*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kBatchMappingBytes))) {}
    ~StateView()
    {
        if (view_)
            ::UnmapViewOfFile(view_);
    }
    StateView(const StateView&) = delete;
    StateView& operator=(const StateView&) = delete;
    BatchState* get() const { return view_; }

private:
    BatchState* view_;
};

}  // namespace

std::wstring FuzzBatchCommand(const std::wstring& program, const std::string& format, uint64_t runSeed,
                              uint64_t first, uint64_t count, HANDLE state, const std::wstring& corpusFolder,
                              uint64_t corpusUpTo)
{
    return L"\"" + program + L"\" " + kBatchSwitch + L" " + std::wstring(format.begin(), format.end()) + L" " +
           std::to_wstring(runSeed) + L" " + std::to_wstring(first) + L" " + std::to_wstring(count) + L" " +
           std::to_wstring(reinterpret_cast<uintptr_t>(state)) + L" " + std::to_wstring(corpusUpTo) + L" \"" +
           (corpusFolder.empty() ? std::wstring(kNoCorpus) : corpusFolder) + L"\"";
}

bool IsFuzzBatchCommand(int argc, wchar_t** argv)
{
    return argc >= 2 && std::wcscmp(argv[1], kBatchSwitch) == 0;
}

int RunFuzzBatch(const std::vector<FuzzTarget>& table, int argc, wchar_t** argv)
{
    if (argc != 9)
        return kBatchRefused;
    const std::string format = Narrow(argv[2]);
    const FuzzTarget* target = FindFuzzTarget(table, format);
    const uint64_t runSeed = std::wcstoull(argv[3], nullptr, 10);
    const uint64_t first = std::wcstoull(argv[4], nullptr, 10);
    const uint64_t count = std::wcstoull(argv[5], nullptr, 10);
    StateView view(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(argv[6], nullptr, 10))));
    const uint64_t corpusUpTo = std::wcstoull(argv[7], nullptr, 10);
    const std::wstring corpusFolder = argv[8];
    BatchState* state = view.get();
    if (!target || !state)
        return kBatchRefused;
    g_state = state;
    QuietFaults();

    const Mutator mutator = corpusFolder == kNoCorpus ? Mutator(*target, runSeed)
                                                      : CorpusFolder(corpusFolder, *target, runSeed).Load(corpusUpTo);
    RecordEdgesInto(EdgeMapOf(state));
    state->warmingUp = 1;
    for (uint64_t i = 0; i < mutator.TargetSeedCount(); ++i) {
        state->running = static_cast<LONG64>(i);
        ::InterlockedIncrement64(&state->started);
        RunOne(*target, mutator.Input(i));
    }
    state->running = -1;
    state->warmingUp = 0;
    state->before = CountGuiObjects();
    for (uint64_t i = first; i < first + count; ++i) {
        const FuzzBytes input = mutator.Input(i);
        state->running = static_cast<LONG64>(i);
        ::InterlockedIncrement64(&state->started);
        TakeNewEdges();
        RunOne(*target, input);
        // The seeds and the base are in the corpus already.
        const LONG keptCount = state->keptCount;
        if (TakeNewEdges() && i >= mutator.SeedCount() && keptCount < static_cast<LONG>(kMaxKept)) {
            state->kept[keptCount] = static_cast<LONG64>(i);
            state->keptCount = keptCount + 1;
        }
        ::InterlockedIncrement64(&state->done);
    }
    RecordEdgesInto(nullptr);
    state->running = -1;
    state->after = CountGuiObjects();
    state->countsTaken = 1;
    return kBatchCompleted;
}
