// The long loops of the quality figures (scripts/quality.sh): every window of the updater
// opened on the screen and closed again through its own buttons, 100 times each, and 1,000
// pictures loaded and drawn, with this process's GDI objects and windows counted before and
// after each loop (tests/support/GuiCounts). One line per loop; exit code 1 when a count grew
// (see RunLoop), 2 when a loop could not run.
//
//   gui_soak [window-runs] [picture-runs]        (defaults 100 and 1000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/FMain.h"
#include "app/Modules.h"
#include "app/Resources.h"
#include "app/UMessage.h"
#include "resources/resource_ids.h"
#include "imaging/USafetyBitmap.h"
#include "target/FInpPath.h"
#include "target/FSelDir.h"
#include "tests/gui/MessageBoxAnswerer.h"
#include "tests/support/GuiCounts.h"
#include "tests/support/HostPath.h"
#include "tests/support/IconBytes.h"
#include "tests/support/MetafileBytes.h"
#include "tests/support/TempFolder.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Canvas.h"
#include "toolkit/graphics/Picture.h"
#include "update/FDoUpdate.h"

namespace {

bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        ::Sleep(5);
    }
    return false;
}

// Runs the form modally while another thread, once it is on the screen, presses `button`
// (nullptr: the form closes by itself). A form still open 5 s later is closed, and counts
// as a failure.
bool RunModalPressing(TForm& form, TWinControl* button)
{
    HWND wnd = form.Handle();
    HWND press = button ? button->Handle() : nullptr;
    bool closedByHand = true;
    std::thread user([&] {
        if (press && WaitFor([&] { return ::IsWindowVisible(wnd) != FALSE; }))
            ::PostMessageW(press, BM_CLICK, 0, 0);
        if (!WaitFor([&] { return !::IsWindowVisible(wnd); })) {
            closedByHand = false;
            ::PostMessageW(wnd, WM_CLOSE, 0, 0);
        }
    });
    form.ShowModal();
    user.join();
    return closedByHand;
}

void WriteBytes(const std::wstring& path, const void* data, size_t size)
{
    unique_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        throw std::runtime_error("cannot write a picture file");
}

// Picture files of every format the updater registers, in a folder of their own.
std::vector<std::wstring> PictureFiles(const TempFolder& folder)
{
    std::vector<std::wstring> files;
    const auto copy = [&](const char* from, const wchar_t* name) {
        std::wstring to = folder.File(name);
        if (!::CopyFileW(HostPath(from).c_str(), to.c_str(), FALSE))
            throw std::runtime_error(std::string("cannot copy ") + from);
        files.push_back(to);
    };
    copy(LOGO_BMP, L"logo.bmp");
    copy(LOGO_CBM, L"logo.cbm");
    copy(JPEG_SEEDS "/baseline.jpg", L"baseline.jpg");
    copy(JPEG_SEEDS "/progressive.jpg", L"progressive.jpg");
    const auto write = [&](const std::vector<uint8_t>& bytes, const wchar_t* name) {
        files.push_back(folder.File(name));
        WriteBytes(files.back(), bytes.data(), bytes.size());
    };
    write(IconFile(IconImage({48, 48, 32, RGB(40, 120, 200)}), 1, 48, 32), L"icon.ico");
    write(BusyEmf(), L"busy.emf");
    write(BusyPlaceableWmf(), L"busy.wmf");
    return files;
}

struct Loop {
    const char* name;
    std::function<bool(int run)> once;  // false: the run went wrong
};

