#include "toolkit/FileCtrl.h"

#include <algorithm>

#include "toolkit/Consts.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Format.h"
#include "toolkit/Handles.h"
#include "toolkit/StdCtrls.h"

namespace {

[[noreturn]] void RaiseInOutError(DWORD code)
{
    throw EInOutError(Format(tkconst::SInOutError, {static_cast<long long>(code)}));
}

std::wstring CurrentDirectory()
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n >= buffer.size()) {
        buffer.resize(n);
        n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0)
        RaiseInOutError(::GetLastError());
    buffer.resize(n);
    return buffer;
}

std::wstring FullPath(const std::wstring& path)
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n >= buffer.size()) {
        buffer.resize(n);
        n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    }
    if (n == 0 || n >= buffer.size())
        RaiseInOutError(::GetLastError());
    buffer.resize(n);
    return buffer;
}

std::wstring WithCase(std::wstring text, TTextCase textCase)
{
    if (text.empty())
        return text;
    if (textCase == tcUpperCase)
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    else
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

wchar_t WithCase(wchar_t c, TTextCase textCase)
{
    return c ? WithCase(std::wstring(1, c), textCase)[0] : c;
}

// Keeps the system's "insert a disk" and similar dialogs away while a volume is asked about.
class CriticalErrorsOff {
public:
    CriticalErrorsOff() : old_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsOff() { ::SetErrorMode(old_); }
    CriticalErrorsOff(const CriticalErrorsOff&) = delete;
    CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;

private:
    UINT old_;
};

std::wstring VolumeLabel(const std::wstring& root)
{
    CriticalErrorsOff quiet;
    wchar_t label[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return std::wstring();
    return label;
}

// The remote name behind a network drive ("X:"). The network library is loaded from the
// system folder only, never from beside the executable.
std::wstring RemoteName(const std::wstring& localName)
{
    unique_hmodule mpr(::LoadLibraryExW(L"mpr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!mpr) {
        // Systems without the search flags refuse it; name the system folder ourselves.
        wchar_t system[MAX_PATH + 1];
        UINT n = ::GetSystemDirectoryW(system, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH)
            return std::wstring();
        mpr.reset(::LoadLibraryW((std::wstring(system, n) + L"\\mpr.dll").c_str()));
        if (!mpr)
            return std::wstring();
    }
    using GetConnection = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);
    auto get = reinterpret_cast<GetConnection>(
        reinterpret_cast<void (*)()>(::GetProcAddress(mpr.get(), "WNetGetConnectionW")));
    if (!get)
        return std::wstring();
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD result = get(localName.c_str(), buffer.data(), &size);
    if (result == ERROR_MORE_DATA) {
        buffer.assign(size, L'\0');
        result = get(localName.c_str(), buffer.data(), &size);
    }
    if (result != NO_ERROR)
        return std::wstring();
    buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
    return buffer;
}

void LoadPicture(TBitmap& picture, const wchar_t* name)
{
    // A program without the picture shows the entry without it.
    try {
        picture.LoadFromResourceName(::GetModuleHandleW(nullptr), name);
    } catch (const EResNotFound&) {
    }
}

// Height of the characters of the layouts' font, without the room above them for accents.
int CharacterHeight()
{
    WindowDC dc(nullptr);
    SelectGuard font(dc.get(), UiFont());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

void FillBackground(HDC dc, const RECT& r, COLORREF color)
{
    unique_hbrush brush(::CreateSolidBrush(color));
    ::FillRect(dc, &r, brush.get());
}

// Paints an owner-drawn entry's background (the highlight colour while selected) and readies
// the text colours; returns the background, which pictures show for their transparent colour.
COLORREF PrepareEntry(HDC dc, const DRAWITEMSTRUCT& item, COLORREF listColor)
{
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF background = selected ? ::GetSysColor(COLOR_HIGHLIGHT) : listColor;
    FillBackground(dc, item.rcItem, background);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    return background;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Path rules

std::wstring MinimizeName(const std::wstring& path, const std::function<int(const std::wstring&)>& measure,
                          int maxWidth)
{
    std::wstring result = path;
    const size_t split = path.find_last_of(L"\\:");
    std::wstring folder = split == std::wstring::npos ? std::wstring() : path.substr(0, split + 1);
    const std::wstring name = path.substr(folder.size());
    std::wstring drive;
    if (folder.size() >= 2 && folder[1] == L':') {
        drive = folder.substr(0, 2);
        folder.erase(0, 2);
    }
    while ((!folder.empty() || !drive.empty()) && measure(result) > maxWidth) {
        if (folder == L"\\...\\") {
            drive.clear();
            folder = L"...\\";
        } else if (folder.empty()) {
            drive.clear();
        } else if (folder == L"\\") {
            folder.clear();
        } else {
            // Cut the first folder; an earlier cut's "...\" goes with it and comes back.
            const bool rooted = folder[0] == L'\\';
            if (rooted)
                folder.erase(0, 1);
            if (!folder.empty() && folder[0] == L'.')
                folder.erase(0, std::min<size_t>(4, folder.size()));
            const size_t slash = folder.find(L'\\');
            folder = slash == std::wstring::npos ? std::wstring() : L"...\\" + folder.substr(slash + 1);
            if (rooted)
                folder.insert(0, 1, L'\\');
        }
        result = drive + folder + name;
    }
    return result;
}

std::wstring FolderRoot(const std::wstring& folder)
{
    if (folder.size() >= 2 && folder[1] == L':')
        return folder.substr(0, 2) + L'\\';
    if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\') {
        const size_t shareSlash = folder.find(L'\\', 2);
        if (shareSlash == std::wstring::npos)
            return folder + L'\\';
        const size_t rootEnd = folder.find(L'\\', shareSlash + 1);
        if (rootEnd == std::wstring::npos)
            return folder + L'\\';
        return folder.substr(0, rootEnd + 1);
    }
    return std::wstring();
}

wchar_t DriveOfPath(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':')
        return UpperChar(path[0]);
    return 0;
}

std::vector<TFolderEntry> FolderPathEntries(const std::wstring& folder)
{
    const std::wstring root = FolderRoot(folder);
    const std::wstring rest = root.size() < folder.size() ? folder.substr(root.size()) : std::wstring();
    std::vector<std::wstring> parts;
    for (size_t start = 0; start < rest.size();) {
        size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos)
            end = rest.size();
        if (end > start)
            parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    std::vector<TFolderEntry> entries;
    entries.push_back({root.empty() ? folder : root, parts.empty() ? TFolderPicture::fpCurrent : TFolderPicture::fpOpen});
    for (size_t i = 0; i < parts.size(); ++i)
        entries.push_back({parts[i], i + 1 == parts.size() ? TFolderPicture::fpCurrent : TFolderPicture::fpOpen});
    return entries;
}

std::wstring FolderEntryPath(const std::wstring& folder, int index)
{
    const std::wstring root = FolderRoot(folder);
    const int current = static_cast<int>(FolderPathEntries(folder).size()) - 1;
    if (index >= current || root.empty())
        return folder;
    if (index <= 0)
        return root;
    // The drive (or network root) and the path after it, cut before its (index + 1)-th
    // backslash.
    const size_t prefix = root.size() - 1;
    size_t cut = prefix;
    for (int seen = 0; cut < folder.size(); ++cut) {
        if (folder[cut] == L'\\' && ++seen == index + 1)
            break;
    }
    return folder.substr(0, cut);
}

int FolderEntryIndent(const std::wstring& folder, int index, bool subFolder)
{
    if (!subFolder)
        return index * 4 + 2;
    const auto backslashes = std::count(folder.begin(), folder.end(), L'\\');
    return static_cast<int>(backslashes + 1) * 4 + 2;
}

std::vector<std::wstring> ReadSubFolders(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    const std::wstring pattern = folder + (!folder.empty() && folder.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW data;
    unique_find find(::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &data,
                                        FindExSearchLimitToDirectories, nullptr, 0));
    if (!find)
        return names;
    do {
        const DWORD attributes = data.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            continue;
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        names.push_back(name);
    } while (::FindNextFileW(find.get(), &data));
    std::stable_sort(names.begin(), names.end(),
                     [](const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    return names;
}

std::wstring DriveEntryText(wchar_t letter, UINT driveType, const std::wstring& volumeLabel,
                            const std::wstring& remoteName, TTextCase textCase)
{
    const std::wstring drive(1, letter);
    std::wstring text;
    switch (driveType) {
    case DRIVE_REMOVABLE:
        text = drive + L':';
        break;
    case DRIVE_FIXED:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        text = Format(L"%s: %s", {drive, Format(L"[%s]", {volumeLabel})});
        break;
    case DRIVE_REMOTE:
        text = Format(L"%s: %s", {drive, remoteName.empty() ? Format(L"[%s]", {volumeLabel}) : remoteName});
        break;
    default:
        return std::wstring();
    }
    return WithCase(text, textCase);
}

// ---------------------------------------------------------------------------------------
// TDirectoryListBox

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
        Invalidate();
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
    Invalidate();
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
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &r);
}

// ---------------------------------------------------------------------------------------
// TDriveComboBox

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
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &r);
}
