#include "toolkit/graphics/Clipboard.h"

#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Graphic.h"

namespace {

// How long Open waits for another program to close the clipboard.
constexpr int kOpenAttempts = 50;
constexpr DWORD kOpenPauseMs = 10;

// Open and Close around one operation.
class TOpened {
public:
    explicit TOpened(TClipboard& clipboard) : clipboard_(clipboard) { clipboard_.Open(); }
    ~TOpened() { clipboard_.Close(); }
    TOpened(const TOpened&) = delete;
    TOpened& operator=(const TOpened&) = delete;

private:
    TClipboard& clipboard_;
};

}  // namespace

TClipboard::~TClipboard()
{
    if (openCount_ > 0)
        ::CloseClipboard();
}

void TClipboard::Open()
{
    if (openCount_ > 0) {
        ++openCount_;
        return;
    }
    // A message-only window of a class the system always has: nothing to register.
    unique_hwnd owner(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (owner && ::OpenClipboard(owner.get())) {
            owner_ = std::move(owner);
            openCount_ = 1;
            return;
        }
        ::Sleep(kOpenPauseMs);
    }
    throw EClipboardError(tkconst::SCannotOpenClipboard);
}

void TClipboard::Close()
{
    if (openCount_ == 0 || --openCount_ > 0)
        return;
    ::CloseClipboard();
    owner_.reset();
}

void TClipboard::Clear()
{
    const TOpened opened(*this);
    ::EmptyClipboard();
}

bool TClipboard::HasFormat(UINT format)
{
    return ::IsClipboardFormatAvailable(format) != FALSE;
}

void TClipboard::SetGraphic(TGraphic& graphic)
{
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    graphic.SaveClipboard(format, data, palette);
    // Ours until the clipboard takes them.
    unique_hglobal block(static_cast<HGLOBAL>(data));
    unique_hpalette ownPalette(palette);
    const TOpened opened(*this);
    ::EmptyClipboard();
    if (block) {
        if (!::SetClipboardData(format, block.get()))
            throw EClipboardError(tkconst::SCannotSetClipboard);
        block.release();
    }
    if (ownPalette && ::SetClipboardData(CF_PALETTE, ownPalette.get()))
        ownPalette.release();
}

void TClipboard::LoadGraphic(TGraphic& graphic, UINT format)
{
    const TOpened opened(*this);
    HANDLE data = ::GetClipboardData(format);
    HANDLE palette = ::IsClipboardFormatAvailable(CF_PALETTE) ? ::GetClipboardData(CF_PALETTE) : nullptr;
    graphic.LoadClipboard(format, data, static_cast<HPALETTE>(palette));
}

TClipboard& Clipboard()
{
    static TClipboard clipboard;
    return clipboard;
}
