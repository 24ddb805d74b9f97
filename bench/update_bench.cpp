// Times the update procedure on the embedded payload, from its start to the replaced file,
// against the least any updater must do with the same bytes: zlib's one-call uncompress and a
// plain write and flush to a file in the same folder. Both run in turn in one process; the
// ratio of their medians is what counts. Also prints how far the update raised the peak
// working set, against the size of the inflated payload.
//
// It makes the (hidden) dialog, so it needs a display: scripts/with-display.
//   update_bench [runs]       the figures (default 200 runs of each)
//   update_bench --show [s]   shows the update dialog, held at its last step for s seconds
//                             (default 20), for a screenshot
#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/Resources.h"
#include "bench/BenchStats.h"
#include "resources/resource_ids.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/windows/Forms.h"
#include "update/FDoUpdate.h"
#include "update/SafeWrite.h"
#include "update/UZLIB.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

std::wstring BenchFolder()
{
    wchar_t base[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
    std::wstring folder = std::wstring(base, n) + L"update_bench_" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    unique_find find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            ::DeleteFileW((folder + L"\\" + data.cFileName).c_str());
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryW(folder.c_str());
}

// The baseline: inflate in one call, write in one call, flush, close.
bool PlainUpdate(const unsigned char* zlibData, uLong zlibSize, int inflated, const std::wstring& path)
{
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[static_cast<size_t>(inflated)]);
    uLongf size = static_cast<uLongf>(inflated);
    if (uncompress(buffer.get(), &size, zlibData, zlibSize) != Z_OK)
        return false;
    unique_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), buffer.get(), static_cast<DWORD>(size), &written, nullptr) &&
           written == size && ::FlushFileBuffers(file.get());
}

int Bench(int runs)
{
    ReadUpdateVersion();
    SetApplicationTitle(FormatTitle());
    const std::wstring folder = BenchFolder();
    SetUpdateTarget(folder + L"\\Soranote.exe");
    const std::wstring plainTarget = folder + L"\\plain.exe";

    std::unique_ptr<TStream> resource = OpenResource(RT_RCDATA, LoadText(sPayloadResName));
    int inflated = 0;
    if (!ReadCompressHeader(*resource, inflated) || inflated <= 0) {
        std::fprintf(stderr, "the payload carries no container\n");
        return 1;
    }
    // The resource is in memory in place; the zlib stream follows the 17-byte header.
    const auto* container = static_cast<const unsigned char*>(static_cast<TResourceStream&>(*resource).Memory());
    const uLong zlibSize = static_cast<uLong>(resource->Size() - 17);

    // Never shown: the procedure is timed on its own, as the ready event runs it.
    TfrmDoUpdate dialog(nullptr);
    dialog.ReadyNotifier1->OnReady = nullptr;

    // The first update, before anything else allocates the payload's size, for the memory figure.
    const PROCESS_MEMORY_COUNTERS before = Memory();
    dialog.DoUpdate();
    const PROCESS_MEMORY_COUNTERS after = Memory();

    // Runs in turn, so drifts of the machine touch both alike.
    std::vector<double> update, plain, shown;
    auto runPlain = [&] {
        const double start = Now();
        if (!PlainUpdate(container + 17, zlibSize, inflated, plainTarget))
            throw Exception(L"the plain update failed");
        plain.push_back(Now() - start);
    };
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        dialog.DoUpdate();
        update.push_back(Now() - start);
        runPlain();
    }
    // On the screen, each step of the bar is painted before the work goes on.
    dialog.Show();
    Application().ProcessMessages();
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        dialog.DoUpdate();
        shown.push_back(Now() - start);
        runPlain();
    }
    dialog.Hide();
    RemoveFolder(folder);

    const double u = Median(update), p = Median(plain), s = Median(shown);
    std::printf("payload: container of %lld bytes, %d bytes inflated; %d runs of each, medians\n",
                static_cast<long long>(resource->Size()), inflated, runs);
    std::printf("update procedure, start to replaced file:  %8.3f ms\n", u);
    std::printf("  the same with the dialog on the screen:  %8.3f ms\n", s);
    std::printf("uncompress + write + flush:                %8.3f ms\n", p);
    // Each run's ratio to the plain run beside it gives the spread.
    const bench::Spread us = bench::SpreadOf(bench::Ratios(update, plain));
    const bench::Spread ss = bench::SpreadOf(bench::Ratios(shown, std::vector<double>(plain.begin() + runs, plain.end())));
    std::printf("ratio:                                     %8.3f  (middle half %.3f to %.3f, %d runs; goal <= 1.2)\n",
                u / p, us.low, us.high, runs);
    std::printf("ratio with the dialog on the screen:       %8.3f  (middle half %.3f to %.3f, %d runs)\n", s / p,
                ss.low, ss.high, runs);
    const double kib = 1024.0;
    std::printf("working set before the first update: %8.0f KiB; peak after it: %8.0f KiB\n",
                static_cast<double>(before.WorkingSetSize) / kib, static_cast<double>(after.PeakWorkingSetSize) / kib);
    std::printf("peak rise during the update: %8.0f KiB = %.2f x the inflated payload (%.0f KiB)\n",
                (static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(before.WorkingSetSize)) / kib,
                (static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(before.WorkingSetSize)) /
                    static_cast<double>(inflated),
                inflated / kib);
    return 0;
}

// The dialog as the user sees it, stopped just before the file is written, so a screenshot
// can be taken; the target goes to a temp folder.
int Show(int seconds)
{
    ReadUpdateVersion();
    SetApplicationTitle(FormatTitle());
    const std::wstring folder = BenchFolder();
    SetUpdateTarget(folder + L"\\Soranote.exe");
    SetReplaceProbe([seconds](const std::wstring&, size_t written) {
        if (written != 0)
            return;
        const double end = Now() + seconds * 1000.0;
        while (Now() < end) {
            MSG msg;  // only repaints: the dialog takes no input while it works
            while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
                ::DispatchMessageW(&msg);
            ::Sleep(50);
        }
    });
    TModalResult result;
    {
        TfrmDoUpdate dialog(nullptr);
        result = dialog.ShowModal();
    }
    SetReplaceProbe(nullptr);
    RemoveFolder(folder);
    return result == mrOk ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        if (argc > 1 && std::wcscmp(argv[1], L"--show") == 0)
            return Show(argc > 2 ? _wtoi(argv[2]) : 20);
        return Bench(argc > 1 ? std::max(1, _wtoi(argv[1])) : 200);
    } catch (const Exception& e) {
        const std::wstring text = std::wstring(e.ClassName()) + L": " + e.Message() + L"\n";
        std::string utf8(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0,
                                                                   nullptr, nullptr)), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                              nullptr);
        std::fputs(utf8.c_str(), stderr);
        return 1;
    }
}
