// Paths the build hands to the tests are Linux paths; under Wine the Linux root is drive Z:.
#pragma once
#include <string>

// "/a/b" -> "Z:\a\b" (UTF-8 in, UTF-16 out); a path that is not absolute only has its
// slashes turned round.
std::wstring HostPath(const char* linuxPath);
