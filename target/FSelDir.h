// Folder-selection dialog: the folder tree of the drives, a drive box and the chosen
// folder's name, shortened to fit. The chosen folder is always the list's current folder.
#pragma once
#include <string>

#include "toolkit/windows/DirectoryListBox.h"
#include "toolkit/windows/DriveComboBox.h"
#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"

class TfrmSelDir : public TForm {
public:
    explicit TfrmSelDir(TComponent* owner);

    TBitBtn* OKBtn;
    TBitBtn* CancelBtn;
    TButton* btnNetWork;
    TPanel* Panel1;
    TLabel* Label1;
    TLabel* lblDirName;
    TDirectoryListBox* DirectoryListBox;
    TLabel* Label2;
    TDriveComboBox* DriveComboBox1;

    void FormCreate(TObject* sender);

    // Opens the list at `path`, or at its nearest ancestor that can be entered; never
    // reports an error.
    void SetInitialDir(const std::wstring& path);
    std::wstring GetSelectedDir() const;
};
