// Builds small Windows executables byte by byte: headers, one resource section and a version
// resource, with the offsets of the fields a test or the mutation runner may want to bend.
#pragma once
#include <windows.h>

#include <cstddef>
#include <utility>
#include <vector>

struct PeBytes {
    std::vector<BYTE> bytes;
    // Offsets of the size, count and offset fields, and their widths in bytes.
    std::vector<std::pair<size_t, int>> fields;
    // Where the version resource's bytes (the VS_VERSIONINFO) begin in the file.
    size_t versionAt = 0;
};

// An image for `machine` (PE32+ when `is64`, else PE32) whose one section holds the resource
// directory, with `version` as its only RT_VERSION resource (id 1, Japanese); no resource
// directory at all when `version` is empty. The version resource starts `padding` bytes into
// its data, so a test can move it.
PeBytes MakePe(WORD machine, bool is64, const std::vector<BYTE>& version, size_t padding = 0);
