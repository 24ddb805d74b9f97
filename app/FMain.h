// The main window: the logo with "アップデート" and "終了", and the update flow they start.
#pragma once
#include <memory>

#include "imaging/UImageEx.h"
#include "imaging/UMatrixImagePack.h"
#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"

class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* owner);

    TImageEx* Image1;
    TBitBtn* btnSetup;
    TBitBtn* btnAbort;
    TMatrixImagePack* MatrixImagePack1;

    void FormCreate(TObject* sender);
    void btnSetupClick(TObject* sender);
    void btnAbortClick(TObject* sender);

    // Creates the dialog with this window as owner, runs it modally and destroys it, also
    // when an error escapes; true exactly when it ended with OK.
    template <typename Dialog>
    bool RunModal()
    {
        std::unique_ptr<Dialog> dialog(new Dialog(this));
        return dialog->ShowModal() == mrOk;
    }

    // The 256-colour glyph of the update button is realised with its own palette.
    HPALETTE QueryPalette() override;

private:
    void RunUpdateFlow();
    // The window takes the size of the logo, whatever picture it turned out to be.
    void FitToLogo();
};
