// Start-up of the updater.
#include <windows.h>

#include <memory>
#include <string>

#include "app/FMain.h"
#include "app/Modules.h"
#include "toolkit/windows/Forms.h"

namespace {
// An updater is started from a Downloads folder, where anyone may have left a DLL named like
// a system one. Only System32 is searched for DLLs loaded from here on.
void HardenDllSearch()
{
    // Looked up rather than imported: a Windows 7 without the update that brought it must
    // still start the updater (with the current folder at least taken out of the search).
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))))
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
}

// Until the update version is known, the title is the program's own name.
std::wstring ModuleBaseName()
{
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, n);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    HardenDllSearch();
    Application().SetTitle(ModuleBaseName());
    try {
        // The units' start-up steps run before the first window, their end steps after the last.
        TRunningModules modules(ProgramModules());
        auto form = std::make_unique<TfrmMain>(nullptr);
        Application().SetMainForm(form.get());
        if (!Application().Terminated())
            form->Show();
        Application().Run();
        Application().SetMainForm(nullptr);
    } catch (...) {
        // What escapes here was not handled by the main window (an error while its layout
        // was built, say): the runtime's report, and the process ends with exit code 1.
        Application().SetMainForm(nullptr);
        TApplication::ShowFatalError();
        return 1;
    }
    return 0;
}
