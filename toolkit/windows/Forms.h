// Forms with modal runs.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/core/Errors.h"
#include "toolkit/windows/Application.h"
#include "toolkit/windows/Controls.h"

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
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TForm(TComponent* owner);
    ~TForm() override;

    void SetClientSize(int width, int height);
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    RECT ClientRect() const override { return {0, 0, clientWidth_, clientHeight_}; }

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

    // Keyboard navigation and shortcuts, tried before a key message is dispatched. Keyboard
    // use shows the cues a mouse start hides: Tab and arrow keys the focus rectangle, Alt the
    // access keys.
    bool DialogKey(const MSG& msg);
    void FocusChanged(TWinControl* control);

    // A form realises its own palette (QueryPalette; none by default) when it becomes active
    // or the system palette changes, then those of its windowed controls, in the background.
    // False when there was none to realise.
    bool RealizePalettes(bool foreground);

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
    void CreateWnd() override;
    void AfterCreateWnd() override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    void VisibleChanged() override;

private:
    void CenterOnScreen();
    bool SelectNext(bool backwards);
    void ShowKeyboardCues(WORD flags);
    TControl* FindAccelerator(TWinControl* parent, wchar_t key);

    int clientWidth_ = 0;
    int clientHeight_ = 0;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    TButtonControl* defaultButton_ = nullptr;
    TButtonControl* cancelButton_ = nullptr;
    TWinControl* activeControl_ = nullptr;
};
