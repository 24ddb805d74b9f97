// The folder-tree list box and the drive combo box, and the path rules they draw on.
// The list moves by changing the process's current folder; the box lists the drives and
// switches the list between them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"

class TLabel;
class TDriveComboBox;

enum TTextCase { tcLowerCase, tcUpperCase };

// ---------------------------------------------------------------------------------------
// Path rules

// `path` shortened until `measure` finds it no wider than `maxWidth`: leading folders
// give way to "...\" one at a time, then the drive goes, then the "...\"; the last name
// always stays, even when it alone is too wide.
std::wstring MinimizeName(const std::wstring& path, const std::function<int(const std::wstring&)>& measure,
                          int maxWidth);

// The root of an absolute folder: "C:\" for a drive, "\\server\share\" for a network path,
// "" for anything else.
std::wstring FolderRoot(const std::wstring& folder);

// The drive letter of a path, upper case, or 0 when it has none.
wchar_t DriveOfPath(const std::wstring& path);

enum class TFolderPicture { fpOpen, fpCurrent, fpClosed };

struct TFolderEntry {
    std::wstring text;
    TFolderPicture picture;
    bool operator==(const TFolderEntry&) const = default;
};

// The entries from the root down to the folder itself: the root and the ancestors with the
// open picture, the folder with the current picture.
std::vector<TFolderEntry> FolderPathEntries(const std::wstring& folder);

// The folder an entry of FolderPathEntries(folder) stands for.
std::wstring FolderEntryPath(const std::wstring& folder, int index);

// Left indent of an entry: the path entries step by 4 pixels, the sub-folders sit one step
// beyond the folder's depth in backslashes.
int FolderEntryIndent(const std::wstring& folder, int index, bool subFolder);

// The sub-folders of a folder, sorted by name ignoring case, without "." and "..", hidden
// and system folders.
std::vector<std::wstring> ReadSubFolders(const std::wstring& folder);

// Text of a drive's entry in the drive box for its drive type, or "" for a drive without
// an entry. The letter and the label or remote name follow `textCase`.
std::wstring DriveEntryText(wchar_t letter, UINT driveType, const std::wstring& volumeLabel,
                            const std::wstring& remoteName, TTextCase textCase);

// ---------------------------------------------------------------------------------------
// TDirectoryListBox

// The folder tree from the root to the current folder, then its sub-folders. A double-click
// opens an entry; a click or the arrow keys only move the highlight.
class TDirectoryListBox : public TWinControl {
public:
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

// ---------------------------------------------------------------------------------------
// TDriveComboBox

// A drop-down list of the drives present when it was made. Picking one switches the linked
// folder list to it; the list switches the box when it moves to another drive.
class TDriveComboBox : public TWinControl {
public:
    explicit TDriveComboBox(TComponent* owner);

    // The current drive letter, in the case TextCase asks for; 0 for a network folder.
    wchar_t Drive() const { return drive_; }
    void SetDrive(wchar_t letter);

    TDirectoryListBox* DirList() const { return dirList_; }
    void SetDirList(TDirectoryListBox* list);

    TTextCase TextCase() const { return textCase_; }
    void SetTextCase(TTextCase textCase);

    int Count() const;
    const std::wstring& ItemText(int index) const;
    int ItemIndex() const { return itemIndex_; }

    void SetBounds(int left, int top, int width, int height) override;

    TNotifyEvent OnChange;

protected:
    void FillWindowParams(TCreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
    void ComponentNotice(TComponent* component, TOperation operation) override;
    virtual void Change();

private:
    struct Item {
        std::wstring text;
        const TBitmap* picture;
    };
    friend class TDirectoryListBox;
    void BuildItems() const;
    void FillList();
    void Select(int index);
    int ItemHeight() const;
    int DropDownHeight() const;
    void PickSelected();
    void DrawItem(const DRAWITEMSTRUCT& item) override;

    wchar_t drive_ = 0;
    TTextCase textCase_ = tcLowerCase;
    TDirectoryListBox* dirList_ = nullptr;
    mutable std::vector<Item> items_;
    mutable bool itemsBuilt_ = false;
    int itemIndex_ = -1;
    TBitmap floppy_, hard_, network_, cdrom_, ram_;
};
