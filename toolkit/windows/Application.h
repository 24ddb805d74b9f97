// The application object: title, event loop, modal forms and the handling of errors that
// escape an event handler.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/core/Components.h"
#include "toolkit/core/Errors.h"

class TForm;

using TExceptionEvent = std::function<void(TObject* sender, const Exception& error)>;

class TApplication : public TComponent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TApplication();

    const std::wstring& Title() const { return title_; }
    void SetTitle(const std::wstring& title) { title_ = title; }

    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }

    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Waits for one message and handles it.
    void HandleMessage();
    // Handles every message waiting, without waiting for more.
    void ProcessMessages();

    // The application-wide handler of errors that escape an event handler.
    TExceptionEvent OnException;
    // Called from inside a catch block: hands the error in flight to OnException when one
    // is installed, else to the standard error report.
    void HandleCurrentException();
    void HandleException(const Exception& error);
    // The standard error report: the message (with "." added when its last character sorts
    // above "."), the title as caption, OK and the error icon.
    void ShowException(const Exception& error);
    // Called from inside a catch block when an error escapes the program itself: the
    // runtime's report, naming the error's class, the module and the address it came from.
    static void ShowFatalError();

    // A message box owned by the window the user is working with, captioned with the title.
    int MessageBox(const std::wstring& text, UINT flags);

    // The form whose modal loop runs innermost, else the main form.
    TForm* ActiveForm() const;
    void PushModal(TForm* form);
    void PopModal(TForm* form);

private:
    bool ProcessMessage(MSG& msg);

    std::wstring title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> modalForms_;
    bool terminated_ = false;
};

TApplication& Application();

// The process-wide title: caption of every dialog and message box.
const std::wstring& ApplicationTitle();
void SetApplicationTitle(const std::wstring& title);
