#include "target/PeImage.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "toolkit/core/HandleOwners.h"

namespace {

// Where the data directory and its entry count lie in the two kinds of optional header.
constexpr size_t kDirectories32 = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
constexpr size_t kDirectories64 = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
constexpr size_t kCount32 = offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes);
constexpr size_t kCount64 = offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes);

constexpr DWORD kHighBit = 0x80000000u;
constexpr WORD kVersionType = 16;  // RT_VERSION

// a + b as an RVA, when it is one.
std::optional<DWORD> Add(DWORD a, uint64_t b)
{
    const uint64_t sum = a + b;
    if (sum > MAXDWORD)
        return std::nullopt;
    return static_cast<DWORD>(sum);
}

// The file offset of the NT headers, when the DOS header and the signature are there.
std::optional<size_t> NtHeaders(const PeImage& image)
{
    const auto dos = image.At<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return std::nullopt;
    const size_t at = static_cast<size_t>(dos->e_lfanew);
    const auto signature = image.At<DWORD>(at);
    if (!signature || *signature != IMAGE_NT_SIGNATURE)
        return std::nullopt;
    return at;
}

}  // namespace

PeImage::PeImage(const BYTE* data, size_t size) : data_(data), size_(data ? size : 0)
{
    const std::optional<size_t> nt = NtHeaders(*this);
    if (!nt)
        return;
    const size_t fileHeader = *nt + sizeof(DWORD);
    const auto file = At<IMAGE_FILE_HEADER>(fileHeader);
    const size_t optional = fileHeader + sizeof(IMAGE_FILE_HEADER);
    const auto magic = At<WORD>(optional);
    if (!file || !magic || (*magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && *magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC))
        return;
    file_ = *file;
    is64_ = *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;

    // Directory entries count only as far as the optional header's declared size holds them.
    const size_t optionalSize = file_.SizeOfOptionalHeader;
    const size_t directories = is64_ ? kDirectories64 : kDirectories32;
    const auto count = At<DWORD>(optional + (is64_ ? kCount64 : kCount32));
    if (count && optionalSize >= directories) {
        directories_ = optional + directories;
        directoryCount_ = static_cast<DWORD>(std::min<size_t>(
            {*count, (optionalSize - directories) / sizeof(IMAGE_DATA_DIRECTORY), IMAGE_NUMBEROF_DIRECTORY_ENTRIES}));
    }

    const size_t table = optional + optionalSize;
    const size_t sections = file_.NumberOfSections;
    if (table > size_ || (size_ - table) / sizeof(IMAGE_SECTION_HEADER) < sections)
        return;
    sections_.reserve(sections);
    for (size_t i = 0; i < sections; ++i)
        sections_.push_back(*At<IMAGE_SECTION_HEADER>(table + i * sizeof(IMAGE_SECTION_HEADER)));
    valid_ = true;
}

IMAGE_DATA_DIRECTORY PeImage::Directory(unsigned index) const
{
    if (!valid_ || index >= directoryCount_)
        return {};
    return At<IMAGE_DATA_DIRECTORY>(directories_ + index * sizeof(IMAGE_DATA_DIRECTORY)).value_or(IMAGE_DATA_DIRECTORY{});
}

std::optional<std::pair<size_t, size_t>> PeImage::Span(DWORD rva) const
{
    for (const IMAGE_SECTION_HEADER& s : sections_) {
        // What of the section lies in the file: its raw data, cut to its size in memory where
        // that is given and smaller (the rest is the file's alignment padding).
        const size_t span = s.Misc.VirtualSize ? std::min(s.SizeOfRawData, s.Misc.VirtualSize) : s.SizeOfRawData;
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= span)
            continue;
        const size_t into = rva - s.VirtualAddress;
        const size_t offset = size_t{s.PointerToRawData} + into;
        if (offset >= size_)
            return std::nullopt;
        return std::make_pair(offset, std::min(span - into, size_ - offset));
    }
    return std::nullopt;
}

std::optional<size_t> PeImage::Offset(DWORD rva, size_t count) const
{
    const auto span = Span(rva);
    if (!span || span->second < count)
        return std::nullopt;
    return span->first;
}

