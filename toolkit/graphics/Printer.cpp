#include "toolkit/graphics/Printer.h"

#include <vector>

#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

// The default printer's name, empty when there is none. The spooler library is loaded from
// the system folder when a printer is first wanted: imported, it would be looked for beside
// the executable first.
std::wstring DefaultPrinterName()
{
    unique_hmodule spooler(::LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!spooler) {
        // Systems without the search flags refuse it; name the system folder ourselves.
        wchar_t system[MAX_PATH + 1];
        const UINT n = ::GetSystemDirectoryW(system, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH)
            return std::wstring();
        spooler.reset(::LoadLibraryW((std::wstring(system, n) + L"\\winspool.drv").c_str()));
    }
    using GetDefault = BOOL(WINAPI*)(LPWSTR, LPDWORD);
    auto get = spooler ? reinterpret_cast<GetDefault>(reinterpret_cast<void (*)()>(
                             ::GetProcAddress(spooler.get(), "GetDefaultPrinterW")))
                       : nullptr;
    if (!get)
        return std::wstring();
    DWORD size = 0;
    get(nullptr, &size);
    std::vector<wchar_t> name(size ? size : 1);
    if (size == 0 || !get(name.data(), &size))
        return std::wstring();
    return name.data();
}

}  // namespace

void TPrinterCanvas::AcquireDC()
{
    HDC dc = printer_.Handle();
    // Text keeps its size in points on the device's resolution.
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    if (dpi > 0 && dpi != Font().PixelsPerInch()) {
        const int points = Font().Size();
        Font().SetPixelsPerInch(dpi);
        Font().SetSize(points);
    }
    AttachHandle(dc);
}

TPrinter::TPrinter() : canvas_(std::make_unique<TPrinterCanvas>(*this)) {}

TPrinter::~TPrinter()
{
    if (printing_)
        Abort();
    FreeDC();
}

void TPrinter::BindDC(HDC dc)
{
    if (printing_)
        throw EPrinter(tkconst::SPrinting);
    FreeDC();
    bound_ = dc;
}

void TPrinter::FreeDC()
{
    canvas_->AttachHandle(nullptr);
    printerDC_.reset();
}

HDC TPrinter::Handle()
{
    if (bound_)
        return bound_;
    if (!printerDC_) {
        const std::wstring name = DefaultPrinterName();
        if (name.empty())
            throw EPrinter(tkconst::SNoPrinter);
        printerDC_.reset(::CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr));
        if (!printerDC_)
            throw EPrinter(tkconst::SNoPrinter);
    }
    return printerDC_.get();
}

SIZE TPrinter::PageSize()
{
    HDC dc = Handle();
    BITMAP page{};
    if (::GetObjectType(dc) == OBJ_MEMDC &&
        ::GetObjectW(::GetCurrentObject(dc, OBJ_BITMAP), sizeof page, &page) == sizeof page)
        return {page.bmWidth, page.bmHeight};
    return {::GetDeviceCaps(dc, HORZRES), ::GetDeviceCaps(dc, VERTRES)};
}

void TPrinter::BeginDoc()
{
    if (printing_)
        throw EPrinter(tkconst::SPrinting);
    HDC dc = Handle();
    if (!bound_) {
        DOCINFOW doc{sizeof doc, Title.c_str(), nullptr, nullptr, 0};
        if (::StartDocW(dc, &doc) <= 0 || ::StartPage(dc) <= 0)
            throw EPrinter(tkconst::SNoPrinter);
    }
    printing_ = true;
    aborted_ = false;
    pageNumber_ = 1;
    canvas_->AttachHandle(nullptr);  // the next drawing takes the device context afresh
}

void TPrinter::NewPage()
{
    if (!printing_)
        throw EPrinter(tkconst::SNotPrinting);
    if (!bound_) {
        canvas_->AttachHandle(nullptr);  // a new page starts with the device's defaults
        ::EndPage(printerDC_.get());
        ::StartPage(printerDC_.get());
    }
    ++pageNumber_;
}

void TPrinter::EndDoc()
{
    if (!printing_)
        throw EPrinter(tkconst::SNotPrinting);
    canvas_->AttachHandle(nullptr);
    if (!bound_) {
        ::EndPage(printerDC_.get());
        ::EndDoc(printerDC_.get());
    }
    printing_ = false;
    pageNumber_ = 0;
}

void TPrinter::Abort()
{
    if (!printing_)
        throw EPrinter(tkconst::SNotPrinting);
    canvas_->AttachHandle(nullptr);
    if (!bound_)
        ::AbortDoc(printerDC_.get());
    printing_ = false;
    aborted_ = true;
    pageNumber_ = 0;
}

TPrinter& Printer()
{
    static TPrinter printer;
    return printer;
}
