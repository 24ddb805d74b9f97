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

    // The picture is part of the layout: a missing one fails the loading of the window.
    logo_ = std::make_unique<TBitmap>();
    logo_->LoadFromResourceName(::GetModuleHandleW(nullptr), L"LOGO");

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
    } catch (...) {
        Application().HandleCurrentException();
        Application().Terminate();
    }
}

void TfrmMain::PaintWindow(HDC dc)
{
    if (logo_)
        logo_->Draw(dc, 0, 0);
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
