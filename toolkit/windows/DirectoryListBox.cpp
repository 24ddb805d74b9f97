#include "toolkit/windows/DirectoryListBox.h"

#include <algorithm>

#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/windows/DriveComboBox.h"
#include "toolkit/windows/EntryDrawing.h"
#include "toolkit/windows/StandardControls.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TDirectoryListBox::Class{L"TDirectoryListBox", &TWinControl::Class, nullptr};

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TWinControl(owner)
{
    SetTabStop(true);
    SetColor(::GetSysColor(COLOR_WINDOW));
    LoadPicture(openPicture_, L"OPENFOLDER");
    LoadPicture(closedPicture_, L"CLOSEDFOLDER");
    LoadPicture(currentPicture_, L"CURRENTFOLDER");
    itemHeight_ = std::max(CharacterHeight(), openPicture_.Height() + 1);
    directory_ = CurrentDirectory();
    Rebuild();
}

void TDirectoryListBox::FillWindowParams(TCreateParams& params)
{
    TWinControl::FillWindowParams(params);
    params.className = L"LISTBOX";
    params.ownClass = false;
    params.style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
    params.exStyle |= WS_EX_CLIENTEDGE;
}

void TDirectoryListBox::AfterCreateWnd()
{
    ::SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
    FillList();
}

void TDirectoryListBox::SetItemHeight(int height)
{
    if (height == itemHeight_)
        return;
    itemHeight_ = height;
    if (HandleAllocated()) {
        ::SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
        RequestRepaint();
    }
}

void TDirectoryListBox::SetDirLabel(TLabel* label)
{
    if (dirLabel_ == label)
        return;
    if (dirLabel_)
        dirLabel_->RemoveFreeNotification(this);
    dirLabel_ = label;
    if (label)
        label->FreeNotification(this);
    UpdateLabel();
}

void TDirectoryListBox::LinkDriveCombo(TDriveComboBox* box)
{
    if (driveCombo_ == box)
        return;
    if (driveCombo_) {
        driveCombo_->dirList_ = nullptr;
        driveCombo_->RemoveFreeNotification(this);
    }
    driveCombo_ = box;
    if (box)
        box->FreeNotification(this);
    UpdateLabel();
}

void TDirectoryListBox::ComponentNotice(TComponent* component, TOperation operation)
{
    TWinControl::ComponentNotice(component, operation);
    if (operation != TOperation::opRemove)
        return;
    if (component == dirLabel_)
        dirLabel_ = nullptr;
    if (component == driveCombo_)
        driveCombo_ = nullptr;
}

