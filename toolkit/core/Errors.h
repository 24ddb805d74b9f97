// Error classes of the toolkit. Every error carries the text the user will read.
#pragma once
#include <windows.h>

#include <string>

class Exception {
public:
    explicit Exception(std::wstring message) : message_(std::move(message))
    {
        // Where it was raised: the code that called this constructor.
        ::RtlCaptureStackBackTrace(1, 1, &address_, nullptr);
    }
    virtual ~Exception() = default;
    const std::wstring& Message() const { return message_; }
    void* Address() const { return address_; }
    // Class name as the runtime reports it ("EReadError", ...).
    virtual const wchar_t* ClassName() const { return L"Exception"; }

private:
    std::wstring message_;
    void* address_ = nullptr;
};

#define TK_DECLARE_ERROR(Name, Base)                                      \
    class Name : public Base {                                            \
    public:                                                               \
        using Base::Base;                                                 \
        const wchar_t* ClassName() const override { return L"" #Name; }   \
    }

TK_DECLARE_ERROR(EStreamError, Exception);
TK_DECLARE_ERROR(EReadError, EStreamError);
TK_DECLARE_ERROR(EWriteError, EStreamError);
TK_DECLARE_ERROR(EFCreateError, EStreamError);
TK_DECLARE_ERROR(EFOpenError, EStreamError);
TK_DECLARE_ERROR(EResNotFound, Exception);
TK_DECLARE_ERROR(EOutOfMemory, Exception);
// A value outside the range of the type that has to hold it (tkconst::SRangeError).
TK_DECLARE_ERROR(ERangeError, Exception);
TK_DECLARE_ERROR(EInvalidOperation, Exception);
TK_DECLARE_ERROR(EInOutError, Exception);
TK_DECLARE_ERROR(EOSError, Exception);
TK_DECLARE_ERROR(EAssignError, Exception);
TK_DECLARE_ERROR(EInvalidGraphic, Exception);
TK_DECLARE_ERROR(EInvalidGraphicOperation, Exception);
TK_DECLARE_ERROR(EPrinter, Exception);
