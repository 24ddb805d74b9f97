// One move-only owner for every kind of Win32 handle, and one alias per kind.
#pragma once
#include <windows.h>

#include <utility>

// Owns one handle of type T and releases it with Close::Release. Not copyable, so a handle
// can never be released twice; moving hands the ownership on.
template <typename T, typename Close>
class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : value_(value) {}
    ~unique_any() { reset(); }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return Close::Valid(value_); }
    T release() { return std::exchange(value_, Close::Empty()); }
    void reset(T value = Close::Empty())
    {
        T old = std::exchange(value_, value);
        if (Close::Valid(old))
            Close::Release(old);
    }
    // For out-parameters: releases what is held, then lends the slot.
    T* put()
    {
        reset();
        return &value_;
    }

private:
    T value_ = Close::Empty();
};

namespace handle_close {
template <typename T, auto Fn>
struct NullIsEmpty {
    static T Empty() { return nullptr; }
    static bool Valid(T h) { return h != nullptr; }
    static void Release(T h) { Fn(h); }
};
struct KernelHandle {
    static HANDLE Empty() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Release(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandle {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Release(HANDLE h) { ::FindClose(h); }
};
inline void DeleteGdi(HGDIOBJ h) { ::DeleteObject(h); }
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void DeleteDc(HDC h) { ::DeleteDC(h); }
inline void ReleaseScreenDc(HDC h) { ::ReleaseDC(nullptr, h); }
inline void FreeLibraryHandle(HMODULE h) { ::FreeLibrary(h); }
inline void FreeGlobal(HGLOBAL h) { ::GlobalFree(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
inline void DeleteEnhMetafile(HENHMETAFILE h) { ::DeleteEnhMetaFile(h); }
inline void UnmapView(const void* view) { ::UnmapViewOfFile(view); }
}  // namespace handle_close

using unique_handle = unique_any<HANDLE, handle_close::KernelHandle>;
using unique_find = unique_any<HANDLE, handle_close::FindHandle>;
using unique_hkey = unique_any<HKEY, handle_close::NullIsEmpty<HKEY, handle_close::CloseKey>>;
using unique_hbitmap = unique_any<HBITMAP, handle_close::NullIsEmpty<HBITMAP, handle_close::DeleteGdi>>;
using unique_hpalette = unique_any<HPALETTE, handle_close::NullIsEmpty<HPALETTE, handle_close::DeleteGdi>>;
using unique_hfont = unique_any<HFONT, handle_close::NullIsEmpty<HFONT, handle_close::DeleteGdi>>;
using unique_hbrush = unique_any<HBRUSH, handle_close::NullIsEmpty<HBRUSH, handle_close::DeleteGdi>>;
using unique_hgdiobj = unique_any<HGDIOBJ, handle_close::NullIsEmpty<HGDIOBJ, handle_close::DeleteGdi>>;
using unique_hdc = unique_any<HDC, handle_close::NullIsEmpty<HDC, handle_close::DeleteDc>>;
// The screen's device context (GetDC(nullptr)), released rather than deleted.
using unique_screen_dc = unique_any<HDC, handle_close::NullIsEmpty<HDC, handle_close::ReleaseScreenDc>>;
using unique_hmodule = unique_any<HMODULE, handle_close::NullIsEmpty<HMODULE, handle_close::FreeLibraryHandle>>;
using unique_hglobal = unique_any<HGLOBAL, handle_close::NullIsEmpty<HGLOBAL, handle_close::FreeGlobal>>;
using unique_hicon = unique_any<HICON, handle_close::NullIsEmpty<HICON, handle_close::DestroyIconHandle>>;
using unique_henhmetafile =
    unique_any<HENHMETAFILE, handle_close::NullIsEmpty<HENHMETAFILE, handle_close::DeleteEnhMetafile>>;
// A view of a file mapping (MapViewOfFile).
using unique_view = unique_any<const void*, handle_close::NullIsEmpty<const void*, handle_close::UnmapView>>;

// A device context got from a window (GetDC), given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
    ~WindowDC()
    {
        if (dc_)
            ::ReleaseDC(wnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// A locked movable global block, unlocked again on every path.
class GlobalLock_ {
public:
    explicit GlobalLock_(HGLOBAL h) : h_(h), p_(h ? ::GlobalLock(h) : nullptr) {}
    ~GlobalLock_()
    {
        if (p_)
            ::GlobalUnlock(h_);
    }
    GlobalLock_(const GlobalLock_&) = delete;
    GlobalLock_& operator=(const GlobalLock_&) = delete;
    void* get() const { return p_; }

private:
    HGLOBAL h_;
    void* p_;
};

// Selects a GDI object into a device context and selects the previous one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectGuard()
    {
        if (old_)
            ::SelectObject(dc_, old_);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Selects a palette (SelectPalette, not SelectObject) and selects the old one back.
class PaletteGuard {
public:
    PaletteGuard(HDC dc, HPALETTE pal, bool background = true)
        : dc_(dc), old_(pal ? ::SelectPalette(dc, pal, background) : nullptr) {}
    ~PaletteGuard()
    {
        if (old_)
            ::SelectPalette(dc_, old_, TRUE);
    }
    PaletteGuard(const PaletteGuard&) = delete;
    PaletteGuard& operator=(const PaletteGuard&) = delete;

private:
    HDC dc_;
    HPALETTE old_;
};

// Saves a device context's state (SaveDC) and restores it (RestoreDC) on every path.
class DCStateGuard {
public:
    explicit DCStateGuard(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
    ~DCStateGuard()
    {
        if (saved_)
            ::RestoreDC(dc_, saved_);
    }
    DCStateGuard(const DCStateGuard&) = delete;
    DCStateGuard& operator=(const DCStateGuard&) = delete;

private:
    HDC dc_;
    int saved_;
};

// A critical section, re-entered by the thread that holds it. The standard recursive mutex
// of this runtime reports failure through std::system_error, which links the library's
// whole narrow string into the program; a critical section cannot fail once made.
class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&section_); }
    ~CriticalSection() { ::DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&section_); }
    void Leave() { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};
