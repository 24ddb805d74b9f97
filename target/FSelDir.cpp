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

    OKBtn = new TBitBtn(this);
    OKBtn->Name = L"OKBtn";
    OKBtn->SetParent(this);
    OKBtn->SetBounds(343, 16, 105, 43);
    OKBtn->SetCaption(L"はい");
    OKBtn->SetDefault(true);
    OKBtn->ModalResult = mrOk;
    OKBtn->SetTabOrder(0);

    CancelBtn = new TBitBtn(this);
    CancelBtn->Name = L"CancelBtn";
    CancelBtn->SetParent(this);
    CancelBtn->SetBounds(343, 71, 105, 43);
    CancelBtn->SetCaption(L"いいえ");
    CancelBtn->SetCancel(true);
    CancelBtn->ModalResult = mrCancel;
    CancelBtn->SetTabOrder(1);

    btnNetWork = new TButton(this);
    btnNetWork->Name = L"btnNetWork";
    btnNetWork->SetParent(this);
    btnNetWork->SetBounds(343, 169, 105, 43);
    btnNetWork->SetCaption(L"ﾈｯﾄﾜｰｸ");
    btnNetWork->SetVisible(false);
    btnNetWork->SetTabOrder(2);

    Panel1 = new TPanel(this);
    Panel1->Name = L"Panel1";
    Panel1->SetParent(this);
    Panel1->SetBounds(12, 12, 305, 277);
    Panel1->SetTabOrder(3);

    Label1 = new TLabel(this);
    Label1->Name = L"Label1";
    Label1->SetParent(Panel1);
    Label1->SetAutoSize(false);
    Label1->SetBounds(16, 12, 60, 12);
    Label1->SetCaption(L"フォルダ(&F):");

    lblDirName = new TLabel(this);
    lblDirName->Name = L"lblDirName";
    lblDirName->SetParent(Panel1);
    lblDirName->SetAutoSize(false);
    lblDirName->ShowAccelChar = false;  // folder names may hold "&"
    lblDirName->SetBounds(80, 12, 213, 16);

    DirectoryListBox = new TDirectoryListBox(this);
    DirectoryListBox->Name = L"DirectoryListBox";
    DirectoryListBox->SetParent(Panel1);
    DirectoryListBox->SetBounds(16, 32, 273, 205);
    DirectoryListBox->SetItemHeight(16);
    DirectoryListBox->SetDirLabel(lblDirName);
    DirectoryListBox->SetTabOrder(0);

    Label2 = new TLabel(this);
    Label2->Name = L"Label2";
    Label2->SetParent(Panel1);
    Label2->SetAutoSize(false);
    Label2->SetBounds(20, 250, 55, 12);
    Label2->SetCaption(L"ドライブ(&V)");

    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->Name = L"DriveComboBox1";
    DriveComboBox1->SetParent(Panel1);
    DriveComboBox1->SetBounds(83, 246, 206, 18);
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
