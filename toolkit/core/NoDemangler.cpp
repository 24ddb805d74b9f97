// Linked into the release build of the updater in place of the C++ runtime's demangler.
//
// The runtime's handler for an uncaught exception names the exception's type in a console
// message before the program ends, and for that alone links a whole demangler (about 45 KB).
// A windowed program has no console to show it on. The release build tells the linker to
// wrap the demangler (-Wl,--wrap=__cxa_demangle), so its one caller reaches this function,
// which declines, and the runtime's own is never linked. Built with the GNU toolchain only.
#include <cstddef>

extern "C" char* __wrap___cxa_demangle(const char*, char*, std::size_t*, int* status)
{
    if (status)
        *status = -2;  // "not a mangled name": the caller shows the name as it stands
    return nullptr;
}