bool TDirectoryListBox::SameFolder(const std::wstring& a, const std::wstring& b) const
{
    return caseSensitive_ ? a == b : ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

void TDirectoryListBox::SetDirectory(const std::wstring& path)
{
    if (path.empty() || SameFolder(path, directory_))
        return;
    std::wstring folder = FullPath(path);
    // A file name or a wildcard at the end stands for the folder it is in.
    const size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash + 1 < folder.size()) {
        const std::wstring last = folder.substr(slash + 1);
        const bool wildcard = last.find_first_of(L"*?") != std::wstring::npos;
        const DWORD attributes = wildcard ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(folder.c_str());
        if (wildcard || (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
            folder.erase(slash + 1);
    }
    EnterFolder(folder);
}

void TDirectoryListBox::SetDrive(wchar_t letter)
{
    if (!letter || UpperChar(letter) == Drive())
        return;
    // "X:" is the drive's current folder in this process, as the system keeps it.
    EnterFolder(std::wstring(1, letter) + L':');
}

void TDirectoryListBox::EnterFolder(const std::wstring& folder)
{
    // Nothing of ours changes until the system has moved; a failure leaves all as it was.
    if (!::SetCurrentDirectoryW(folder.c_str()))
        RaiseInOutError(::GetLastError());
    directory_ = CurrentDirectory();
    Rebuild();
    if (driveCombo_)
        driveCombo_->SetDrive(Drive());
    Change();
}

void TDirectoryListBox::Rebuild()
{
    DWORD flags = 0;
    {
        CriticalErrorsOff quiet;
        const std::wstring root = FolderRoot(directory_);
        if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
            flags = 0;
    }
    std::vector<TFolderEntry> entries = FolderPathEntries(directory_);
    const int current = static_cast<int>(entries.size()) - 1;
    for (std::wstring& name : ReadSubFolders(directory_))
        entries.push_back({std::move(name), TFolderPicture::fpClosed});

    caseSensitive_ = (flags & FILE_CASE_SENSITIVE_SEARCH) != 0;
    preservesCase_ = (flags & (FILE_CASE_PRESERVED_NAMES | FILE_CASE_SENSITIVE_SEARCH)) != 0;
    entries_ = std::move(entries);
    currentIndex_ = current;
    itemIndex_ = current;
    FillList();
    UpdateLabel();
}

void TDirectoryListBox::FillList()
{
    if (!HandleAllocated())
        return;
    HWND wnd = Handle();
    ::SendMessageW(wnd, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(wnd, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < Count(); ++i)
        ::SendMessageW(wnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DisplayText(i).c_str()));
    ::SendMessageW(wnd, LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
    ::SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
    RequestRepaint();
}

void TDirectoryListBox::UpdateLabel()
{
    if (!dirLabel_)
        return;
    // A label sized to its text has no width of its own to fit: it gets the list's.
    const int width = dirLabel_->AutoSize() ? Width() : dirLabel_->Width();
    WindowDC dc(nullptr);
    SelectGuard font(dc.get(), UiFont());
    auto measure = [&](const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    dirLabel_->SetCaption(MinimizeName(directory_, measure, width));
}

void TDirectoryListBox::Change()
{
    if (OnChange)
        OnChange(this);
}

std::wstring TDirectoryListBox::DisplayText(int index) const
{
    const std::wstring& text = Entry(index).text;
    return preservesCase_ ? text : WithCase(text, tcLowerCase);
}

int TDirectoryListBox::ItemIndex() const
{
    if (HandleAllocated())
        return static_cast<int>(::SendMessageW(const_cast<TDirectoryListBox*>(this)->Handle(), LB_GETCURSEL, 0, 0));
    return itemIndex_;
}

void TDirectoryListBox::SetItemIndex(int index)
{
    itemIndex_ = index;
    if (HandleAllocated())
        ::SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::wstring TDirectoryListBox::GetItemPath(int index) const
{
    if (index <= currentIndex_)
        return FolderEntryPath(directory_, index);
    const std::wstring& name = Entry(index).text;
    return directory_ + (directory_.back() == L'\\' ? L"" : L"\\") + name;
}

void TDirectoryListBox::OpenItem(int index)
{
    if (index < 0 || index >= Count())
        return;
    SetDirectory(GetItemPath(index));
}

const TBitmap& TDirectoryListBox::Picture(TFolderPicture picture) const
{
    switch (picture) {
    case TFolderPicture::fpOpen: return openPicture_;
    case TFolderPicture::fpCurrent: return currentPicture_;
    default: return closedPicture_;
    }
}

LRESULT TDirectoryListBox::ParentNotify(UINT message, WPARAM wparam, LPARAM lparam, bool& handled)
{
    handled = false;
    if (message == WM_COMMAND && HIWORD(wparam) == LBN_DBLCLK) {
        handled = true;
        OpenItem(ItemIndex());
        return 0;
    }
    return TWinControl::ParentNotify(message, wparam, lparam, handled);
}

void TDirectoryListBox::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const COLORREF background = PrepareEntry(dc, item, Color());
    const int index = static_cast<int>(item.itemID);
    if (index >= 0 && index < Count()) {
        const int indent = FolderEntryIndent(directory_, index, index > currentIndex_);
        const TBitmap& picture = Picture(Entry(index).picture);
        const int pictureWidth = picture.Empty() ? 16 : picture.Width();
        picture.DrawOn(dc, r.left + indent, r.top + (r.bottom - r.top - picture.Height()) / 2, background);
        const std::wstring text = DisplayText(index);
        SelectGuard font(dc, UiFont());
        ::ExtTextOutW(dc, r.left + pictureWidth + indent + 4, r.top, ETO_CLIPPED, &r, text.c_str(),
                      static_cast<UINT>(text.size()), nullptr);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        ::DrawFocusRect(dc, &r);
}

