// A reader of outside data as the mutation runner sees it, and the table of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using FuzzBytes = std::vector<uint8_t>;

// A little-endian size, count or offset field of a format: where it lies and how many bytes
// wide it is (1, 2 or 4). The runner writes boundary values into these.
struct SizeField {
    size_t offset;
    int width;
};

struct FuzzSeed {
    FuzzBytes bytes;
    // Size fields of this seed only (where they move with the content), beside the target's.
    std::vector<SizeField> fields;
};

struct FuzzTarget {
    const char* name;
    // Reads data as the program would. It swallows the library's own errors (class Exception):
    // refusing bad input is the reader's job; anything else that escapes is a finding.
    void (*run)(const uint8_t* data, size_t size);
    // The unmutated inputs every mutation starts from; the same on every call.
    std::vector<FuzzSeed> (*seeds)();
    // Size fields at the same place in every seed.
    std::vector<SizeField> sizeFields;
};

// The formats of the program's readers, by name.
const std::vector<FuzzTarget>& FuzzTargets();

// The entry of table called name, or null.
const FuzzTarget* FindFuzzTarget(const std::vector<FuzzTarget>& table, const std::string& name);

// The names of the files in folder that match pattern ("*.bin"), in name order.
std::vector<std::wstring> FileNamesIn(const std::wstring& folder, const wchar_t* pattern);

// The files of tests/fuzz/seeds/<format>/, in name order, as seeds without fields of their own.
std::vector<FuzzSeed> SeedFiles(const char* format);
