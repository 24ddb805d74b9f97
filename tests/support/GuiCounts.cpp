#include "tests/support/GuiCounts.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

#include "tests/support/Wine.h"

namespace {

// Wine's GDI handle table: 65,536 entries of 24 bytes; a live object has a non-zero type.
constexpr size_t kGdiTableEntries = 65536;
constexpr size_t kGdiEntrySize = 24;
constexpr size_t kGdiEntryTypeOffset = 14;
// Where the process environment block keeps the table's address.
constexpr size_t kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

const unsigned char* WineGdiTable()
{
    // The block's address from the documented query, looked up so nothing links to ntdll.
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !basic.PebBaseAddress)
        return nullptr;
    const unsigned char* field = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress) + kPebGdiTableOffset;
    return *reinterpret_cast<const unsigned char* const*>(field);
}

struct WindowTally {
    DWORD process;
    long topLevel = 0;
    long children = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowTally*>(param)->children;
    return TRUE;
}

void CountIfOurs(HWND window, WindowTally& tally)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != tally.process)
        return;
    ++tally.topLevel;
    // EnumChildWindows walks every descendant, not just the direct children.
    ::EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&tally));
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param)
{
    CountIfOurs(window, *reinterpret_cast<WindowTally*>(param));
    return TRUE;
}

}  // namespace

long CountGdiObjects()
{
    if (!RunningUnderWine()) {
        const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
        return count == 0 ? -1 : static_cast<long>(count);
    }
    const unsigned char* table = WineGdiTable();
    if (!table)
        return -1;  // a Wine too old to keep the table
    long live = 0;
    for (size_t i = 0; i < kGdiTableEntries; ++i)
        live += table[i * kGdiEntrySize + kGdiEntryTypeOffset] != 0;
    return live;
}

GuiCounts CountGuiObjects()
{
    WindowTally tally{::GetCurrentProcessId()};
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&tally));
    // Message-only windows are not top-level windows to EnumWindows; they are found this way.
    for (HWND window = nullptr; (window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
        CountIfOurs(window, tally);
    GuiCounts counts;
    counts.gdiObjects = CountGdiObjects();
    counts.topLevelWindows = tally.topLevel;
    counts.childWindows = tally.children;
    return counts;
}

std::string CompareGuiCounts(const GuiCounts& before, const GuiCounts& after)
{
    std::string message;
    const auto note = [&](const char* what, long from, long to) {
        if (to <= from)
            return;
        if (!message.empty())
            message += ", ";
        message += std::string(what) + " " + std::to_string(from) + " -> " + std::to_string(to);
    };
    note("GDI objects", before.gdiObjects, after.gdiObjects);
    note("top-level windows", before.topLevelWindows, after.topLevelWindows);
    note("child windows", before.childWindows, after.childWindows);
    return message;
}
