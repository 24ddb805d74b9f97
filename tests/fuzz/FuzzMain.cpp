// The mutation runner's command line.
//
//   fuzz_runner [--inputs N] [--seed S] [--batch N] [--hang-ms N] [--findings DIR] [--corpus DIR]
//               [--format NAME]...
//       runs N inputs of every format (or the named ones), keeping in DIR (by default
//       fuzz-corpus in the build folder) the inputs that reach new edges of the readers, and
//       prints the counts; exit code 1 when any input crashed, hung or leaked
//   fuzz_runner --replay FORMAT INDEX [--seed S] [--batch N] [--corpus DIR]
//       reads that one input here, in this process; it is made from the corpus that the last
//       run with seed S kept in DIR before that input's batch
//   fuzz_runner --run-file FORMAT FILE             reads a saved input here, in this process
//   fuzz_runner --list                             the formats' names, one a line
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fuzz/Corpus.h"
#include "tests/fuzz/FuzzBatch.h"
#include "tests/fuzz/FuzzRunner.h"
#include "tests/fuzz/Mutator.h"
#include "app/Modules.h"
#include "tests/support/HostPath.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(),
                                                         static_cast<int>(out.size()), nullptr, nullptr)));
    if (!out.empty())
        out.pop_back();
    return out;
}

const FuzzTarget& Target(const std::string& name)
{
    const FuzzTarget* target = FindFuzzTarget(FuzzTargets(), name);
    if (!target)
        throw std::invalid_argument("no format called " + name);
    return *target;
}

int RunHere(const FuzzTarget& target, const FuzzBytes& input)
{
    target.run(input.data(), input.size());
    std::printf("%s: %zu bytes read without fault\n", target.name, input.size());
    return 0;
}

// build\fuzz-corpus, beside build\tests\ where this program is.
std::wstring DefaultCorpusFolder()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.resize(path.rfind(L'\\'));
    path.resize(path.rfind(L'\\') + 1);
    return path + L"fuzz-corpus";
}

int Main(int argc, wchar_t** argv)
{
    RunnerOptions options;
    options.corpusFolder = DefaultCorpusFolder();
    std::vector<std::string> formats;
    std::string replayFormat;
    uint64_t replayIndex = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Narrow(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == "--replay" && i + 2 < argc) {
            replayFormat = Narrow(argv[++i]);
            replayIndex = std::wcstoull(argv[++i], nullptr, 10);
        } else if (arg == "--list") {
            for (const FuzzTarget& target : FuzzTargets())
                std::printf("%s\n", target.name);
            return 0;
        } else if (arg == "--run-file" && i + 2 < argc) {
            const FuzzTarget& target = Target(Narrow(argv[i + 1]));
            TFileStream file(HostPath(Narrow(argv[i + 2]).c_str()), TFileMode::fmOpenRead);
            FuzzBytes input(static_cast<size_t>(file.Size()));
            file.ReadBuffer(input.data(), static_cast<long long>(input.size()));
            return RunHere(target, input);
        } else if (arg == "--inputs" && hasValue) {
            options.inputs = std::wcstoull(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && hasValue) {
            options.seed = std::wcstoull(argv[++i], nullptr, 10);
        } else if (arg == "--batch" && hasValue) {
            options.batchSize = std::wcstoull(argv[++i], nullptr, 10);
        } else if (arg == "--hang-ms" && hasValue) {
            options.hangMilliseconds = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg == "--findings" && hasValue) {
            options.findingsFolder = HostPath(Narrow(argv[++i]).c_str());
        } else if (arg == "--corpus" && hasValue) {
            options.corpusFolder = HostPath(Narrow(argv[++i]).c_str());
        } else if (arg == "--format" && hasValue) {
            formats.push_back(Narrow(argv[++i]));
        } else {
            std::fprintf(stderr, "fuzz_runner: unknown argument %s\n", arg.c_str());
            return 2;
        }
    }
    if (!replayFormat.empty()) {
        if (options.batchSize == 0)
            throw std::invalid_argument("batch size 0");
        const FuzzTarget& target = Target(replayFormat);
        const uint64_t batchFirst = replayIndex - replayIndex % options.batchSize;
        return RunHere(target, CorpusFolder(options.corpusFolder, target, options.seed).Load(batchFirst).Input(replayIndex));
    }
    if (formats.empty())
        for (const FuzzTarget& target : FuzzTargets())
            formats.push_back(target.name);
    for (const std::string& name : formats)
        Target(name);  // an unknown name fails before anything runs

    std::printf("seed %llu, %llu inputs per format in batches of %llu\n",
                static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(options.inputs),
                static_cast<unsigned long long>(options.batchSize));
    std::printf("corpus kept in %s\n", Utf8(options.corpusFolder).c_str());
    std::printf("%-16s %10s %7s %6s %7s %8s %6s %10s %8s\n", "format", "inputs", "corpus", "kept", "edges", "crashes",
                "hangs", "GDI leaks", "seconds");
    std::vector<std::string> findings;
    for (const std::string& name : formats) {
        const ULONGLONG start = ::GetTickCount64();
        const FormatResult result = FuzzFormat(Target(name), options);
        std::printf("%-16s %10llu %7zu %6zu %7zu %8d %6d %10d %8.1f\n", name.c_str(),
                    static_cast<unsigned long long>(result.inputs), result.corpusSize, result.kept, result.edges,
                    result.Count(FindingKind::crash), result.Count(FindingKind::hang), result.Count(FindingKind::leak),
                    static_cast<double>(::GetTickCount64() - start) / 1000.0);
        std::fflush(stdout);
        for (const Finding& finding : result.findings)
            findings.push_back(DescribeFinding(result, options.seed, finding));
    }
    for (const std::string& line : findings)
        std::printf("%s\n", line.c_str());
    return findings.empty() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // The readers run as in the program: after the units' start-up steps (picture formats).
    TRunningModules modules(LibraryModules());
    if (IsFuzzBatchCommand(argc, argv))
        return RunFuzzBatch(FuzzTargets(), argc, argv);
    try {
        return Main(argc, argv);
    } catch (const Exception& e) {
        std::fwprintf(stderr, L"fuzz_runner: %ls: %ls\n", e.ClassName(), e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_runner: %s\n", e.what());
    }
    return 2;
}
