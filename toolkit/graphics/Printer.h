// The printer: a canvas on the default printer's device context, or on one given to it.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/core/HandleOwners.h"
#include "toolkit/graphics/Canvas.h"

class TPrinter;

// Draws on the printer's device context; fonts are measured against its resolution.
class TPrinterCanvas : public TCanvas {
public:
    explicit TPrinterCanvas(TPrinter& printer) : printer_(printer) {}
    void AcquireDC() override;

private:
    TPrinter& printer_;
};

// A document is printed between BeginDoc and EndDoc, page by page. Without a binding the
// printer is the system's default printer (EPrinter when there is none). Bound to a device
// context - a memory bitmap's, in tests - it prints there instead: one page, no spooling.
class TPrinter : public TObject {
public:
    TPrinter();
    ~TPrinter() override;

    // Prints on `dc` from now on (not owned); null goes back to the default printer.
    void BindDC(HDC dc);

    // The device context, made for the default printer on first use.
    HDC Handle();
    TCanvas& Canvas() { return *canvas_; }

    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Abort();
    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    int PageNumber() const { return pageNumber_; }
    // In device pixels; on a memory device context, the size of the bitmap selected in it.
    int PageWidth() { return PageSize().cx; }
    int PageHeight() { return PageSize().cy; }

    // The document's name in the print queue.
    std::wstring Title;

private:
    void FreeDC();
    SIZE PageSize();

    HDC bound_ = nullptr;
    unique_hdc printerDC_;
    std::unique_ptr<TPrinterCanvas> canvas_;
    bool printing_ = false;
    bool aborted_ = false;
    int pageNumber_ = 0;
};

// The process's printer, made on first use.
TPrinter& Printer();
