#include "update/Rdynotfy.h"

#include <windows.h>

#include "toolkit/windows/Forms.h"

TReadyNotifier::TReadyNotifier(TComponent* owner) : TComponent(owner)
{
    if (IsDesigning())
        return;
    auto* catcher = new TCatcher(this);
    catcher->SetBounds(0, 0, 1, 1);
    catcher->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        CatcherMouseUp(sender, button, shift, x, y);
    };
    catcher_ = catcher;
    if (auto* form = dynamic_cast<TForm*>(owner)) {
        // Inserted last, the catcher lies on top of every non-windowed control already there.
        catcher_->SetParent(form);
        ::PostMessageW(form->Handle(), WM_RBUTTONUP, 0, 0);
    }
}

// The catcher is an owned component and goes with the inherited destruction.
TReadyNotifier::~TReadyNotifier() = default;

void TReadyNotifier::CatcherMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    // Disarm first: a handler that runs the event loop must not see a second release.
    catcher_->SetEnabled(false);
    if (OnReady)
        OnReady(this);
}
