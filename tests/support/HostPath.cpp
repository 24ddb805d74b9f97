#include "tests/support/HostPath.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>

std::wstring HostPath(const char* linuxPath)
{
    const std::string utf8(linuxPath ? linuxPath : "");
    std::wstring wide;
    if (!utf8.empty()) {
        const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, 0);
        if (n <= 0)
            throw std::runtime_error("HostPath: not UTF-8: " + utf8);
        wide.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                            static_cast<int>(utf8.size()), wide.data(), n);
    }
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (!wide.empty() && wide.front() == L'\\')
        wide.insert(0, L"Z:");
    return wide;
}
