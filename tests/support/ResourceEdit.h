// Test fixtures: copies of an executable with one resource replaced or taken out, for
// starting the real program with a broken version record or payload, or for giving the
// stand-in product a chosen version.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Copies `source` to `dest` (overwriting it) with every resource of type `type` named `name`
// replaced by one holding `data`, or taken out when `data` is nullopt. The new data takes the
// language the old resource had, else `language`. The copy keeps every other resource.
// Throws std::runtime_error.
void CopyWithResource(const std::wstring& source, const std::wstring& dest, LPCWSTR type, LPCWSTR name,
                      const std::optional<std::vector<BYTE>>& data, WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));

// The same for the RCDATA resource `name`, which the source must have.
void CopyWithRawData(const std::wstring& source, const std::wstring& dest, const std::wstring& name,
                     const std::optional<std::vector<BYTE>>& data);

// The whole file; throws std::runtime_error when it cannot be read.
std::vector<BYTE> ReadFileBytes(const std::wstring& path);
