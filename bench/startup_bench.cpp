// Start-up time of the updater beside a bare window program under the same Wine: wall time
// from CreateProcess to the first visible top-level window of the new process, median of
// several runs each (after one unmeasured run), and the ratio of the two medians.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds until the program's first window is visible; closes it again. -1 on failure.
double TimeToWindow(const std::wstring& exe)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    Search search{info.dwProcessId, nullptr};
    double elapsed = -1;
    for (;;) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&now);
        const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (search.found) {
            elapsed = ms;
            break;
        }
        if (ms > 30000 || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(1);
    }
    if (search.found)
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hProcess);
    return elapsed;
}

struct Figures {
    double median, min, max;
};

Figures Summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    return {median, ms.front(), ms.back()};
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench UPDATER.exe MINIMAL.exe [runs]\n");
        return 2;
    }
    const std::wstring programs[2] = {argv[1], argv[2]};
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 10;
    std::vector<double> times[2];
    for (int p = 0; p < 2; ++p)
        if (TimeToWindow(programs[p]) < 0) {
            std::fprintf(stderr, "startup_bench: %ls showed no window\n", programs[p].c_str());
            return 1;
        }
    // Taking turns, so a slow patch of the machine falls on both.
    for (int i = 0; i < runs; ++i)
        for (int p = 0; p < 2; ++p) {
            const double ms = TimeToWindow(programs[p]);
            if (ms < 0) {
                std::fprintf(stderr, "startup_bench: %ls showed no window\n", programs[p].c_str());
                return 1;
            }
            times[p].push_back(ms);
        }
    const Figures updater = Summarise(times[0]);
    const Figures minimal = Summarise(times[1]);
    std::printf("start to visible window, %d runs each (median, min..max):\n", runs);
    std::printf("  SoranoteUpdater.exe  %7.1f ms  (%.1f..%.1f)\n", updater.median, updater.min, updater.max);
    std::printf("  minimal_window.exe   %7.1f ms  (%.1f..%.1f)\n", minimal.median, minimal.min, minimal.max);
    std::printf("  ratio updater / minimal: %.2f\n", updater.median / minimal.median);
    return 0;
}
