#include "tests/fuzz/Corpus.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "toolkit/core/Streams.h"

namespace {

FuzzBytes ReadAll(const std::wstring& path)
{
    TFileStream file(path, TFileMode::fmOpenRead);
    FuzzBytes bytes(static_cast<size_t>(file.Size()));
    file.ReadBuffer(bytes.data(), static_cast<long long>(bytes.size()));
    return bytes;
}

void WriteAll(const std::wstring& path, const void* data, size_t size)
{
    TFileStream file(path, TFileMode::fmCreate);
    file.WriteBuffer(data, static_cast<long long>(size));
}

// Named for the content: the same input kept twice is one file.
std::wstring NameFor(const FuzzBytes& input)
{
    uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
    for (uint8_t b : input)
        h = (h ^ b) * 0x100000001B3ULL;
    wchar_t name[24];
    std::swprintf(name, std::size(name), L"%016llx.bin", static_cast<unsigned long long>(h));
    return name;
}

}  // namespace

CorpusFolder::CorpusFolder(const std::wstring& folder, const FuzzTarget& target, uint64_t seed)
    : target_(target), seed_(seed), path_(folder + L"\\" + std::wstring(target.name, target.name + std::strlen(target.name)))
{
}

std::wstring CorpusFolder::Record() const
{
    return path_ + L"\\seed" + std::to_wstring(seed_) + L".txt";
}

Mutator CorpusFolder::BeginRun()
{
    ::CreateDirectoryW(path_.substr(0, path_.rfind(L'\\')).c_str(), nullptr);
    ::CreateDirectoryW(path_.c_str(), nullptr);
    base_ = FileNamesIn(path_, L"*.bin");
    kept_.clear();
    SaveRecord();
    return Load(0);
}

void CorpusFolder::Keep(uint64_t index, size_t parent, const FuzzBytes& input)
{
    const std::wstring name = NameFor(input);
    WriteAll(path_ + L"\\" + name, input.data(), input.size());
    kept_.push_back({index, parent, name});
    SaveRecord();
}

void CorpusFolder::SaveRecord() const
{
    std::wostringstream text;
    for (const std::wstring& name : base_)
        text << L"base " << name << L"\n";
    for (const Kept& k : kept_)
        text << L"kept " << k.index << L" " << k.parent << L" " << k.name << L"\n";
    const std::wstring wide = text.str();
    const std::string narrow(wide.begin(), wide.end());  // names are hexadecimal digits
    WriteAll(Record(), narrow.data(), narrow.size());
}

Mutator CorpusFolder::Load(uint64_t upTo) const
{
    std::vector<FuzzSeed> base;
    std::vector<Kept> kept;
    if (::GetFileAttributesW(Record().c_str()) != INVALID_FILE_ATTRIBUTES) {
        const FuzzBytes bytes = ReadAll(Record());
        std::istringstream lines(std::string(bytes.begin(), bytes.end()));
        std::string kind, name;
        while (lines >> kind) {
            Kept k{};
            if (kind == "kept")
                lines >> k.index >> k.parent;
            lines >> name;
            k.name.assign(name.begin(), name.end());
            if (kind == "base")
                base.push_back({ReadAll(path_ + L"\\" + k.name), {}});
            else if (k.index < upTo)
                kept.push_back(k);
        }
    }
    Mutator mutator(target_, seed_, std::move(base));
    for (const Kept& k : kept) {
        // An entry keeps the size fields of the entry it was made from.
        FuzzSeed entry{ReadAll(path_ + L"\\" + k.name), mutator.Entry(k.parent).fields};
        mutator.Keep(std::move(entry));
    }
    return mutator;
}
