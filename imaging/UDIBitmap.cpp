// The DIB bitmap's life: its section, canvas, palette, size, copies and clipboard exchange.
// Reading and writing are in UDIBitmapStreams.cpp, drawing in UDIBitmapRender.cpp, the
// start-up step in UDIBitmapPlatform.cpp.
#include "imaging/UDIBitmap.h"

#include <cstdlib>
#include <cstring>

#include "imaging/UGMEMStream.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Palettes.h"

constinit const TClass TDIBCanvas::Class{L"TDIBCanvas", &TMemoryCanvas::Class, nullptr};
constinit const TClass TDIBitmap::Class{L"TDIBitmap", &TGraphic::Class, &MakeInstance<TDIBitmap>};

namespace {

constexpr const wchar_t* SCannotCreateSection = L"cannot create DIBSection(GLE=%d)";

}  // namespace

HBITMAP TDIBCanvas::GetBitmapHandle()
{
    return owner_.Handle();
}

// ---- life -------------------------------------------------------------------------------

TDIBitmap::TDIBitmap() : info_(std::make_unique<TDIBInfo>()), useDIBits_(DefaultUseDIBits())
{
    BITMAPINFOHEADER& h = info_->header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
}

TDIBitmap::~TDIBitmap()
{
    DropImage();
    canvas_.reset();
    info_.reset();
}

HBITMAP TDIBitmap::Handle()
{
    if (!handle_) {
        void* bits = nullptr;
        CreateDIB(*info_, bits);
    }
    return handle_.get();
}

TDIBCanvas& TDIBitmap::canvas()
{
    if (!canvas_) {
        canvas_ = std::make_unique<TDIBCanvas>(*this);
        canvas_->SetReferenceDC(nullptr);
    }
    return *canvas_;
}

bool TDIBitmap::QueryEmpty() const
{
    return info_->header.biWidth == 0 || info_->header.biHeight == 0;
}

void TDIBitmap::DropImage()
{
    // Only a section can be selected in the canvas. Without one the canvas may be in the
    // middle of making its device context, which asked for the section that is being made.
    if (canvas_ && handle_)
        canvas_->FreeHandles();
    palette_.reset();
    handle_.reset();
}

long long TDIBitmap::CreateDIB(const TDIBInfo& info, void*& bits)
{
    const BITMAPINFOHEADER given = info.header;  // `info` may be our own description
    DropImage();
    bits = nullptr;
    handle_.reset(::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                     nullptr, 0));
    if (!handle_) {
        const long long error = ::GetLastError();
        throw EInvalidGraphic(Format(SCannotCreateSection, {error}));
    }
    DIBSECTION ds{};
    ::GetObjectW(handle_.get(), sizeof ds, &ds);
    BITMAPINFOHEADER& h = info_->header;
    h = ds.dsBmih;
    h.biSize = sizeof(BITMAPINFOHEADER);
    if (given.biSize == sizeof(BITMAPINFOHEADER)) {
        h.biClrUsed = given.biClrUsed;
        h.biClrImportant = given.biClrImportant;
    }
    // The system reports a top-down section as bottom-up; the rows are where we asked.
    const int height = std::abs(ds.dsBm.bmHeight);
    h.biHeight = given.biHeight < 0 ? -height : height;
    // What the section holds, whatever the description claimed.
    h.biSizeImage = static_cast<DWORD>(static_cast<long long>(ds.dsBm.bmWidthBytes) * height);
    if (h.biCompression == BI_BITFIELDS)
        std::memcpy(info_->colors, ds.dsBitfields, sizeof ds.dsBitfields);
    viewRect_ = {0, 0, h.biWidth, height};
    return h.biSizeImage;
}

void* TDIBitmap::SectionBits()
{
    BITMAP bm{};
    ::GetObjectW(Handle(), sizeof bm, &bm);
    return bm.bmBits;
}

// ---- palette and colour table -----------------------------------------------------------

