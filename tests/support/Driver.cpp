#include "tests/support/Driver.h"

#include <thread>

namespace {

constexpr Millis kPoll{20};
constexpr UINT kMessageTimeoutMs = 2000;

std::string Narrow(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

[[noreturn]] void Fail(const std::string& what)
{
    throw DriverError(what);
}

[[noreturn]] void FailWin32(const std::string& what)
{
    Fail(what + " failed, error " + std::to_string(GetLastError()));
}

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    auto& out = *reinterpret_cast<ProcessWindows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == out.processId && IsWindowVisible(window))
        out.found.push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND window)
{
    std::vector<HWND> found;
    if (!window)  // would list every top-level window of the desktop
        return found;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND OkButton(HWND box)
{
    if (HWND ok = GetDlgItem(box, IDOK))
        return ok;
    return FindChild(box, L"Button");
}

// The message text is the static with text; the icon is a static too, without text.
std::wstring MessageText(HWND box)
{
    for (HWND child : Children(box)) {
        if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0)
            continue;
        std::wstring text = WindowText(child);
        if (!text.empty())
            return text;
    }
    return {};
}

// What the process shows instead, for the failure message of a wait that ran out.
std::string DescribeWindows(const DrivenProcess& process)
{
    if (!process.Running())
        return " (the process has ended)";
    std::string seen = "; windows:";
    for (HWND window : TopLevelWindows(process.Id()))
        seen += " [" + Narrow(ClassName(window)) + " \"" + Narrow(WindowText(window)) + "\"]";
    return seen;
}

}  // namespace

DrivenProcess::DrivenProcess(const std::wstring& exe, const std::wstring& workFolder)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workFolder.c_str(), &startup, &info))
        FailWin32("CreateProcessW " + Narrow(exe));
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
}

DrivenProcess::~DrivenProcess()
{
    Kill();
}

bool DrivenProcess::Running() const
{
    return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

DWORD DrivenProcess::WaitForExit(Millis timeout)
{
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        Fail("the process did not end within " + std::to_string(timeout.count()) + " ms");
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code))
        FailWin32("GetExitCodeProcess");
    return code;
}

void DrivenProcess::Kill()
{
    if (process_ && Running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool WaitUntil(const std::function<bool()>& condition, Millis timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
}

std::wstring WindowText(HWND window)
{
    // WM_GETTEXT asks the control itself (an edit's text lives in the edit); a window that
    // is busy does not answer, and then the text the system keeps for it has to do.
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                            &length)) {
        std::wstring text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                                SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
            text.resize(copied);
            return text;
        }
    }
    wchar_t buffer[1024];
    const int n = GetWindowTextW(window, buffer, 1024);
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256];
    const int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

std::vector<HWND> TopLevelWindows(DWORD processId)
{
    ProcessWindows windows{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows.found;
}

HWND FindButton(HWND window, const std::wstring& text)
{
    for (HWND child : Children(window))
        if (_wcsicmp(ClassName(child).c_str(), L"Button") == 0 && WindowText(child) == text)
            return child;
    return nullptr;
}

HWND FindChild(HWND window, const wchar_t* className)
{
    for (HWND child : Children(window))
        if (_wcsicmp(ClassName(child).c_str(), className) == 0)
            return child;
    return nullptr;
}

HWND FindWindowWithButton(DWORD processId, const std::wstring& buttonText)
{
    for (HWND window : TopLevelWindows(processId))
        if (FindButton(window, buttonText))
            return window;
    return nullptr;
}

HWND WaitForWindowWithButton(const DrivenProcess& process, const std::wstring& buttonText,
                             Millis timeout)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowWithButton(process.Id(), buttonText)) != nullptr; },
              timeout);
    if (!found)
        Fail("no window with the button \"" + Narrow(buttonText) + "\" within " +
             std::to_string(timeout.count()) + " ms" + DescribeWindows(process));
    return found;
}

void Click(HWND button)
{
    if (!button)
        Fail("no button to click");
    if (!PostMessageW(button, BM_CLICK, 0, 0))
        FailWin32("PostMessageW BM_CLICK");
}

void TypeText(HWND edit, const std::wstring& text)
{
    if (!edit)
        Fail("no edit box to type into");
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        FailWin32("WM_SETTEXT");
}

std::vector<HWND> MessageBoxes(DWORD processId)
{
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows(processId))
        if (ClassName(window) == L"#32770" && OkButton(window))
            boxes.push_back(window);
    return boxes;
}

MessageBoxSeen WaitForMessageBox(const DrivenProcess& process, Millis timeout)
{
    HWND box = nullptr;
    WaitUntil(
        [&] {
            const auto boxes = MessageBoxes(process.Id());
            box = boxes.empty() ? nullptr : boxes.front();
            return box != nullptr;
        },
        timeout);
    if (!box)
        Fail("no message box within " + std::to_string(timeout.count()) + " ms" +
             DescribeWindows(process));
    // The text is put in after the box is created; wait for it rather than read too early.
    MessageBoxSeen seen{box, {}, {}};
    WaitUntil([&] { return !(seen.text = MessageText(box)).empty(); }, timeout);
    seen.caption = WindowText(box);
    return seen;
}

void PressOk(const MessageBoxSeen& box, Millis timeout)
{
    HWND ok = OkButton(box.window);
    if (!ok)
        Fail("the message box has no OK button");
    Click(ok);
    if (!WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, timeout))
        Fail("the message box did not close after OK");
}

MessageBoxSeen AnswerMessageBox(const DrivenProcess& process, Millis timeout)
{
    MessageBoxSeen seen = WaitForMessageBox(process, timeout);
    PressOk(seen, timeout);
    return seen;
}
