// A non-visual component that raises OnReady once, from the first pass of the event loop
// after it was made on a form: for a dialog shown modally, when the dialog is on the screen
// and its modal loop runs.
#pragma once
#include "toolkit/core/Components.h"
#include "toolkit/windows/Controls.h"

// The 1 x 1 control on the form's client pixel (0, 0) that the posted button release is
// routed to. It paints nothing; it exists only to be hit.
class TCatcher : public TControl {
public:
    using TControl::TControl;
};

// On a form, the notifier places its catcher on the form and posts a right-button release at
// (0, 0) to the form's window (creating the window now). The catcher is disabled before
// OnReady runs, so the form's mouse routing skips it from then on and OnReady never runs
// twice, also when it raises or lets the event loop run. Owned by anything but a form, or by
// nothing, the notifier never fires.
class TReadyNotifier : public TComponent {
public:
    explicit TReadyNotifier(TComponent* owner);
    ~TReadyNotifier() override;

    // Called with the notifier as sender. Errors it raises go to the application's handling
    // of errors that escape an event handler.
    TNotifyEvent OnReady;

private:
    void CatcherMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

    TCatcher* catcher_ = nullptr;  // owned by this notifier as a component
};
