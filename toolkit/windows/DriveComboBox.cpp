#include "toolkit/windows/DriveComboBox.h"

#include <algorithm>

#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/windows/DirectoryListBox.h"
#include "toolkit/windows/EntryDrawing.h"
#include "toolkit/windows/StandardControls.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TDriveComboBox::Class{L"TDriveComboBox", &TWinControl::Class, nullptr};

TDriveComboBox::TDriveComboBox(TComponent* owner) : TWinControl(owner)
{
    SetTabStop(true);
    SetColor(::GetSysColor(COLOR_WINDOW));
    LoadPicture(floppy_, L"FLOPPY");
    LoadPicture(hard_, L"HARD");
    LoadPicture(network_, L"NETWORK");
    LoadPicture(cdrom_, L"CDROM");
    LoadPicture(ram_, L"RAM");
    drive_ = WithCase(DriveOfPath(CurrentDirectory()), textCase_);
}

void TDriveComboBox::BuildItems() const
{
    if (itemsBuilt_)
        return;
    items_.clear();
    const DWORD present = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(present & (1u << i)))
            continue;
        const wchar_t letter = static_cast<wchar_t>(L'A' + i);
        const std::wstring root = std::wstring(1, letter) + L":\\";
        const UINT type = ::GetDriveTypeW(root.c_str());
        const TBitmap* picture = nullptr;
        std::wstring label, remote;
        switch (type) {
        case DRIVE_REMOVABLE: picture = &floppy_; break;  // its medium is not touched
        case DRIVE_FIXED: picture = &hard_; break;
        case DRIVE_CDROM: picture = &cdrom_; break;
        case DRIVE_RAMDISK: picture = &ram_; break;
        case DRIVE_REMOTE:
            picture = &network_;
            remote = RemoteName(std::wstring(1, letter) + L':');
            break;
        default: continue;
        }
        if (type != DRIVE_REMOVABLE && remote.empty())
            label = VolumeLabel(root);
        const std::wstring text = DriveEntryText(letter, type, label, remote, textCase_);
        if (!text.empty())
            items_.push_back({text, picture});
    }
    itemsBuilt_ = true;
}

int TDriveComboBox::Count() const
{
    BuildItems();
    return static_cast<int>(items_.size());
}

const std::wstring& TDriveComboBox::ItemText(int index) const
{
    BuildItems();
    return items_.at(static_cast<size_t>(index)).text;
}

int TDriveComboBox::ItemHeight() const
{
    return std::max(CharacterHeight(), floppy_.Height());
}

int TDriveComboBox::DropDownHeight() const
{
    return ItemHeight() * 8 + 2;
}

void TDriveComboBox::FillWindowParams(TCreateParams& params)
{
    TWinControl::FillWindowParams(params);
    params.className = L"COMBOBOX";
    params.ownClass = false;
    params.style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL;
    params.height = Height() + DropDownHeight();
}

void TDriveComboBox::AfterCreateWnd()
{
    const int height = ItemHeight();
    ::SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    ::SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, height);
    FillList();
}

void TDriveComboBox::SetBounds(int left, int top, int width, int height)
{
    TControl::SetBounds(left, top, width, height);
    // The window's height includes the drop-down part.
    if (HandleAllocated())
        ::MoveWindow(Handle(), Left(), Top(), Width(), Height() + DropDownHeight(), TRUE);
}

void TDriveComboBox::FillList()
{
    BuildItems();
    // The entry of the current drive, found again in the (possibly new) texts.
    int index = -1;
    for (int i = 0; drive_ && i < Count(); ++i) {
        const std::wstring& text = items_[static_cast<size_t>(i)].text;
        if (text.size() >= 2 && UpperChar(text[0]) == UpperChar(drive_) && text[1] == L':') {
            index = i;
            break;
        }
    }
    itemIndex_ = index;
    if (!HandleAllocated())
        return;
    HWND wnd = Handle();
    ::SendMessageW(wnd, CB_RESETCONTENT, 0, 0);
    for (const Item& item : items_)
        ::SendMessageW(wnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
    ::SendMessageW(wnd, CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
}

void TDriveComboBox::Select(int index)
{
    itemIndex_ = index;
    if (HandleAllocated())
        ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TDriveComboBox::SetTextCase(TTextCase textCase)
{
    if (textCase_ == textCase)
        return;
    textCase_ = textCase;
    drive_ = WithCase(drive_, textCase_);
    itemsBuilt_ = false;
    FillList();
}

void TDriveComboBox::SetDrive(wchar_t letter)
{
    BuildItems();
    if (itemIndex_ >= 0 && UpperChar(letter) == UpperChar(drive_))
        return;
    const wchar_t oldDrive = drive_;
    const int oldIndex = itemIndex_;
    drive_ = WithCase(letter, textCase_);
    int index = -1;
    for (int i = 0; letter && i < Count(); ++i) {
        const std::wstring& text = items_[static_cast<size_t>(i)].text;
        if (text.size() >= 2 && UpperChar(text[0]) == UpperChar(letter) && text[1] == L':') {
            index = i;
            break;
        }
    }
    Select(index);
    if (dirList_ && letter && UpperChar(letter) != dirList_->Drive()) {
        try {
            dirList_->SetDrive(letter);
        } catch (...) {
            // The box goes back to the drive the list is still on.
            drive_ = oldDrive;
            Select(oldIndex);
            throw;
        }
    }
    Change();
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list)
{
    if (dirList_ == list)
        return;
    if (dirList_) {
        dirList_->driveCombo_ = nullptr;
        dirList_->RemoveFreeNotification(this);
    }
    dirList_ = list;
    if (list) {
        list->FreeNotification(this);
        list->LinkDriveCombo(this);
    }
}

void TDriveComboBox::ComponentNotice(TComponent* component, TOperation operation)
{
    TWinControl::ComponentNotice(component, operation);
    if (operation == TOperation::opRemove && component == dirList_)
        dirList_ = nullptr;
}

void TDriveComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}

void TDriveComboBox::PickSelected()
{
    const auto index = static_cast<int>(::SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
    if (index < 0 || index >= Count())
        return;
    SetDrive(ItemText(index)[0]);
}

LRESULT TDriveComboBox::ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled)
{
    handled = false;
    if (message == WM_COMMAND) {
        const WORD code = HIWORD(wparam);
        // While the list is dropped the arrows only browse it; the pick counts when it closes.
        if (code == CBN_SELENDOK || (code == CBN_SELCHANGE && !::SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0))) {
            handled = true;
            PickSelected();
            return 0;
        }
    }
    return TWinControl::ParentNotify(message, wparam, lparam, handled);
}

void TDriveComboBox::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const COLORREF background = PrepareEntry(dc, item, Color());
    const int index = static_cast<int>(item.itemID);
    if (index >= 0 && index < Count()) {
        const Item& entry = items_[static_cast<size_t>(index)];
        int pictureWidth = 16;
        if (entry.picture && !entry.picture->Empty()) {
            pictureWidth = entry.picture->Width();
            entry.picture->DrawOn(dc, r.left + 2, r.top + (r.bottom - r.top - entry.picture->Height()) / 2,
                                  background);
        }
        RECT textRect{r.left + pictureWidth + 6, r.top, r.right, r.bottom};
        SelectGuard font(dc, UiFont());
        ::DrawTextW(dc, entry.text.c_str(), static_cast<int>(entry.text.size()), &textRect,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        ::DrawFocusRect(dc, &r);
}
