#include "app/FMain.h"

#include "app/Resources.h"
#include "app/UGlyph.h"
#include "app/UMessage.h"
#include "resources/resource_ids.h"
#include "target/FInpPath.h"
#include "update/FDoUpdate.h"

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner)
{
    Name = L"frmMain";
    BorderStyle = TFormBorderStyle::bsDialog;
    BorderIcons = biSystemMenu;
    SetClientSize(399, 359);

    // The logo lies under the buttons: its window comes last in the tab order.
    Image1 = Place<TImageEx>(this, L"Image1", 0, 0, 400, 360);
    Image1->Brush().SetColor(clWhite);
    Image1->Brush().SetStyle(TBrushStyle::bsSolid);
    Image1->SetTabOrder(2);

    btnSetup = Place<TBitBtn>(this, L"btnSetup", 52, 278, 114, 43);
    btnSetup->SetCaption(L"アップデート");
    btnSetup->SetDefault(true);
    btnSetup->SetTabOrder(1);
    btnSetup->OnClick = [this](TObject* s) { btnSetupClick(s); };

    btnAbort = Place<TBitBtn>(this, L"btnAbort", 236, 278, 114, 43);
    btnAbort->SetCaption(L"終了");
    btnAbort->SetCancel(true);
    btnAbort->SetTabOrder(0);
    btnAbort->OnClick = [this](TObject* s) { btnAbortClick(s); };

    // The pack loads the picture once the layout is complete (its AfterLoad): an "Image.res"
    // beside the program wins over the program's own LOGO. A picture that cannot be had
    // fails the building of the window, before the creation handler could catch it.
    MatrixImagePack1 = new TMatrixImagePack(this);
    MatrixImagePack1->Name = L"MatrixImagePack1";
    MatrixImagePack1->ImageLoader().SetResFile(L"Image.res");
    MatrixImagePack1->ImageLoader().SetResType(L"RT_BITMAP");
    MatrixImagePack1->ImageLoader().SetResName(L"LOGO");

    Image1->SetImagePack(MatrixImagePack1);
    Image1->SetImageIndex(0);
    Image1->SetAutoSize(true);

    SetActiveControl(btnSetup);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    FinishLoading();
}

void TfrmMain::FormCreate(TObject*)
{
    try {
        ReadUpdateVersion();
        SetApplicationTitle(FormatTitle());
        SetCaption(ApplicationTitle());
        SetColor(clNone);  // the logo covers the whole client area
        SetButtonGlyph(*btnSetup);
        FitToLogo();
    } catch (...) {
        Application().HandleCurrentException();
        Application().Terminate();
    }
}

void TfrmMain::FitToLogo()
{
    // Switching AutoSize on again makes the control take its image's size now; an empty
    // picture leaves it at 1 x 1.
    Image1->SetBounds(0, 0, 1, 1);
    Image1->SetAutoSize(false);
    Image1->SetAutoSize(true);
    SetClientSize(Image1->Width(), Image1->Height());
}

HPALETTE TfrmMain::QueryPalette()
{
    return btnSetup->Glyph().Palette();
}

void TfrmMain::btnSetupClick(TObject*)
{
    btnSetup->Hide();
    btnAbort->Hide();
    try {
        RunUpdateFlow();
    } catch (...) {
        btnSetup->Show();
        btnAbort->Show();
        throw;
    }
    btnSetup->Show();
    btnAbort->Show();
}

void TfrmMain::RunUpdateFlow()
{
    if (!RunModal<TfrmInputPath>())
        return;
    if (RunModal<TfrmDoUpdate>()) {
        Repaint();
        ShowMessage(LoadText(sUpdateSucceeded));
        ::BringWindowToTop(Handle());
        ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
    } else {
        ShowMessage(LoadText(sUpdateFailed));
    }
}

void TfrmMain::btnAbortClick(TObject*)
{
    Close();
}
