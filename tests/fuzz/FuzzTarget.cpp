#include "tests/fuzz/FuzzTarget.h"

#include <windows.h>

#include <algorithm>

#include "tests/support/HostPath.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Streams.h"

const FuzzTarget* FindFuzzTarget(const std::vector<FuzzTarget>& table, const std::string& name)
{
    for (const FuzzTarget& target : table)
        if (name == target.name)
            return &target;
    return nullptr;
}

std::vector<std::wstring> FileNamesIn(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    unique_find search(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (search) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (::FindNextFileW(search.get(), &found));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<FuzzSeed> SeedFiles(const char* format)
{
    const std::wstring folder = HostPath((std::string(FUZZ_SEED_DIR) + "/" + format).c_str());
    std::vector<FuzzSeed> seeds;
    for (const std::wstring& name : FileNamesIn(folder, L"*")) {
        TFileStream file(folder + L"\\" + name, TFileMode::fmOpenRead);
        FuzzSeed seed;
        seed.bytes.resize(static_cast<size_t>(file.Size()));
        file.ReadBuffer(seed.bytes.data(), static_cast<long long>(seed.bytes.size()));
        seeds.push_back(std::move(seed));
    }
    return seeds;
}
