#include "target/PeImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/PeBytes.h"
#include "tests/support/VersionedExe.h"

namespace {

const std::vector<BYTE> kVersion = BuildVersionInfo({3, 14, 15, 9265}, {9, 9, 9, 9});

// The product version the version resource of `bytes` gives, as "a.b.c.d"; "none" without one.
std::string ProductVersion(const std::vector<BYTE>& bytes)
{
    const PeImage image(bytes.data(), bytes.size());
    const std::optional<std::vector<BYTE>> info = image.FirstResource(16);
    const VS_FIXEDFILEINFO* fixed = info ? FixedVersionBlock(*info) : nullptr;
    if (!fixed)
        return "none";
    return std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." + std::to_string(LOWORD(fixed->dwProductVersionMS)) +
           "." + std::to_string(HIWORD(fixed->dwProductVersionLS)) + "." + std::to_string(LOWORD(fixed->dwProductVersionLS));
}

template <typename T>
void Poke(std::vector<BYTE>& bytes, size_t at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

TEST(PeImage, ReadsMachineAndVersionOfBothKinds)
{
    const struct {
        WORD machine;
        bool is64;
        size_t padding;
    } cases[] = {
        {IMAGE_FILE_MACHINE_I386, false, 0},
        {IMAGE_FILE_MACHINE_AMD64, true, 0},
        {IMAGE_FILE_MACHINE_AMD64, true, 6},  // the resource data need not be aligned
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "machine " << c.machine);
        const std::vector<BYTE> bytes = MakePe(c.machine, c.is64, kVersion, c.padding).bytes;
        const PeImage image(bytes.data(), bytes.size());
        ASSERT_TRUE(image.Valid());
        EXPECT_EQ(image.Is64(), c.is64);
        EXPECT_EQ(PeMachine(bytes.data(), bytes.size()), c.machine);
        EXPECT_EQ(image.FirstResource(16), kVersion);
        EXPECT_EQ(ProductVersion(bytes), "3.14.15.9265");
        EXPECT_EQ(image.FirstResource(3), std::nullopt);  // no icons
    }
}

// Every cut of a sound image, and images with one field bent: never a read beyond the bytes,
// and the version either whole or none.
TEST(PeImage, DamagedImagesGiveTheVersionWholeOrNone)
{
    const PeBytes pe = MakePe(IMAGE_FILE_MACHINE_AMD64, true, kVersion);
    for (size_t cut = 0; cut <= pe.bytes.size(); ++cut) {
        // The bytes of the cut image alone, so a read beyond them would leave its buffer.
        const std::vector<BYTE> part(pe.bytes.begin(), pe.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::string version = ProductVersion(part);
        EXPECT_EQ(version, cut >= pe.versionAt + kVersion.size() ? "3.14.15.9265" : "none") << "cut at " << cut;
    }

    const struct {
        const char* what;
        std::function<void(std::vector<BYTE>&)> bend;
    } bends[] = {
        {"no DOS signature", [](std::vector<BYTE>& b) { b[0] = 'X'; }},
        {"NT headers beyond the file", [](std::vector<BYTE>& b) { Poke<LONG>(b, 0x3C, 0x7FFFFFFF); }},
        {"NT headers before the file", [](std::vector<BYTE>& b) { Poke<LONG>(b, 0x3C, -4); }},
        {"no NT signature", [](std::vector<BYTE>& b) { b[0x40] = 'X'; }},
        {"an optional header too short for directories", [](std::vector<BYTE>& b) { Poke<WORD>(b, 0x54, 0x60); }},
        {"fewer directories than the resource's", [&](std::vector<BYTE>& b) { Poke<DWORD>(b, pe.fields[3].first, 2); }},
        {"65,535 sections", [](std::vector<BYTE>& b) { Poke<WORD>(b, 0x46, 0xFFFF); }},
        {"the section's data beyond the file", [&](std::vector<BYTE>& b) { Poke<DWORD>(b, pe.fields[9].first, 0xFFFFF000); }},
        {"65,535 resource types", [&](std::vector<BYTE>& b) { Poke<WORD>(b, pe.fields[10].first, 0xFFFF); }},
        {"the data's size beyond its section", [&](std::vector<BYTE>& b) { Poke<DWORD>(b, pe.fields[14].first, 0xFFFFFFFF); }},
        {"the data's RVA beyond every section", [&](std::vector<BYTE>& b) { Poke<DWORD>(b, pe.fields[13].first, 0xFFFFFFF0); }},
        {"a version block shorter than its key", [&](std::vector<BYTE>& b) { Poke<WORD>(b, pe.versionAt, 20); }},
        {"a fixed block shorter than one", [&](std::vector<BYTE>& b) { Poke<WORD>(b, pe.versionAt + 2, 51); }},
        {"a fixed block without its signature", [&](std::vector<BYTE>& b) { b[pe.versionAt + 40] ^= 1; }},
    };
    for (const auto& c : bends) {
        std::vector<BYTE> bytes = pe.bytes;
        c.bend(bytes);
        EXPECT_EQ(ProductVersion(bytes), "none") << c.what;
    }
}

TEST(FixedVersionBlock, ReadsTheRootAsTheVersionFunctionsDo)
{
    // The root's name is not looked at; its value starts on the 32-bit boundary after it, so
    // a name one character shorter moves where the value is looked for.
    std::vector<BYTE> renamed = kVersion;
    renamed[6] = 'W';
    std::vector<BYTE> shorter = kVersion;
    shorter[6 + 2 * 14] = 0;
    const struct {
        const char* what;
        std::vector<BYTE> info;
        bool found;
    } cases[] = {
        {"sound", kVersion, true},
        {"another name of the same length", renamed, true},
        {"a name one character shorter", shorter, false},
        {"no more than a header", std::vector<BYTE>(kVersion.begin(), kVersion.begin() + 6), false},
        {"nothing", {}, false},
        {"cut inside the fixed block", std::vector<BYTE>(kVersion.begin(), kVersion.begin() + 80), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedVersionBlock(c.info) != nullptr, c.found) << c.what;
}

}  // namespace