std::unique_ptr<RGBQUAD[]> TDIBitmap::GetColorTable(int& count)
{
    const BITMAPINFOHEADER& h = info_->header;
    const DWORD named = h.biClrUsed ? h.biClrUsed
                        : h.biBitCount == 1 ? 2
                        : h.biBitCount == 4 ? 16
                        : h.biBitCount == 8 ? 256
                                            : 0;
    count = static_cast<int>(named > 256 ? 256 : named);
    if (count == 0)
        return nullptr;
    std::unique_ptr<RGBQUAD[]> table(new RGBQUAD[static_cast<size_t>(count)]());
    if (h.biBitCount <= 8) {
        ::GetDIBColorTable(canvas().Handle(), 0, static_cast<UINT>(count), table.get());
    } else {
        // Deeper images carry their table beside the section, which has none.
        std::memcpy(table.get(), info_->colors, static_cast<size_t>(count) * sizeof(RGBQUAD));
    }
    return table;
}

HPALETTE TDIBitmap::QueryPalette()
{
    if (palette_)
        return palette_.get();
    if (Empty())
        return nullptr;
    int count = 0;
    const std::unique_ptr<RGBQUAD[]> table = GetColorTable(count);
    if (!table)
        return nullptr;
    palette_.reset(PaletteFromColorTable(table.get(), count));
    return palette_.get();
}

void TDIBitmap::ApplyPalette(HPALETTE value)
{
    if (value != palette_.get())
        palette_.reset(value);
}

// ---- size -------------------------------------------------------------------------------

// A stored ViewRect is taken as it stands, so its sides may lie far apart: the sums are
// taken wide and wrapped to 32 bits.
int TDIBitmap::QueryWidth() const
{
    return static_cast<int>(static_cast<long long>(viewRect_.right) - viewRect_.left);
}

int TDIBitmap::QueryHeight() const
{
    return static_cast<int>(static_cast<long long>(viewRect_.bottom) - viewRect_.top);
}

void TDIBitmap::ApplyWidth(int value)
{
    if (value == Width())
        return;
    viewRect_.right = static_cast<int>(static_cast<long long>(viewRect_.left) + value);
    NotifyChanged(this);
}

void TDIBitmap::ApplyHeight(int value)
{
    if (value == Height())
        return;
    viewRect_.bottom = static_cast<int>(static_cast<long long>(viewRect_.top) + value);
    NotifyChanged(this);
}

// ---- copies -----------------------------------------------------------------------------

void TDIBitmap::CopyIn(TPersistent* source)
{
    if (auto* bitmap = As<TBitmap>(source)) {
        TMemoryStream file;
        bitmap->SaveStream(file);
        file.SetPosition(0);
        LoadStream(file);
        return;
    }
    TGraphic::CopyIn(source);
}

void TDIBitmap::CopyOut(TPersistent* dest)
{
    if (auto* bitmap = As<TBitmap>(dest)) {
        bitmap->SetWidth(0);
        bitmap->SetHeight(0);
        if (HPALETTE palette = QueryPalette())
            bitmap->SetPalette(CopyPalette(palette));
        bitmap->SetWidth(Width());
        bitmap->SetHeight(Height());
        Render(bitmap->Canvas(), {0, 0, Width(), Height()});
        return;
    }
    if (auto* dib = As<TDIBitmap>(dest)) {
        TMemoryStream file;
        SaveStream(file);
        file.SetPosition(0);
        dib->LoadStream(file);
        dib->viewRect_ = viewRect_;
        return;
    }
    TGraphic::CopyOut(dest);
}

// ---- clipboard --------------------------------------------------------------------------

void TDIBitmap::SaveClipboard(UINT& format, HANDLE& data, HPALETTE&)
{
    format = CF_DIB;
    data = nullptr;
    if (Empty())
        return;
    TGMEMStream block;
    WriteDIB(block);
    data = block.GiveUpHandle();
}

void TDIBitmap::LoadClipboard(UINT format, HANDLE data, HPALETTE)
{
    if (format != CF_DIB || !data)
        throw EInvalidGraphic(tkconst::SUnsupportedClipboard);
    TGMEMStream block = TGMEMStream::CreateOnHandle(static_cast<HGLOBAL>(data));
    ReadDIB(block);
}
