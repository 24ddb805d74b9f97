// The install-folder dialog: proposes the folder of the installed product, lets the user
// type or browse for another, keeps the update target in step with it and lets "開始" close
// the dialog only when the installed product may be updated.
#pragma once
#include <windows.h>

#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"

class TfrmInputPath : public TForm {
public:
    explicit TfrmInputPath(TComponent* owner);

    TBitBtn* BitBtn2;  // "開始"
    TBitBtn* BitBtn3;  // "いいえ"
    TPanel* Panel1;
    TLabel* Label1;
    TBevel* Bevel1;
    TLabel* Label2;
    TEdit* Edit1;
    TBitBtn* BitBtn1;  // "参照(&R)..."

    void FormCreate(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void Edit1Change(TObject* sender);
    void BitBtn1Click(TObject* sender);

    // The 256-colour glyph of "開始" is realised with its own palette.
    HPALETTE QueryPalette() override;
};
