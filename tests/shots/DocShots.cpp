// Drives the real updater through its flow for the README's pictures. At each picture it
// writes a request ("name x y width height", screen pixels) into the handshake folder and
// waits until scripts/screenshots.sh has taken the picture and removed the request. Given a
// picture name as well, it takes only the main window under that name and quits.
#include "tests/support/Driver.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr Millis kWait = 20s;

std::wstring g_handshake;

// The visible windows of the process, with a margin, kept on the screen.
RECT ShotArea(DWORD processId)
{
    RECT area{};
    for (HWND window : TopLevelWindows(processId)) {
        RECT r;
        GetWindowRect(window, &r);
        UnionRect(&area, &area, &r);
    }
    InflateRect(&area, 16, 16);
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, GetSystemMetrics(SM_CXSCREEN));
    area.bottom = std::min<LONG>(area.bottom, GetSystemMetrics(SM_CYSCREEN));
    return area;
}

void Shot(const char* name, const DrivenProcess& process)
{
    std::this_thread::sleep_for(500ms);  // let every window finish painting
    const RECT r = ShotArea(process.Id());
    const std::wstring request = g_handshake + L"\\request";
    {
        std::ofstream out(std::filesystem::path(request + L".tmp"));
        out << name << ' ' << r.left << ' ' << r.top << ' ' << r.right - r.left << ' ' << r.bottom - r.top << '\n';
    }
    if (!MoveFileExW((request + L".tmp").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw DriverError("cannot write the request");
    if (!WaitUntil([&] { return GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; }, kWait))
        throw DriverError(std::string("nobody took the picture ") + name);
    std::printf("doc_shots: %s\n", name);
    std::fflush(stdout);
}

void WaitForIdle(HWND main)
{
    if (!WaitUntil([&] { return IsWindowVisible(FindButton(main, L"アップデート")) != FALSE; }, kWait))
        throw DriverError("the main window did not come back");
}

void Run(const std::wstring& updaterExe, const std::string& mainOnly)
{
    DrivenProcess updater(updaterExe, L"C:\\");
    HWND main = WaitForWindowWithButton(updater, L"アップデート", kWait);
    if (!mainOnly.empty()) {
        Shot(mainOnly.c_str(), updater);
        Click(FindButton(main, L"終了"));
        updater.WaitForExit(kWait);
        return;
    }
    Shot("main-window", updater);

    // The update dialog shows only while the file is written, too short for a picture; a
    // read-only target holds it on the screen under its message.
    Click(FindButton(main, L"アップデート"));
    HWND dialog = WaitForWindowWithButton(updater, L"開始", kWait);
    const std::wstring target = WindowText(FindChild(dialog, L"Edit")) + L"\\Soranote.exe";
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    Click(FindButton(dialog, L"開始"));
    MessageBoxSeen box = WaitForMessageBox(updater, kWait);
    Shot("flow-update-read-only", updater);
    PressOk(box, kWait);
    AnswerMessageBox(updater, kWait);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    WaitForIdle(main);

    Click(FindButton(main, L"アップデート"));
    dialog = WaitForWindowWithButton(updater, L"開始", kWait);
    Shot("flow-install-folder", updater);
    Click(FindButton(dialog, L"参照(&R)..."));
    HWND select = WaitForWindowWithButton(updater, L"はい", kWait);
    Shot("flow-folder-selection", updater);
    Click(FindButton(select, L"いいえ"));
    if (!WaitUntil([&] { return !IsWindowVisible(select); }, kWait))
        throw DriverError("the folder-selection dialog did not close");

    Click(FindButton(dialog, L"開始"));
    box = WaitForMessageBox(updater, kWait);
    Shot("success-message", updater);
    PressOk(box, kWait);
    updater.WaitForExit(kWait);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: doc_shots UPDATER.exe HANDSHAKE_FOLDER [MAIN_WINDOW_PICTURE_NAME]\n");
        return 2;
    }
    g_handshake = argv[2];
    try {
        const std::wstring name = argc == 4 ? argv[3] : L"";
        Run(argv[1], std::string(name.begin(), name.end()));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "doc_shots: %s\n", e.what());
        return 1;
    }
}
