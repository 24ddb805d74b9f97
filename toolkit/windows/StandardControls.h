// The standard controls: labels, edit box, push buttons (plain and with a glyph), panel,
// bevel line and progress bar.
#pragma once
#include <windows.h>

#include <memory>

#include "toolkit/graphics/Bitmap.h"
#include "toolkit/windows/Controls.h"
#include "toolkit/windows/Forms.h"

// A caption painted by its parent. The accelerator ("&F") focuses FocusControl.
class TLabel : public TControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TLabel(TComponent* owner);
    ~TLabel() override;

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    bool Transparent = true;
    bool ShowAccelChar = true;

    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control);

    void Paint(HDC dc) override;
    bool AcceleratorPressed() override;

protected:
    void CaptionChanged() override;
    void ComponentNotice(TComponent* component, TOperation operation) override;

private:
    void AdjustSize();
    UINT TextFlags() const;

    bool autoSize_ = true;
    TWinControl* focusControl_ = nullptr;
};

// A single-line edit box; OnChange runs after every change of its text.
class TEdit : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TEdit(TComponent* owner);

    const std::wstring& Text() const { return Caption(); }
    void SetText(const std::wstring& text);

    TNotifyEvent OnChange;

protected:
    void FillWindowParams(TCreateParams& params) override;
    void CaptionChanged() override;
    LRESULT ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
    virtual void Change();

private:
    bool syncing_ = false;
};

// Common ground of push buttons: the modal result it gives its form, and the default
// (Enter) and cancel (Esc) roles.
class TButtonControl : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TButtonControl(TComponent* owner);

    TModalResult ModalResult = mrNone;
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value);

    // Pressing the button: sets the form's modal result, then runs OnClick. A disabled or
    // hidden button cannot be pressed.
    virtual void Click();
    bool AcceleratorPressed() override;

    TNotifyEvent OnClick;

protected:
    void AfterLoad() override;
    LRESULT ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;

private:
    void Register();

    bool default_ = false;
    bool cancel_ = false;
};

class TButton : public TButtonControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    using TButtonControl::TButtonControl;

protected:
    void FillWindowParams(TCreateParams& params) override;
};

// A push button that draws a glyph beside its caption.
class TBitBtn : public TButtonControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TBitBtn(TComponent* owner);

    TBitmap& Glyph() { return *glyph_; }
    const TBitmap& Glyph() const { return *glyph_; }
    int Spacing = 4;

protected:
    void FillWindowParams(TCreateParams& params) override;
    void DrawItem(const DRAWITEMSTRUCT& item) override;

private:
    bool LooksDefault(bool focused) const;

    std::unique_ptr<TBitmap> glyph_;
};

// A container with a lowered outer and a raised inner bevel.
class TPanel : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TPanel(TComponent* owner);

protected:
    void FillWindowParams(TCreateParams& params) override;
    void PaintWindow(HDC dc) override;
};

// A line along the top edge, sunk into the surface.
class TBevel : public TControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    using TControl::TControl;
    void Paint(HDC dc) override;
    bool HitTest(int, int) const override { return false; }
};

class TProgressBar : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TProgressBar(TComponent* owner);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetMin(int value);
    void SetMax(int value);
    void SetPosition(int value);
    // SetPosition, with the new position on the screen when this returns, for callers that
    // handle no messages until their work is done. A themed bar (common controls 6) slides a
    // forward move in on a timer that only runs while messages are handled; a move backwards
    // it draws at once.
    void ShowPosition(int value);

protected:
    void FillWindowParams(TCreateParams& params) override;
    void AfterCreateWnd() override;

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};