std::optional<std::string> PeImage::StringAtRva(DWORD rva) const
{
    const auto span = Span(rva);
    if (!span)
        return std::nullopt;
    const BYTE* start = data_ + span->first;
    const auto* end = static_cast<const BYTE*>(std::memchr(start, 0, span->second));
    if (!end)
        return std::nullopt;  // runs on past its section
    return std::string(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
}

std::optional<std::vector<BYTE>> PeImage::FirstResource(WORD type) const
{
    const IMAGE_DATA_DIRECTORY resources = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (resources.VirtualAddress == 0)
        return std::nullopt;
    const DWORD root = resources.VirtualAddress;

    // The entries of the directory at `at` (relative to the root); the first that `accept`s.
    auto find = [&](DWORD at, auto accept) -> std::optional<IMAGE_RESOURCE_DIRECTORY_ENTRY> {
        const std::optional<DWORD> rva = Add(root, at);
        const auto directory = rva ? AtRva<IMAGE_RESOURCE_DIRECTORY>(*rva) : std::nullopt;
        if (!directory)
            return std::nullopt;
        const size_t count = size_t{directory->NumberOfNamedEntries} + directory->NumberOfIdEntries;
        const std::optional<DWORD> entries = Add(*rva, sizeof(IMAGE_RESOURCE_DIRECTORY));
        const std::optional<size_t> first =
            entries ? Offset(*entries, count * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)) : std::nullopt;
        if (!first)
            return std::nullopt;
        for (size_t i = 0; i < count; ++i) {
            const auto entry = At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(*first + i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY));
            if (entry && accept(*entry))
                return entry;
        }
        return std::nullopt;
    };
    auto subdirectory = [](const IMAGE_RESOURCE_DIRECTORY_ENTRY& e) { return (e.OffsetToData & kHighBit) != 0; };

    // Type, then name, then language: each step must lead one level down, and the last to data.
    const auto byType = find(0, [&](const IMAGE_RESOURCE_DIRECTORY_ENTRY& e) {
        return !(e.Name & kHighBit) && (e.Name & 0xFFFF) == type && subdirectory(e);
    });
    if (!byType)
        return std::nullopt;
    const auto byName = find(byType->OffsetToData & ~kHighBit, subdirectory);
    if (!byName)
        return std::nullopt;
    const auto byLanguage = find(byName->OffsetToData & ~kHighBit,
                                 [&](const IMAGE_RESOURCE_DIRECTORY_ENTRY& e) { return !subdirectory(e); });
    const std::optional<DWORD> data = byLanguage ? Add(root, byLanguage->OffsetToData) : std::nullopt;
    const auto entry = data ? AtRva<IMAGE_RESOURCE_DATA_ENTRY>(*data) : std::nullopt;
    if (!entry)
        return std::nullopt;
    // The data entry holds an RVA of the image, not an offset into the resources.
    const std::optional<size_t> at = Offset(entry->OffsetToData, entry->Size);
    if (!at)
        return std::nullopt;
    return std::vector<BYTE>(data_ + *at, data_ + *at + entry->Size);
}

std::optional<WORD> PeMachine(const BYTE* data, size_t size)
{
    const PeImage headers(data, size);
    const std::optional<size_t> nt = NtHeaders(headers);
    if (!nt)
        return std::nullopt;
    const auto file = headers.At<IMAGE_FILE_HEADER>(*nt + sizeof(DWORD));
    if (!file)
        return std::nullopt;
    return file->Machine;
}

const VS_FIXEDFILEINFO* FixedVersionBlock(const std::vector<BYTE>& info)
{
    // The root block: its length, its value's length, its type, its key (zero-terminated
    // UTF-16, "VS_VERSION_INFO" as written), then its value on the next 32-bit boundary from
    // the block's start. Read as the version functions read the root, with every read inside
    // both the block and the bytes.
    struct Header {
        WORD length;
        WORD valueLength;
        WORD type;
    };
    if (info.size() < sizeof(Header))
        return nullptr;
    Header header;
    std::memcpy(&header, info.data(), sizeof header);
    const size_t block = std::min<size_t>(header.length, info.size());
    size_t key = sizeof(Header);
    while (key + sizeof(wchar_t) <= block && (info[key] | info[key + 1]) != 0)
        key += sizeof(wchar_t);
    if (key + sizeof(wchar_t) > block)
        return nullptr;  // the key does not end inside the block
    const size_t value = (key + sizeof(wchar_t) + 3) & ~size_t{3};
    if (header.valueLength < sizeof(VS_FIXEDFILEINFO) || value > block || block - value < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(info.data() + value);
    if (fixed->dwSignature != VS_FFI_SIGNATURE)
        return nullptr;
    return fixed;
}

std::optional<std::vector<BYTE>> ReadVersionResource(const std::wstring& path)
{
    // Shared for reading and deleting, not for writing: nobody can cut the file short under
    // the view while it is read.
    unique_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0)
        return std::nullopt;
    unique_handle mapping(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping)
        return std::nullopt;
    const unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view)
        return std::nullopt;
    const PeImage image(static_cast<const BYTE*>(view.get()), static_cast<size_t>(size.QuadPart));
    return image.FirstResource(kVersionType);
}
