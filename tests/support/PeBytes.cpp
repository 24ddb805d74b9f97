#include "tests/support/PeBytes.h"

#include <cstring>

namespace {

constexpr DWORD kSectionRva = 0x1000;
constexpr DWORD kFileAlignment = 0x200;
constexpr DWORD kHighBit = 0x80000000u;

template <typename T>
void Put(std::vector<BYTE>& out, size_t at, const T& value)
{
    if (out.size() < at + sizeof value)
        out.resize(at + sizeof value);
    std::memcpy(out.data() + at, &value, sizeof value);
}

IMAGE_RESOURCE_DIRECTORY_ENTRY Entry(DWORD name, DWORD offset)
{
    IMAGE_RESOURCE_DIRECTORY_ENTRY entry{};
    entry.Name = name;
    entry.OffsetToData = offset;
    return entry;
}

DWORD AlignUp(size_t n, DWORD to)
{
    return static_cast<DWORD>((n + to - 1) / to * to);
}

}  // namespace

PeBytes MakePe(WORD machine, bool is64, const std::vector<BYTE>& version, size_t padding)
{
    PeBytes pe;
    std::vector<BYTE>& out = pe.bytes;
    IMAGE_DOS_HEADER dos{};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = sizeof dos;
    Put(out, 0, dos);
    pe.fields.push_back({offsetof(IMAGE_DOS_HEADER, e_lfanew), 4});
    Put(out, sizeof dos, DWORD{IMAGE_NT_SIGNATURE});

    // Resource section: root (type), name and language directories of one entry each, the
    // data entry, then the version resource.
    std::vector<BYTE> rsrc;
    const DWORD nameDir = 0x18, languageDir = 0x30, dataEntry = 0x48, data = static_cast<DWORD>(0x58 + padding);
    if (!version.empty()) {
        IMAGE_RESOURCE_DIRECTORY one{};
        one.NumberOfIdEntries = 1;
        Put(rsrc, 0, one);
        Put(rsrc, 0x10, Entry(16, kHighBit | nameDir));
        Put(rsrc, nameDir, one);
        Put(rsrc, nameDir + 0x10, Entry(1, kHighBit | languageDir));
        Put(rsrc, languageDir, one);
        Put(rsrc, languageDir + 0x10, Entry(0x0411, dataEntry));
        Put(rsrc, dataEntry, IMAGE_RESOURCE_DATA_ENTRY{kSectionRva + data, static_cast<DWORD>(version.size()), 0, 0});
        rsrc.resize(data);
        rsrc.insert(rsrc.end(), version.begin(), version.end());
    }

    const size_t fileHeader = sizeof dos + sizeof(DWORD);
    const size_t optional = fileHeader + sizeof(IMAGE_FILE_HEADER);
    const WORD optionalSize = is64 ? sizeof(IMAGE_OPTIONAL_HEADER64) : sizeof(IMAGE_OPTIONAL_HEADER32);
    IMAGE_FILE_HEADER file{};
    file.Machine = machine;
    file.NumberOfSections = rsrc.empty() ? 0 : 1;
    file.SizeOfOptionalHeader = optionalSize;
    file.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE;
    Put(out, fileHeader, file);
    pe.fields.push_back({fileHeader + offsetof(IMAGE_FILE_HEADER, NumberOfSections), 2});
    pe.fields.push_back({fileHeader + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader), 2});

    const IMAGE_DATA_DIRECTORY resources{rsrc.empty() ? 0 : kSectionRva, static_cast<DWORD>(rsrc.size())};
    size_t directories = 0;
    // The two header kinds share the fields written here, at offsets of their own.
    const auto writeHeader = [&](auto header, WORD magic) {
        using Header = decltype(header);
        header.Magic = magic;
        header.SectionAlignment = kSectionRva;
        header.FileAlignment = kFileAlignment;
        header.SizeOfHeaders = kFileAlignment;
        header.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        header.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE] = resources;
        Put(out, optional, header);
        pe.fields.push_back({optional + offsetof(Header, NumberOfRvaAndSizes), 4});
        directories = optional + offsetof(Header, DataDirectory);
    };
    if (is64)
        writeHeader(IMAGE_OPTIONAL_HEADER64{}, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    else
        writeHeader(IMAGE_OPTIONAL_HEADER32{}, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    const size_t resourceEntry = directories + IMAGE_DIRECTORY_ENTRY_RESOURCE * sizeof(IMAGE_DATA_DIRECTORY);
    pe.fields.push_back({resourceEntry, 4});
    pe.fields.push_back({resourceEntry + 4, 4});
    if (rsrc.empty())
        return pe;

    const size_t section = optional + optionalSize;
    IMAGE_SECTION_HEADER header{};
    std::memcpy(header.Name, ".rsrc", 5);
    header.Misc.VirtualSize = static_cast<DWORD>(rsrc.size());
    header.VirtualAddress = kSectionRva;
    header.SizeOfRawData = AlignUp(rsrc.size(), kFileAlignment);
    header.PointerToRawData = kFileAlignment;
    header.Characteristics = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
    Put(out, section, header);
    for (const size_t field : {offsetof(IMAGE_SECTION_HEADER, Misc), offsetof(IMAGE_SECTION_HEADER, VirtualAddress),
                               offsetof(IMAGE_SECTION_HEADER, SizeOfRawData),
                               offsetof(IMAGE_SECTION_HEADER, PointerToRawData)})
        pe.fields.push_back({section + field, 4});

    out.resize(kFileAlignment, 0);
    out.insert(out.end(), rsrc.begin(), rsrc.end());
    out.resize(kFileAlignment + header.SizeOfRawData, 0);
    // The counts of the three directories, the data entry's RVA and size, and the version
    // resource's own lengths.
    for (const DWORD dir : {DWORD{0}, nameDir, languageDir})
        pe.fields.push_back({kFileAlignment + dir + offsetof(IMAGE_RESOURCE_DIRECTORY, NumberOfIdEntries), 2});
    pe.fields.push_back({kFileAlignment + dataEntry, 4});
    pe.fields.push_back({kFileAlignment + dataEntry + 4, 4});
    pe.versionAt = kFileAlignment + data;
    pe.fields.push_back({pe.versionAt, 2});
    pe.fields.push_back({pe.versionAt + 2, 2});
    return pe;
}
