// The folder-tree list box. It moves by changing the process's current folder.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/graphics/Bitmap.h"
#include "toolkit/windows/Controls.h"
#include "toolkit/windows/FolderPaths.h"

class TLabel;
class TDriveComboBox;

// The folder tree from the root to the current folder, then its sub-folders. A double-click
// opens an entry; a click or the arrow keys only move the highlight.
class TDirectoryListBox : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TDirectoryListBox(TComponent* owner);

    // The current folder: a root with its backslash (C:\), any other folder without one.
    const std::wstring& Directory() const { return directory_; }
    // Moves to a folder, and the process's current folder with it. An empty path or the
    // current folder changes nothing. A folder that cannot be entered raises EInOutError
    // with the system's error number and leaves everything as it was.
    void SetDirectory(const std::wstring& path);
    // The current folder's drive letter, 0 on a network path.
    wchar_t Drive() const { return DriveOfPath(directory_); }
    // Moves to the drive's current folder in this process (normally its root).
    void SetDrive(wchar_t letter);

    TLabel* DirLabel() const { return dirLabel_; }
    void SetDirLabel(TLabel* label);
    TDriveComboBox* DriveCombo() const { return driveCombo_; }

    bool PreservesCase() const { return preservesCase_; }
    bool CaseSensitive() const { return caseSensitive_; }

    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);

    int Count() const { return static_cast<int>(entries_.size()); }
    const TFolderEntry& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }
    // The text shown for an entry: lower case on volumes that keep no case.
    std::wstring DisplayText(int index) const;
    // Index of the current folder's entry.
    int CurrentIndex() const { return currentIndex_; }
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The folder an entry stands for.
    std::wstring GetItemPath(int index) const;
    // Opens an entry, as a double-click does.
    void OpenItem(int index);

    TNotifyEvent OnChange;

protected:
    void FillWindowParams(TCreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
    void ComponentNotice(TComponent* component, TOperation operation) override;
    virtual void Change();

private:
    friend class TDriveComboBox;
    void LinkDriveCombo(TDriveComboBox* box);
    void EnterFolder(const std::wstring& folder);
    void Rebuild();
    void FillList();
    void UpdateLabel();
    bool SameFolder(const std::wstring& a, const std::wstring& b) const;
    const TBitmap& Picture(TFolderPicture picture) const;
    void DrawItem(const DRAWITEMSTRUCT& item) override;

    std::wstring directory_;
    bool preservesCase_ = true;
    bool caseSensitive_ = false;
    std::vector<TFolderEntry> entries_;
    int currentIndex_ = 0;
    int itemIndex_ = 0;  // the highlight while there is no window
    int itemHeight_ = 16;
    TLabel* dirLabel_ = nullptr;
    TDriveComboBox* driveCombo_ = nullptr;
    TBitmap openPicture_;
    TBitmap closedPicture_;
    TBitmap currentPicture_;
};