// The message as UTF-8, which goes through the console as it is.
std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                         out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// One run; an error is a failed run, told on the error stream.
bool RunOnce(const Loop& loop, int run)
{
    try {
        return loop.once(run);
    } catch (const Exception& e) {
        std::fprintf(stderr, "gui_soak: %s, run %d: %s: %s\n", loop.name, run, Utf8(e.ClassName()).c_str(),
                     Utf8(e.Message()).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gui_soak: %s, run %d: %s\n", loop.name, run, e.what());
    }
    return false;
}

int RunLoop(const Loop& loop, int runs)
{
    // Whatever the system makes once, on first use (fonts, the input-method window, ...), is
    // made by an uncounted first run.
    if (!RunOnce(loop, -1)) {
        std::printf("%-28s failed on its first run\n", loop.name);
        return 2;
    }
    // Wine also drops a cached object now and then and makes it again later, at no fixed run:
    // the counts may step once in the first half. A leak keeps growing, so the second half is
    // the one that must not grow.
    const GuiCounts before = CountGuiObjects();
    GuiCounts half = before;
    int failed = 0;
    for (int i = 0; i < runs; ++i) {
        failed += RunOnce(loop, i) ? 0 : 1;
        if (i + 1 == runs / 2)
            half = CountGuiObjects();
    }
    const GuiCounts after = CountGuiObjects();
    const bool leaked = !CompareGuiCounts(half, after).empty() || after.gdiObjects > before.gdiObjects + 1 ||
                        after.topLevelWindows > before.topLevelWindows || after.childWindows > before.childWindows;
    std::printf("%-28s %6d %8ld -> %-8ld %6ld -> %-6ld %6ld -> %-6ld %s\n", loop.name, runs, before.gdiObjects,
                after.gdiObjects, before.topLevelWindows, after.topLevelWindows, before.childWindows,
                after.childWindows, leaked ? "LEAK" : (failed ? "FAILED RUNS" : "ok"));
    std::fflush(stdout);
    return leaked ? 1 : failed ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int windowRuns = argc > 1 ? std::atoi(argv[1]) : 100;
    const int pictureRuns = argc > 2 ? std::atoi(argv[2]) : 1000;
    try {
        TRunningModules modules(LibraryModules());
        ReadUpdateVersion();
        SetApplicationTitle(FormatTitle());
        TempFolder folder;
        const std::vector<std::wstring> pictures = PictureFiles(folder);

        // A window of the process alive throughout, so no loop counts the first one's extras.
        TForm host(nullptr);
        host.SetClientSize(400, 360);
        host.Show();

        const std::vector<Loop> loops = {
            {"main window", [](int) {
                 TfrmMain form(nullptr);
                 return RunModalPressing(form, form.btnAbort);
             }},
            {"install-folder dialog", [](int) {
                 TfrmInputPath form(nullptr);
                 return RunModalPressing(form, form.BitBtn3);
             }},
            {"folder-selection dialog", [](int) {
                 TfrmSelDir form(nullptr);
                 return RunModalPressing(form, form.CancelBtn);
             }},
            {"update dialog", [&](int) {
                 // The install-folder dialog points the update at the folder it proposes.
                 SetUpdateTarget(folder.File(L"Soranote.exe"));
                 MessageBoxAnswerer answerer;
                 TfrmDoUpdate form(nullptr);
                 const bool closed = RunModalPressing(form, nullptr);
                 for (const AnsweredBox& box : answerer.Stop())
                     throw std::runtime_error("a message came up: " + Utf8(box.text));
                 return closed && form.ModalResult() == mrOk;
             }},
            {"message box", [](int) {
                 MessageBoxAnswerer answerer;
                 ShowMessage(LoadText(sUpdateSucceeded));
                 return answerer.Stop().size() == 1;
             }},
        };
        int worst = 0;
        std::printf("%-28s %6s %20s %16s %16s\n", "loop", "runs", "GDI objects", "top-level windows",
                    "child windows");
        for (const Loop& loop : loops)
            worst = std::max(worst, RunLoop(loop, windowRuns));

        // Every picture file loaded by the picture formats the updater registers, and drawn on
        // the host window scaled into its client area.
        const Loop pictureLoop{"picture loads and draws", [&](int run) {
                                   TPicture picture;
                                   picture.LoadFile(pictures[static_cast<size_t>(run + 1) % pictures.size()]);
                                   WindowDC dc(host.Handle());
                                   TCanvas canvas;
                                   canvas.AttachHandle(dc.get());
                                   canvas.RenderScaled(RECT{0, 0, 400, 360}, picture.Graphic());
                                   canvas.AttachHandle(nullptr);
                                   Application().ProcessMessages();
                                   return picture.Width() > 0;
                               }};
        worst = std::max(worst, RunLoop(pictureLoop, pictureRuns));
        return worst;
    } catch (const Exception& e) {
        std::fprintf(stderr, "gui_soak: %s: %s\n", Utf8(e.ClassName()).c_str(), Utf8(e.Message()).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gui_soak: %s\n", e.what());
    }
    return 2;
}
