// The system clipboard as graphics travel through it.
#pragma once
#include <windows.h>

#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"

class TGraphic;

TK_DECLARE_ERROR(EClipboardError, Exception);

// Opened for each operation (or for a run of them, between Open and Close, which nest). While
// open it owns a hidden window, so what it puts there has an owner; closed it holds nothing.
class TClipboard {
public:
    TClipboard() = default;
    ~TClipboard();
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    // Another program may hold the clipboard for a moment; Open waits a little for it, then
    // fails with EClipboardError ("ｸﾘｯﾌﾟﾎﾞｰﾄﾞを開けません").
    void Open();
    void Close();
    // Empties the clipboard; we own it afterwards.
    void Clear();
    bool HasFormat(UINT format);

    // Replaces the clipboard's content with the graphic's clipboard form (SaveClipboard): its
    // block, and its palette when it gives one, both the clipboard's from then on. A graphic
    // that gives no block leaves the clipboard empty.
    void SetGraphic(TGraphic& graphic);
    // Loads `graphic` from the clipboard's data of `format` (LoadClipboard), with the
    // clipboard's palette when there is one. The data stays the clipboard's.
    void LoadGraphic(TGraphic& graphic, UINT format);

private:
    using unique_hwnd = unique_any<HWND, handle_close::NullIsEmpty<HWND, &::DestroyWindow>>;

    int openCount_ = 0;
    unique_hwnd owner_;
};

// The process's clipboard.
TClipboard& Clipboard();
