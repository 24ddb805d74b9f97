// Repaint of the main window (invalidate everything, children included, and paint at once),
// and of its logo control alone, against a plain blit of the logo picture into the logo
// control's window, 1,000 times each, in turns of 100 so a slow patch of the machine falls
// on all. Prints each and the ratios.
// Needs a display: scripts/with-display.
//   repaint_bench [rounds]    rounds of 100 each (default 10)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/FMain.h"
#include "app/Modules.h"
#include "toolkit/core/HandleOwners.h"

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
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
}

// Milliseconds for `times` calls of `step`, with the drawing flushed to the screen at the end.
template <typename Step>
double Time(int times, Step step)
{
    const double start = Now();
    for (int i = 0; i < times; ++i)
        step();
    ::GdiFlush();
    return Now() - start;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    TRunningModules modules(ProgramModules());
    auto form = std::make_unique<TfrmMain>(nullptr);
    form->Show();
    Pump();
    HWND window = form->Handle();

    // The baseline: the logo as a device bitmap, copied into the window as it is.
    HBITMAP logo = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), L"LOGO", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!logo) {
        std::fprintf(stderr, "repaint_bench: no LOGO\n");
        return 1;
    }
    unique_hbitmap owned(logo);
    BITMAP info{};
    ::GetObjectW(logo, sizeof info, &info);
    unique_hdc memory(::CreateCompatibleDC(nullptr));
    const SelectGuard select(memory.get(), logo);

    HWND logoWindow = form->Image1->Handle();
    double repaint = 0, logoOnly = 0, blit = 0;
    for (int round = 0; round < rounds; ++round) {
        repaint += Time(100, [&] {
            ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        });
        logoOnly += Time(100, [&] { ::RedrawWindow(logoWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
        blit += Time(100, [&] {
            WindowDC dc(logoWindow);  // the form clips its children out: its own DC would draw nothing
            ::BitBlt(dc.get(), 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
        });
        Pump();
    }
    const int times = 100 * rounds;
    std::printf("%d repaints of the main window (client %d x %d) against %d blits of the %ld x %ld logo:\n", times,
                form->ClientWidth(), form->ClientHeight(), times, info.bmWidth, info.bmHeight);
    std::printf("  repaint  %8.3f ms each\n", repaint / times);
    std::printf("  logo control alone %8.3f ms each\n", logoOnly / times);
    std::printf("  blit     %8.3f ms each\n", blit / times);
    std::printf("  ratio repaint / blit: %.2f (logo control alone / blit: %.2f)\n", repaint / blit, logoOnly / blit);
    return 0;
}
