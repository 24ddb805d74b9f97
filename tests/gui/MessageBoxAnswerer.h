// Answers the message boxes this process shows while the test's own thread is inside a modal
// loop: a second thread finds each one, records its caption and text, and presses OK.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AnsweredBox {
    std::wstring caption;
    std::wstring text;
};

class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() : thread_([this] { Run(); }) {}
    ~MessageBoxAnswerer() { Stop(); }
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Stops watching; the boxes answered so far.
    std::vector<AnsweredBox> Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM param)
    {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) && std::wstring(name) == L"#32770")
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        return TRUE;
    }

    static std::wstring Text(HWND window)
    {
        wchar_t buffer[2048] = {};
        ::GetWindowTextW(window, buffer, 2048);  // another thread's window: asks it
        return buffer;
    }

    void Run()
    {
        while (!stop_) {
            std::vector<HWND> found;
            ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
            for (HWND box : found) {
                HWND textControl = ::GetDlgItem(box, 0xFFFF);  // the message text of a message box
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    boxes_.push_back({Text(box), textControl ? Text(textControl) : std::wstring()});
                }
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                for (int i = 0; i < 500 && ::IsWindow(box); ++i)
                    ::Sleep(10);
            }
            ::Sleep(10);
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<AnsweredBox> boxes_;
    std::thread thread_;
};
