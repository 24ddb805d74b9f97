#include "target/FInpPath.h"

#include <memory>
#include <string>

#include "app/Resources.h"
#include "app/UGlyph.h"
#include "app/UMessage.h"
#include "resources/resource_ids.h"
#include "target/FSelDir.h"
#include "target/Filever.h"
#include "target/Instdir.h"
#include "target/Pathutil.h"
#include "toolkit/core/Format.h"

namespace {
// The product's name as the user knows it, in the prompt and in the gate's messages.
const wchar_t kProductName[] = L"ソラノート";

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(PlatformPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

TfrmInputPath::TfrmInputPath(TComponent* owner) : TForm(owner)
{
    Name = L"frmInputPath";
    BorderStyle = TFormBorderStyle::bsDialog;
    BorderIcons = biSystemMenu;
    SetClientSize(491, 215);

    BitBtn2 = Place<TBitBtn>(this, L"BitBtn2", 112, 164, 105, 43);
    BitBtn2->SetCaption(L"開始");
    BitBtn2->SetDefault(true);
    BitBtn2->SetEnabled(false);
    BitBtn2->ModalResult = mrOk;
    BitBtn2->SetTabOrder(0);

    BitBtn3 = Place<TBitBtn>(this, L"BitBtn3", 240, 164, 105, 43);
    BitBtn3->SetCaption(L"いいえ");
    BitBtn3->SetCancel(true);
    BitBtn3->ModalResult = mrCancel;
    BitBtn3->SetTabOrder(1);

    Panel1 = Place<TPanel>(this, L"Panel1", 8, 12, 473, 129);
    Panel1->SetTabOrder(2);

    Label1 = Place<TLabel>(Panel1, L"Label1", 16, 16, 0, 0);
    Label1->Transparent = true;
    Label1->SetCaption(L"%sがインストールされているフォルダを指定してください");

    Bevel1 = Place<TBevel>(Panel1, L"Bevel1", 16, 40, 441, 13);

    Label2 = Place<TLabel>(Panel1, L"Label2", 16, 64, 0, 0);
    Label2->Transparent = true;
    Label2->SetCaption(L"フォルダ(&F)");

    Edit1 = Place<TEdit>(Panel1, L"Edit1", 16, 83, 337, 20);
    Edit1->SetTabOrder(0);
    Edit1->OnChange = [this](TObject* s) { Edit1Change(s); };
    Label2->SetFocusControl(Edit1);

    BitBtn1 = Place<TBitBtn>(Panel1, L"BitBtn1", 366, 74, 93, 39);
    BitBtn1->SetCaption(L"参照(&R)...");
    BitBtn1->SetTabOrder(1);
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnCloseQuery = [this](TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
    FinishLoading();
}

void TfrmInputPath::FormCreate(TObject*)
{
    SetCaption(ApplicationTitle());
    const std::wstring folder = DefaultInstallFolder();
    // The target is formed here in every case, also when the proposal happens to equal the
    // edit's text and setting it changes nothing.
    if (Edit1->Text() == folder)
        Edit1Change(Edit1);
    else
        Edit1->SetText(folder);
    Label1->SetCaption(Format(Label1->Caption(), {std::wstring(kProductName)}));
}

void TfrmInputPath::Edit1Change(TObject*)
{
    // Made absolute here, once: the existence check, the version gate and the writer then
    // all mean this one file, whatever the current folder or a search order does later.
    SetUpdateTarget(AbsolutePath(JoinPath(Edit1->Text(), LoadText(sExeName))));
    const bool found = FileExists(UpdateTarget());
    BitBtn2->SetEnabled(found);
    if (!found)
        BitBtn2->Glyph().Clear();
    else if (BitBtn2->Glyph().Empty())
        SetButtonGlyph(*BitBtn2);
}

void TfrmInputPath::FormCloseQuery(TObject*, bool& canClose)
{
    if (ModalResult() != mrOk) {
        canClose = true;
        return;
    }
    canClose = false;
    // The file may have gone (or come) since the last edit.
    Edit1Change(Edit1);
    if (!BitBtn2->Enabled())
        return;

    int major = 0;
    int composite = 0;
    ReadInstalledVersion(UpdateTarget(), major, composite);
    if (major != UpdateMajor()) {
        ShowMessage(Format(LoadText(sCannotUpdate), {std::wstring(kProductName)}));
        return;
    }
    if (composite < UpdateMinor()) {
        canClose = true;
        return;
    }
    ShowMessage(Format(LoadText(sNoUpdateNeeded), {std::wstring(kProductName)}));
}

void TfrmInputPath::BitBtn1Click(TObject*)
{
    std::unique_ptr<TfrmSelDir> dialog(new TfrmSelDir(this));
    dialog->SetInitialDir(Edit1->Text());
    if (dialog->ShowModal() == mrOk)
        Edit1->SetText(dialog->GetSelectedDir());
}

HPALETTE TfrmInputPath::QueryPalette()
{
    return BitBtn2->Glyph().Palette();
}
