// Test fixtures: copies of an executable with a chosen version resource, or with none.
// The copies are real executables, so the platform's own version functions read them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct VersionNumbers {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
};

// Copies `source` to `dest` (overwriting it) and gives the copy a version resource with
// this product version; the file version is the same unless given. The copy keeps every
// other resource; its old version resources are replaced by one (id 1, in the language the
// source's version used, else Japanese). Throws std::runtime_error on failure.
void MakeVersionedExe(const std::wstring& source, const std::wstring& dest,
                      const VersionNumbers& productVersion,
                      const std::optional<VersionNumbers>& fileVersion = std::nullopt);

// Copies `source` to `dest` without any version resource. Throws std::runtime_error.
void MakeExeWithoutVersion(const std::wstring& source, const std::wstring& dest);

// The version resource MakeVersionedExe writes: a VS_VERSIONINFO block with the fixed
// block, a Japanese/Unicode string table and the matching translation entry.
std::vector<BYTE> BuildVersionInfo(const VersionNumbers& productVersion,
                                   const VersionNumbers& fileVersion);
