// Stands in for the parts of the system the default install folder is read from, inside
// this test process only: HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE are mapped onto empty
// scratch keys under HKEY_CURRENT_USER (RegOverridePredefKey), and the ProgramFiles and
// ProgramFiles(x86) variables of this process can be set or removed. The code under test keeps calling the real registry
// and environment functions. Everything is put back when the object goes.
// Header-only, so the unit and the GUI tests can both use it.
#pragma once
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/core/HandleOwners.h"

class SystemStandIn {
public:
    SystemStandIn()
    {
        scratchPath_ = L"Software\\SoranoteUpdaterTests\\" + std::to_wstring(::GetCurrentProcessId());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());  // left over by a crash
        classesRoot_ = CreateKey(HKEY_CURRENT_USER, scratchPath_ + L"\\ClassesRoot");
        localMachine_ = CreateKey(HKEY_CURRENT_USER, scratchPath_ + L"\\LocalMachine");
        savedVariable_ = Variable();
        savedX86Variable_ = Variable(kX86);
        if (::RegOverridePredefKey(HKEY_CLASSES_ROOT, classesRoot_.get()) != ERROR_SUCCESS ||
            ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, localMachine_.get()) != ERROR_SUCCESS) {
            Restore();
            throw std::runtime_error("cannot map the predefined registry keys");
        }
    }

    ~SystemStandIn() { Restore(); }
    SystemStandIn(const SystemStandIn&) = delete;
    SystemStandIn& operator=(const SystemStandIn&) = delete;

    // HKCR\<subkey>, with a default value or without one.
    void SetClassesKey(const std::wstring& subkey, const std::optional<std::wstring>& defaultValue)
    {
        unique_hkey key = CreateKey(classesRoot_.get(), subkey);
        if (defaultValue)
            SetString(key.get(), nullptr, *defaultValue);
    }

    // HKLM\<subkey>, with the string value `name` or without it.
    void SetMachineKey(const std::wstring& subkey, const wchar_t* name, const std::optional<std::wstring>& value)
    {
        unique_hkey key = CreateKey(localMachine_.get(), subkey);
        if (value)
            SetString(key.get(), name, *value);
    }

    // The 32-bit programs' folder variable, for SetVariable and Variable.
    static constexpr const wchar_t* kX86 = L"ProgramFiles(x86)";

    // The ProgramFiles variable (or another) of this process; nullopt removes it.
    static void SetVariable(const std::optional<std::wstring>& value, const wchar_t* name = L"ProgramFiles")
    {
        ::SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
    }

    static std::optional<std::wstring> Variable(const wchar_t* name = L"ProgramFiles")
    {
        const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
        if (size == 0)
            return std::nullopt;
        std::vector<wchar_t> buffer(size, L'\0');
        const DWORD n = ::GetEnvironmentVariableW(name, buffer.data(), size);
        return std::wstring(buffer.data(), n);
    }

private:
    static unique_hkey CreateKey(HKEY parent, const std::wstring& subkey)
    {
        unique_hkey key;
        if (::RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot create a scratch registry key");
        return key;
    }

    static void SetString(HKEY key, const wchar_t* name, const std::wstring& value)
    {
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        if (::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot write a scratch registry value");
    }

    void Restore()
    {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        classesRoot_.reset();
        localMachine_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\SoranoteUpdaterTests");  // only when empty
        SetVariable(savedVariable_);
        SetVariable(savedX86Variable_, kX86);
    }

    std::wstring scratchPath_;
    unique_hkey classesRoot_;
    unique_hkey localMachine_;
    std::optional<std::wstring> savedVariable_;
    std::optional<std::wstring> savedX86Variable_;
};
