// Drives another process's windows as a user would: start it, find its windows, press its
// buttons, type into its edit box, read and answer its message boxes, wait for it to end.
// Every wait is bounded; a wait that runs out throws DriverError, and a DrivenProcess that
// is still running when it goes is killed, so a failing test leaves nothing behind.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/core/HandleOwners.h"

using Millis = std::chrono::milliseconds;

class DriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DrivenProcess {
public:
    // Starts `exe` with `workFolder` as its current folder. Throws DriverError.
    DrivenProcess(const std::wstring& exe, const std::wstring& workFolder);
    ~DrivenProcess();
    DrivenProcess(const DrivenProcess&) = delete;
    DrivenProcess& operator=(const DrivenProcess&) = delete;

    DWORD Id() const { return id_; }
    bool Running() const;
    // The exit code; throws DriverError when the process still runs after `timeout`.
    DWORD WaitForExit(Millis timeout);
    void Kill();

private:
    unique_handle process_;
    DWORD id_ = 0;
};

// Polls `condition` until it holds or `timeout` runs out; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, Millis timeout);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// Visible top-level windows of the process, in z-order.
std::vector<HWND> TopLevelWindows(DWORD processId);
// The child of `window` with class BUTTON and this text, else nullptr.
HWND FindButton(HWND window, const std::wstring& text);
// The first child of `window` with this class, else nullptr.
HWND FindChild(HWND window, const wchar_t* className);
// A visible top-level window of the process holding a button with this text. Forms share
// their caption, so a form is known by its buttons.
HWND FindWindowWithButton(DWORD processId, const std::wstring& buttonText);
HWND WaitForWindowWithButton(const DrivenProcess& process, const std::wstring& buttonText,
                             Millis timeout);

// Posted, not sent: the target may be inside a modal loop that the click starts.
void Click(HWND button);
// Replaces the edit's text (the edit reports the change as if typed).
void TypeText(HWND edit, const std::wstring& text);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};
// Open message boxes ("#32770" with an OK button) of the process.
std::vector<HWND> MessageBoxes(DWORD processId);
MessageBoxSeen WaitForMessageBox(const DrivenProcess& process, Millis timeout);
// Presses OK and waits until the box is gone.
void PressOk(const MessageBoxSeen& box, Millis timeout);
// WaitForMessageBox then PressOk: what a user does with a message they have read.
MessageBoxSeen AnswerMessageBox(const DrivenProcess& process, Millis timeout);
