// Forms with modal runs, and the application object: title, event loop, error handling.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/Controls.h"
#include "toolkit/Exceptions.h"

class TButtonControl;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;

enum class TFormBorderStyle { bsDialog, bsSingle };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    void SetClientSize(int width, int height);
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }

    TFormBorderStyle BorderStyle = TFormBorderStyle::bsDialog;
    unsigned BorderIcons = biSystemMenu;
    bool StayOnTop = false;

    // Modal run: shows the form, disables its owner and runs a loop of its own until the
    // modal result is set and the close check allows closing. The close box counts as Cancel.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    bool IsModal() const { return modal_; }

    void Close();
    bool CloseQuery();

    // The buttons that Enter and Esc press.
    void SetDefaultButton(TButtonControl* button) { defaultButton_ = button; }
    void SetCancelButton(TButtonControl* button) { cancelButton_ = button; }
    TButtonControl* DefaultButton() const { return defaultButton_; }
    TButtonControl* CancelButton() const { return cancelButton_; }
    void SetActiveControl(TWinControl* control);
    TWinControl* ActiveControl() const { return activeControl_; }

    // Keyboard navigation and shortcuts, tried before a key message is dispatched.
    bool DialogKey(const MSG& msg);
    void FocusChanged(TWinControl* control);

    // The palette the form realises for what it shows; none by default.
    virtual HPALETTE GetPalette() { return nullptr; }

    TNotifyEvent OnCreate;
    TCloseQueryEvent OnCloseQuery;

protected:
    // Creates a component of the layout, owned by this form, on `parent` at the given bounds.
    template <typename Control>
    Control* Place(TWinControl* parent, const wchar_t* name, int left, int top, int width, int height)
    {
        auto* control = new Control(this);
        control->Name = name;
        control->SetParent(parent);
        control->SetBounds(left, top, width, height);
        return control;
    }

    // Ends the building of the layout: AfterLoad on every component in creation order,
    // then the creation handler.
    void FinishLoading();
    void FillWindowParams(TCreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    void VisibleChanged() override;

private:
    void CenterOnScreen();
    bool SelectNext(bool backwards);
    TControl* FindAccelerator(TWinControl* parent, wchar_t key);

    int clientWidth_ = 0;
    int clientHeight_ = 0;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    TButtonControl* defaultButton_ = nullptr;
    TButtonControl* cancelButton_ = nullptr;
    TWinControl* activeControl_ = nullptr;
};

using TExceptionEvent = std::function<void(TObject* sender, const Exception& error)>;

class TApplication : public TComponent {
public:
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
