// Test fixtures: copies of an executable with one raw-data resource replaced or taken out,
// for starting the real program with a broken version record or payload.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Copies `source` to `dest` (overwriting it) with the RCDATA resource `name` holding `data`,
// or without that resource when `data` is nullopt. The new data takes the language the old
// resource had, so the copy holds it once, not twice. Throws std::runtime_error.
void CopyWithRawData(const std::wstring& source, const std::wstring& dest, const std::wstring& name,
                     const std::optional<std::vector<BYTE>>& data);

std::vector<BYTE> ReadFileBytes(const std::wstring& path);
