#include "toolkit/windows/Application.h"

#include <commctrl.h>

#include <new>
#include <stdexcept>

#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/windows/Forms.h"

// Made by their owners, with the owner as argument: no factories.
constinit const TClass TApplication::Class{L"TApplication", &TComponent::Class, nullptr};

TApplication::TApplication() : TComponent(nullptr)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
}

TApplication& Application()
{
    static TApplication app;
    return app;
}

const std::wstring& ApplicationTitle() { return Application().Title(); }
void SetApplicationTitle(const std::wstring& title) { Application().SetTitle(title); }

void TApplication::Run()
{
    while (!terminated_)
        HandleMessage();
}

void TApplication::Terminate()
{
    if (!terminated_) {
        terminated_ = true;
        ::PostQuitMessage(0);
    }
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSCHAR) {
        HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
        if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root))) {
            try {
                if (form->DialogKey(msg))
                    return true;
            } catch (...) {
                HandleCurrentException();
                return true;
            }
        }
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg))
        ::WaitMessage();
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

namespace {
// Hands the error in flight, whatever its kind, to `handler` as one of ours.
template <typename Handler>
void WithCurrentError(Handler handler)
{
    try {
        throw;
    } catch (const Exception& e) {
        handler(e);
    } catch (const std::bad_alloc&) {
        handler(EOutOfMemory(tkconst::SOutOfMemory));
    } catch (const std::exception& e) {
        std::string what = e.what();
        handler(Exception(std::wstring(what.begin(), what.end())));
    } catch (...) {
        handler(Exception(L"不明なｴﾗｰ"));
    }
}

std::wstring WithClosingDot(std::wstring text)
{
    if (!text.empty() && text.back() > L'.')
        text += L'.';
    return text;
}
}  // namespace

void TApplication::HandleCurrentException()
{
    WithCurrentError([this](const Exception& e) { HandleException(e); });
}

void TApplication::ShowFatalError()
{
    WithCurrentError([](const Exception& e) {
        wchar_t path[MAX_PATH];
        const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring module(path, n);
        module = module.substr(module.find_last_of(L"\\/") + 1);
        std::wstring address(2 * sizeof(void*), L'0');
        ULONG_PTR value = reinterpret_cast<ULONG_PTR>(e.Address());
        for (auto digit = address.rbegin(); digit != address.rend() && value; ++digit, value >>= 4)
            *digit = L"0123456789ABCDEF"[value & 0xF];
        const std::wstring text = Format(tkconst::SUnhandledError, {std::wstring(e.ClassName()), module,
                                                                    address, e.Message(),
                                                                    WithClosingDot(e.Message()).substr(e.Message().size())});
        ::MessageBoxW(nullptr, text.c_str(), tkconst::SUnhandledErrorCaption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    });
}

void TApplication::HandleException(const Exception& error)
{
    if (!OnException) {
        ShowException(error);
        return;
    }
    TExceptionEvent hook = OnException;  // the hook may remove itself
    try {
        hook(this, error);
    } catch (const Exception& inner) {
        ShowException(inner);
    } catch (...) {
        ShowException(error);
    }
}

void TApplication::ShowException(const Exception& error)
{
    MessageBox(WithClosingDot(error.Message()), MB_OK | MB_ICONERROR);
}

TForm* TApplication::ActiveForm() const
{
    if (!modalForms_.empty())
        return modalForms_.back();
    return mainForm_;
}

void TApplication::PushModal(TForm* form) { modalForms_.push_back(form); }

void TApplication::PopModal(TForm* form)
{
    if (!modalForms_.empty() && modalForms_.back() == form)
        modalForms_.pop_back();
}

int TApplication::MessageBox(const std::wstring& text, UINT flags)
{
    HWND owner = nullptr;
    if (TForm* form = ActiveForm(); form && form->HandleAllocated() && ::IsWindowVisible(form->Handle()))
        owner = form->Handle();
    if (!owner)
        flags |= MB_TASKMODAL;
    return ::MessageBoxW(owner, text.c_str(), title_.c_str(), flags);
}
