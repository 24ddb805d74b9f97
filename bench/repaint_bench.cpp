// Repaint of the main window (invalidate everything, children included, and paint at once),
// of its logo control alone and of a bare window that blits the logo in its WM_PAINT,
// against a plain blit of the logo picture into the logo control's window, 1,000 times each,
// in turns of 100 so a slow patch of the machine falls on all. Prints each and the ratios.
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

HDC g_logoDC = nullptr;
SIZE g_logoSize{};

// The least a window can do to show the logo: a blit in its WM_PAINT.
LRESULT CALLBACK PlainProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != WM_PAINT)
        return ::DefWindowProcW(wnd, message, wparam, lparam);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(wnd, &ps);
    ::BitBlt(dc, 0, 0, g_logoSize.cx, g_logoSize.cy, g_logoDC, 0, 0, SRCCOPY);
    ::EndPaint(wnd, &ps);
    return 0;
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

    // A bare window beside the form (not over it) that paints the logo by a blit.
    g_logoDC = memory.get();
    g_logoSize = {info.bmWidth, info.bmHeight};
    WNDCLASSW plainClass{};
    plainClass.lpfnWndProc = PlainProc;
    plainClass.hInstance = ::GetModuleHandleW(nullptr);
    plainClass.lpszClassName = L"PlainLogo";
    ::RegisterClassW(&plainClass);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND plain = ::CreateWindowExW(0, L"PlainLogo", L"", WS_POPUP | WS_VISIBLE, 520, 0, info.bmWidth, info.bmHeight,
                                   nullptr, nullptr, plainClass.hInstance, nullptr);
    Pump();

    HWND logoWindow = form->Image1->Handle();
    double repaint = 0, logoOnly = 0, plainPaint = 0, blit = 0;
    for (int round = 0; round < rounds; ++round) {
        repaint += Time(100, [&] {
            ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        });
        logoOnly += Time(100, [&] { ::RedrawWindow(logoWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
        plainPaint += Time(100, [&] { ::RedrawWindow(plain, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
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
    std::printf("  bare window painting by a blit %8.3f ms each\n", plainPaint / times);
    std::printf("  blit     %8.3f ms each\n", blit / times);
    std::printf("  ratio repaint / blit: %.2f (logo control alone / blit: %.2f; bare window / blit: %.2f)\n",
                repaint / blit, logoOnly / blit, plainPaint / blit);
    ::DestroyWindow(plain);
    return 0;
}
