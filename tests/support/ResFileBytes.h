// Builds 32-bit resource files entry by entry, so each test states exactly the entry it needs.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "tests/support/BmpBytes.h"

// An identifier field: 0xFFFF and the ordinal, or the string and its 0 unit.
inline void PutResId(std::vector<uint8_t>& out, const wchar_t* id)
{
    if (IS_INTRESOURCE(id)) {
        PutLE(out, 0xFFFF, 2);
        PutLE(out, LOWORD(id), 2);
        return;
    }
    for (const wchar_t* c = id; *c; ++c)
        PutLE(out, static_cast<uint16_t>(*c), 2);
    PutLE(out, 0, 2);
}

struct ResEntrySpec {
    const wchar_t* type;
    const wchar_t* name;
    std::vector<uint8_t> data;
    int64_t dataSize = -1;    // written instead of the data's size when not -1
    int64_t headerSize = -1;  // written instead of the header's size when not -1
    bool padData = true;      // false: the data is not padded to 4 bytes (a file's last entry)
};

// Sizes, type, name, padding to 4, then the fields a resource compiler writes (data version,
// memory flags, language, version, characteristics), then the data.
inline std::vector<uint8_t> ResEntry(const ResEntrySpec& s)
{
    std::vector<uint8_t> header;
    PutResId(header, s.type);
    PutResId(header, s.name);
    header.resize((header.size() + 3) / 4 * 4, 0);
    PutLE(header, 0, 4);
    PutLE(header, 0x1030, 2);
    PutLE(header, 0x0409, 2);
    PutLE(header, 0, 4);
    PutLE(header, 0, 4);
    std::vector<uint8_t> out;
    PutLE(out, static_cast<uint64_t>(s.dataSize >= 0 ? s.dataSize : static_cast<int64_t>(s.data.size())), 4);
    PutLE(out, static_cast<uint64_t>(s.headerSize >= 0 ? s.headerSize : static_cast<int64_t>(header.size() + 8)), 4);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), s.data.begin(), s.data.end());
    if (s.padData)
        out.resize((out.size() + 3) / 4 * 4, 0);
    return out;
}

// The empty entry resource compilers put first (type and name ordinal 0).
inline std::vector<uint8_t> EmptyResEntry()
{
    return ResEntry({MAKEINTRESOURCEW(0), MAKEINTRESOURCEW(0), {}});
}

inline std::vector<uint8_t> ResFile(std::initializer_list<std::vector<uint8_t>> entries)
{
    std::vector<uint8_t> out;
    for (const auto& entry : entries)
        out.insert(out.end(), entry.begin(), entry.end());
    return out;
}
