#include "target/FSelDir.h"

#include "app/UGlyph.h"
#include "target/Pathutil.h"

TfrmSelDir::TfrmSelDir(TComponent* owner) : TForm(owner)
{
    Name = L"frmSelDir";
    BorderStyle = TFormBorderStyle::bsDialog;
    BorderIcons = biSystemMenu;
    StayOnTop = true;
    SetCaption(L"フォルダの選択");
    SetClientSize(464, 298);

    OKBtn = Place<TBitBtn>(this, L"OKBtn", 343, 16, 105, 43);
    OKBtn->SetCaption(L"はい");
    OKBtn->SetDefault(true);
    OKBtn->ModalResult = mrOk;
    OKBtn->SetTabOrder(0);

    CancelBtn = Place<TBitBtn>(this, L"CancelBtn", 343, 71, 105, 43);
    CancelBtn->SetCaption(L"いいえ");
    CancelBtn->SetCancel(true);
    CancelBtn->ModalResult = mrCancel;
    CancelBtn->SetTabOrder(1);

    btnNetWork = Place<TButton>(this, L"btnNetWork", 343, 169, 105, 43);
    btnNetWork->SetCaption(L"ﾈｯﾄﾜｰｸ");
    btnNetWork->SetVisible(false);
    btnNetWork->SetTabOrder(2);

    Panel1 = Place<TPanel>(this, L"Panel1", 12, 12, 305, 277);
    Panel1->SetTabOrder(3);

    // The two captions take their text's size, 60 x 12 and 55 x 12 in the Japanese Windows
    // face, and all of their text in a face that stands in for it.
    Label1 = Place<TLabel>(Panel1, L"Label1", 16, 12, 60, 12);
    Label1->SetCaption(L"フォルダ(&F):");

    lblDirName = Place<TLabel>(Panel1, L"lblDirName", 80, 12, 213, 16);
    lblDirName->SetAutoSize(false);
    lblDirName->ShowAccelChar = false;  // folder names may hold "&"

    DirectoryListBox = Place<TDirectoryListBox>(Panel1, L"DirectoryListBox", 16, 32, 273, 205);
    DirectoryListBox->SetItemHeight(16);
    DirectoryListBox->SetDirLabel(lblDirName);
    DirectoryListBox->SetTabOrder(0);

    Label2 = Place<TLabel>(Panel1, L"Label2", 20, 250, 55, 12);
    Label2->SetCaption(L"ドライブ(&V)");

    DriveComboBox1 = Place<TDriveComboBox>(Panel1, L"DriveComboBox1", 83, 246, 206, 18);
    DriveComboBox1->SetDirList(DirectoryListBox);
    DriveComboBox1->SetTextCase(tcUpperCase);
    DriveComboBox1->SetTabOrder(1);

    Label1->SetFocusControl(DirectoryListBox);
    Label2->SetFocusControl(DriveComboBox1);

    OnCreate = [this](TObject* s) { FormCreate(s); };
    FinishLoading();
}

void TfrmSelDir::FormCreate(TObject*)
{
    SetButtonGlyph(*OKBtn);
}

void TfrmSelDir::SetInitialDir(const std::wstring& path)
{
    try {
        if (path.size() == 2 && path[1] == L':')
            DirectoryListBox->SetDirectory(path + L'\\');  // a bare drive opens at its root
        else
            DirectoryListBox->SetDirectory(path);
        return;
    } catch (...) {
        // Not shown to anyone: the dialog opens at the nearest folder that can be entered.
    }
    const std::wstring parent = ParentPart(path);
    if (parent.size() < path.size())
        SetInitialDir(RemoveBackslash(parent));
}

std::wstring TfrmSelDir::GetSelectedDir() const
{
    return DirectoryListBox->Directory();
}
