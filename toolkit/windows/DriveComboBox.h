// The drive combo box: lists the drives and switches the folder list between them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/graphics/Bitmap.h"
#include "toolkit/windows/Controls.h"
#include "toolkit/windows/FolderPaths.h"

class TDirectoryListBox;

// A drop-down list of the drives present when it was made. Picking one switches the linked
// folder list to it; the list switches the box when it moves to another drive.
class TDriveComboBox : public TWinControl {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

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
