#include "update/PayloadMachine.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "tests/support/PeBytes.h"
#include "tests/support/VersionedExe.h"
#include "toolkit/core/ByteViewStream.h"

namespace {

using Bytes = std::vector<BYTE>;

// The "ZLIBCompress" container of `plain`, declaring `declared` bytes (the plain length unless
// given), its zlib stream cut to `keep` bytes when given.
Bytes Container(const Bytes& plain, std::optional<int32_t> declared = std::nullopt,
                std::optional<size_t> keep = std::nullopt)
{
    Bytes out = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A, 0, 0, 0, 0};
    const int32_t length = declared.value_or(static_cast<int32_t>(plain.size()));
    std::memcpy(out.data() + 13, &length, 4);
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    Bytes zlib(size);
    compress2(zlib.data(), &size, plain.data(), static_cast<uLong>(plain.size()), 9);
    zlib.resize(keep ? std::min<size_t>(*keep, size) : size);
    out.insert(out.end(), zlib.begin(), zlib.end());
    return out;
}

// A 32-bit image followed by 60 KB of noise that deflates to more than a few blocks.
Bytes LargeI386()
{
    Bytes bytes = MakePe(IMAGE_FILE_MACHINE_I386, false, BuildVersionInfo({1, 0, 1, 0}, {1, 0, 1, 0})).bytes;
    uint32_t noise = 21;
    for (int i = 0; i < 60000; ++i) {
        noise = noise * 1103515245u + 12345u;
        bytes.push_back(static_cast<BYTE>(noise >> 24));
    }
    return bytes;
}

std::optional<WORD> MachineOf(const Bytes& payload)
{
    TByteViewStream stream(payload.data(), payload.size());
    return PayloadMachine(stream);
}

TEST(PayloadMachine, ReadsThePeHeaderFromTheFirstBytesOnly)
{
    const Bytes x64 = MakePe(IMAGE_FILE_MACHINE_AMD64, true, {}).bytes;
    const Bytes i386 = MakePe(IMAGE_FILE_MACHINE_I386, false, {}).bytes;
    Bytes headerFarOut = i386;  // NT headers past the bytes that are inflated
    const LONG farOut = PayloadHeadBytes;
    std::memcpy(headerFarOut.data() + 0x3C, &farOut, sizeof farOut);
    headerFarOut.resize(PayloadHeadBytes + 0x200, 0);
    std::memcpy(headerFarOut.data() + farOut, i386.data() + 0x40, 0x100);
    const Bytes packed = Container(i386);
    const struct {
        const char* what;
        Bytes payload;
        std::optional<WORD> machine;
    } cases[] = {
        {"packed x64", Container(x64), IMAGE_FILE_MACHINE_AMD64},
        {"packed i386", packed, IMAGE_FILE_MACHINE_I386},
        {"plain i386, no container", i386, IMAGE_FILE_MACHINE_I386},
        {"packed, cut short after its first blocks", Container(LargeI386(), std::nullopt, 8000), IMAGE_FILE_MACHINE_I386},
        {"packed, its header past the first bytes", Container(headerFarOut), std::nullopt},
        {"packed, not an executable", Container(Bytes(5000, 'x')), std::nullopt},
        {"packed, a length of 0", Container(i386, 0), std::nullopt},
        {"packed, a negative length", Container(i386, -1), std::nullopt},
        {"packed, the zlib stream cut inside the header", Container(i386, std::nullopt, 10), std::nullopt},
        {"a signature and half its length", Bytes(packed.begin(), packed.begin() + 15), std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MachineOf(c.payload), c.machine) << c.what;
}

TEST(PayloadMachine, OwnPayloadIsTheX64StandIn)
{
    EXPECT_EQ(OwnPayloadMachine(), IMAGE_FILE_MACHINE_AMD64);
}

}  // namespace
