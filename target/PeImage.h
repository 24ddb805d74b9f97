// A Windows executable read from its bytes as they lie in the file, not as the loader maps
// them: headers, sections, data by RVA, and the version resource. The bytes come from outside,
// so every read is checked against them; a file that is cut short or malformed reads as
// nothing, never beyond its end.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class PeImage {
public:
    // Reads the headers of the `size` bytes at `data`, which must outlive this object. PE32
    // (32-bit) and PE32+ (64-bit) images are read alike.
    PeImage(const BYTE* data, size_t size);

    // DOS header, signature, file header, optional header and section table all read.
    bool Valid() const { return valid_; }
    const IMAGE_FILE_HEADER& FileHeader() const { return file_; }
    bool Is64() const { return is64_; }
    // Entry `index` of the data directory; zeros when the image has no such entry.
    IMAGE_DATA_DIRECTORY Directory(unsigned index) const;
    const std::vector<IMAGE_SECTION_HEADER>& Sections() const { return sections_; }
    size_t Size() const { return size_; }

    // Where the `count` bytes at `rva` lie in the file, when one section's raw data holds them.
    std::optional<size_t> Offset(DWORD rva, size_t count = 1) const;

    // A T at this file offset, when the bytes hold one.
    template <typename T>
    std::optional<T> At(size_t offset) const
    {
        if (offset > size_ || size_ - offset < sizeof(T))
            return std::nullopt;
        T value;
        std::memcpy(&value, data_ + offset, sizeof value);
        return value;
    }
    template <typename T>
    std::optional<T> AtRva(DWORD rva) const
    {
        const std::optional<size_t> offset = Offset(rva, sizeof(T));
        return offset ? At<T>(*offset) : std::nullopt;
    }
    // The zero-terminated text at `rva`, when it ends inside its section.
    std::optional<std::string> StringAtRva(DWORD rva) const;

    // The bytes of the first resource of this type (any name, any language), when the
    // resource directory leads to them; the same resource the version functions take.
    std::optional<std::vector<BYTE>> FirstResource(WORD type) const;

private:
    // File offset of `rva` and how many bytes from there lie in its section and in the file.
    std::optional<std::pair<size_t, size_t>> Span(DWORD rva) const;

    const BYTE* data_;
    size_t size_;
    bool valid_ = false;
    bool is64_ = false;
    IMAGE_FILE_HEADER file_{};
    size_t directories_ = 0;       // file offset of the data directory
    DWORD directoryCount_ = 0;     // entries it has, as far as the optional header holds them
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

// The machine field of an image's file header (IMAGE_FILE_MACHINE_I386, _AMD64, ...), read from
// as few bytes as hold it: the rest of the image need not be there.
std::optional<WORD> PeMachine(const BYTE* data, size_t size);

// The fixed block of a VS_VERSIONINFO (a version resource as it lies in the file, or what the
// version functions read): the value of its root block, when the root is sound, holds a whole
// fixed block and that carries its signature. Points into `info`.
const VS_FIXEDFILEINFO* FixedVersionBlock(const std::vector<BYTE>& info);

// The version resource of the file at `path` (any length; the "\\?\" form included), read
// from the file itself rather than through the loader. Nullopt when the file cannot be
// opened or holds no image with a sound version resource.
std::optional<std::vector<BYTE>> ReadVersionResource(const std::wstring& path);
