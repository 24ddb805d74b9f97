#include "update/UZLIB.h"

#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Resources.h"
#include "resources/resource_ids.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

using Bytes = std::vector<unsigned char>;

const wchar_t kInvalidOperation[] = L"Invalid stream operation";
const unsigned char kSignature[] = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};

// Looks like an executable: "MZ", then runs of text, zeros and noise, so it compresses to a
// zlib stream of several 64 KiB input blocks.
Bytes MakeExecutable(size_t size)
{
    Bytes data(size);
    uint32_t noise = 12345;
    for (size_t i = 0; i < size; ++i) {
        noise = noise * 1103515245u + 12345u;
        switch ((i / 4096) % 4) {
        case 0: data[i] = static_cast<unsigned char>("Soranote update payload "[i % 24]); break;
        case 1: data[i] = 0; break;
        default: data[i] = static_cast<unsigned char>(noise >> 24); break;
        }
    }
    data[0] = 'M';
    data[1] = 'Z';
    return data;
}

Bytes Compress(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

Bytes Header(int32_t declared)
{
    Bytes header(kSignature, kSignature + sizeof kSignature);
    const uint32_t value = static_cast<uint32_t>(declared);
    for (int shift = 0; shift < 32; shift += 8)
        header.push_back(static_cast<unsigned char>(value >> shift));
    return header;
}

Bytes Container(const Bytes& zlib, int32_t declared)
{
    Bytes out = Header(declared);
    out.insert(out.end(), zlib.begin(), zlib.end());
    return out;
}

void Fill(TMemoryStream& stream, const Bytes& bytes)
{
    stream.WriteBuffer(bytes.data(), static_cast<long long>(bytes.size()));
    stream.SetPosition(0);
}

Bytes Contents(TMemoryStream& stream)
{
    const unsigned char* p = static_cast<const unsigned char*>(stream.Memory());
    return p ? Bytes(p, p + stream.Size()) : Bytes();
}

// The caller's sequence: header, a memory stream sized to the declared length, inflation.
Bytes Unpack(const Bytes& container)
{
    TMemoryStream source;
    Fill(source, container);
    int declared = -7;
    EXPECT_TRUE(ReadCompressHeader(source, declared));
    TMemoryStream dest;
    dest.SetSize(declared);
    DecompressToStream(source, dest, declared);
    EXPECT_EQ(dest.Position(), declared);
    return Contents(dest);
}

struct Payload {
    Bytes data = MakeExecutable(300000);
    Bytes zlib = Compress(data);
};

}  // namespace

TEST(UZLIB, HeaderIsRecognisedOnlyExactly)
{
    struct Case {
        const char* what;
        Bytes bytes;
        bool recognised;
        int declared;  // when recognised
    };
    Bytes lower = Header(99);
    std::memcpy(lower.data(), "zlibcompress", 12);
    Bytes oneLetter = Header(99);
    oneLetter[11] = 'S';
    Bytes otherMarker = Header(99);
    otherMarker[12] = 0x1B;
    Bytes zeroMarker = Header(99);
    zeroMarker[12] = 0;
    const Case cases[] = {
        {"container", Container({0x78, 0xDA, 1, 2}, 3126784), true, 3126784},
        {"length bytes as stored", Bytes{'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A,
                                         0x00, 0xB6, 0x2F, 0x00}, true, 3126784},
        {"negative length", Header(-2), true, -2},
        {"header only", Header(0), true, 0},
        {"lower case", lower, false, 0},
        {"one letter", oneLetter, false, 0},
        {"marker 1B", otherMarker, false, 0},
        {"marker 00", zeroMarker, false, 0},
        {"12 bytes", Bytes(kSignature, kSignature + 12), false, 0},
        {"empty", Bytes(), false, 0},
        {"plain executable", MakeExecutable(4096), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Junk in front: the header is looked for at the stream's position, not at 0.
        TMemoryStream stream;
        stream.WriteBuffer("junk!", 5);
        stream.WriteBuffer(c.bytes.data(), static_cast<long long>(c.bytes.size()));
        stream.SetPosition(5);
        int declared = -7;
        EXPECT_EQ(ReadCompressHeader(stream, declared), c.recognised);
        EXPECT_EQ(declared, c.recognised ? c.declared : -7);
        EXPECT_EQ(stream.Position(), c.recognised ? 5 + 17 : 5);
    }
}

TEST(UZLIB, SignatureWithoutItsFullLengthIsAReadError)
{
    for (size_t lengthBytes : {0u, 1u, 3u}) {
        SCOPED_TRACE(lengthBytes);
        Bytes cut = Header(5);
        cut.resize(13 + lengthBytes);
        TMemoryStream stream;
        stream.WriteBuffer("xy", 2);
        stream.WriteBuffer(cut.data(), static_cast<long long>(cut.size()));
        stream.SetPosition(2);
        int declared = -7;
        EXPECT_TRUE(FailsWith<EReadError>([&] { ReadCompressHeader(stream, declared); }, tkconst::SReadError));
        EXPECT_EQ(declared, -7);
        EXPECT_EQ(stream.Position(), 2);
    }
}

TEST(UZLIB, InflatesAThreeMegabyteExecutableToExactlyItsLength)
{
    const Bytes data = MakeExecutable(3126784);
    const Bytes zlib = Compress(data);
    ASSERT_EQ(zlib[0], 0x78);
    ASSERT_EQ(zlib[1], 0xDA);
    const Bytes out = Unpack(Container(zlib, static_cast<int32_t>(data.size())));
    ASSERT_EQ(out.size(), data.size());
    EXPECT_EQ(out[0], 'M');
    EXPECT_EQ(out[1], 'Z');
    EXPECT_TRUE(out == data);
}

TEST(UZLIB, DeclaredLengthDecidesHowMuchIsInflated)
{
    const Payload p;
    const int exact = static_cast<int>(p.data.size());

    // One less: that many bytes and no complaint about the rest.
    const Bytes shorter = Unpack(Container(p.zlib, exact - 1));
    EXPECT_TRUE(shorter == Bytes(p.data.begin(), p.data.end() - 1));

    // One more: the data ends first, with or without bytes after the zlib stream.
    Bytes trailing = Container(p.zlib, exact + 1);
    trailing.insert(trailing.end(), 100000, 0xAB);
    for (const Bytes& container : {Container(p.zlib, exact + 1), trailing}) {
        TMemoryStream source;
        Fill(source, container);
        int declared = 0;
        ASSERT_TRUE(ReadCompressHeader(source, declared));
        TMemoryStream dest;
        dest.SetSize(declared);
        EXPECT_TRUE(FailsWith<EReadError>([&] { DecompressToStream(source, dest, declared); }, tkconst::SReadError));
    }
}

TEST(UZLIB, CutShortDataIsAReadError)
{
    const Payload p;
    const int exact = static_cast<int>(p.data.size());
    for (size_t keep : {size_t{0}, size_t{2}, size_t{1000}, p.zlib.size() / 2, p.zlib.size() - 50}) {
        SCOPED_TRACE(keep);
        TMemoryStream source;
        Fill(source, Container(Bytes(p.zlib.begin(), p.zlib.begin() + static_cast<long>(keep)), exact));
        int declared = 0;
        ASSERT_TRUE(ReadCompressHeader(source, declared));
        TMemoryStream dest;
        dest.SetSize(declared);
        EXPECT_TRUE(FailsWith<EReadError>([&] { DecompressToStream(source, dest, declared); }, tkconst::SReadError));
    }
}

TEST(UZLIB, CorruptDataIsACompressionError)
{
    const Payload p;
    const int exact = static_cast<int>(p.data.size());
    Bytes badHeaderCheck = p.zlib;
    badHeaderCheck[1] ^= 0x01;
    Bytes reservedBlockType = p.zlib;
    reservedBlockType[2] |= 0x06;  // BTYPE 11 in the first deflate block
    Bytes presetDictionary = p.zlib;
    presetDictionary[1] = 0xF9;  // 78 F9: FDICT set, header check still valid
    Bytes badChecksum = p.zlib;
    badChecksum[badChecksum.size() - 1] ^= 0xFF;
    Bytes wideWindow = p.zlib;
    wideWindow[0] = 0x88;  // a 64 KiB window does not exist
    wideWindow[1] = 0x1C;
    struct Case {
        const char* what;
        const Bytes& zlib;
        int declared;
    };
    const Case cases[] = {
        {"header check", badHeaderCheck, exact},
        {"block type", reservedBlockType, exact},
        {"preset dictionary", presetDictionary, exact},
        {"window size", wideWindow, exact},
        // The checksum is only looked at when inflating reaches it.
        {"checksum", badChecksum, exact + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMemoryStream source;
        Fill(source, Container(c.zlib, c.declared));
        int declared = 0;
        ASSERT_TRUE(ReadCompressHeader(source, declared));
        TMemoryStream dest;
        dest.SetSize(declared);
        EXPECT_TRUE(FailsWith<ECompressionError>([&] { DecompressToStream(source, dest, declared); }, L"error"));
    }
}

// A payload is taken only whole: zlib inflates on to the end of its stream and checks the
// stream's own checksum there. What follows the stream is not the payload's business.
TEST(UZLIB, WholeStreamIsCheckedByZlibToItsEnd)
{
    const Payload p;
    const int exact = static_cast<int>(p.data.size());
    Bytes padded = Container(p.zlib, exact);
    padded.insert(padded.end(), 4096, 0);
    Bytes badChecksum = Container(p.zlib, exact);
    badChecksum.back() ^= 0x01;
    // Hand-made: the first 100 bytes of a stream and the Adler-32 of the first 100 bytes they
    // inflate to, declared 100; a check of the container's last four bytes took it as sound.
    Bytes handMade = Container(Bytes(p.zlib.begin(), p.zlib.begin() + 100), 100);
    const uLong sum = adler32(adler32(0, Z_NULL, 0), p.data.data(), 100);
    for (int shift = 24; shift >= 0; shift -= 8)
        handMade.push_back(static_cast<unsigned char>(sum >> shift));
    struct Case {
        const char* what;
        Bytes container;
        const char* fails;  // nullptr: sound; else "zlib" (ECompressionError) or "read"
    };
    const Case cases[] = {
        {"sound", Container(p.zlib, exact), nullptr},
        {"sound, padding behind", padded, nullptr},
        {"declared one short", Container(p.zlib, exact - 1), "zlib"},
        {"hand-made", handMade, "zlib"},
        {"checksum differs", badChecksum, "zlib"},
        {"checksum missing", Container(Bytes(p.zlib.begin(), p.zlib.end() - 4), exact), "read"},
        {"declared one more", Container(p.zlib, exact + 1), "read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMemoryStream source;
        Fill(source, c.container);
        int declared = 0;
        ASSERT_TRUE(ReadCompressHeader(source, declared));
        TMemoryStream dest;
        dest.SetSize(declared);
        auto inflate = [&] { DecompressWholeStream(source, dest, declared); };
        if (!c.fails) {
            inflate();
            EXPECT_TRUE(Contents(dest) == p.data);
        } else if (std::string(c.fails) == "zlib") {
            EXPECT_TRUE(FailsWith<ECompressionError>(inflate, L"error"));
        } else {
            EXPECT_TRUE(FailsWith<EReadError>(inflate, tkconst::SReadError));
        }
    }
}

// A memory stream takes the bytes straight into its block, sized by the reader when the
// caller has not, for no more than the compressed bytes can inflate to; any other stream
// takes them piece by piece. The result is the same.
TEST(UZLIB, InflatesIntoAnyDestinationAtItsPosition)
{
    const Payload p;
    const int exact = static_cast<int>(p.data.size());
    const Bytes small = Compress(MakeExecutable(100));
    Bytes expected{'a', 'b', 'c'};
    expected.insert(expected.end(), p.data.begin(), p.data.end());
    struct Case {
        const char* what;
        bool memory;
        long long presized;  // -1: not sized
        const Bytes& zlib;
        int declared;
    };
    const Case cases[] = {
        {"memory, sized", true, exact + 3, p.zlib, exact},
        {"memory, not sized", true, -1, p.zlib, exact},
        {"memory, sized short", true, 1000, p.zlib, exact},
        {"file", false, -1, p.zlib, exact},
        {"memory, 2 GiB declared", true, -1, small, INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMemoryStream source;
        Fill(source, Container(c.zlib, c.declared));
        int declared = 0;
        ASSERT_TRUE(ReadCompressHeader(source, declared));
        TempFolder folder;
        TMemoryStream memory;
        std::unique_ptr<TFileStream> file;
        if (!c.memory)
            file = std::make_unique<TFileStream>(folder.File(L"out.bin"), TFileMode::fmCreate);
        TStream& dest = c.memory ? static_cast<TStream&>(memory) : *file;
        dest.WriteBuffer(expected.data(), 3);
        if (c.presized >= 0)
            dest.SetSize(c.presized);
        auto inflate = [&] { DecompressToStream(source, dest, declared); };
        if (declared != exact) {
            EXPECT_TRUE(FailsWith<EReadError>(inflate, tkconst::SReadError));
            EXPECT_LE(memory.Capacity(), MaxInflatedSize(static_cast<long long>(c.zlib.size())) + 8192);
            continue;
        }
        inflate();
        EXPECT_EQ(dest.Position(), 3 + exact);
        Bytes all(static_cast<size_t>(dest.Size()));
        dest.SetPosition(0);
        dest.ReadBuffer(all.data(), static_cast<long long>(all.size()));
        EXPECT_TRUE(all == expected);
    }
}

TEST(UZLIB, ZeroLengthIsAnInvalidStreamOperation)
{
    const Payload p;
    TMemoryStream source;
    Fill(source, Container(p.zlib, 0));
    int declared = -7;
    ASSERT_TRUE(ReadCompressHeader(source, declared));
    ASSERT_EQ(declared, 0);
    TMemoryStream dest;
    dest.SetSize(declared);
    EXPECT_TRUE(FailsWith<EDecompressionError>([&] { DecompressToStream(source, dest, declared); }, kInvalidOperation));
    EXPECT_EQ(dest.Size(), 0);
}

TEST(UZLIB, NegativeOrHugeLengthNeverGivesAResult)
{
    const Payload p;
    for (int declared : {-1, INT_MIN}) {
        SCOPED_TRACE(declared);
        TMemoryStream source;
        Fill(source, Container(p.zlib, declared));
        int read = 0;
        ASSERT_TRUE(ReadCompressHeader(source, read));
        ASSERT_EQ(read, declared);
        TMemoryStream dest;
        EXPECT_TRUE(FailsWith<EStreamError>([&] { dest.SetSize(read); }, tkconst::SMemoryStreamError));
        // Called anyway, inflation refuses too and writes nothing.
        EXPECT_TRUE(FailsWith<EReadError>([&] { DecompressToStream(source, dest, read); }, tkconst::SReadError));
        EXPECT_EQ(dest.Size(), 0);
    }
    // 2 GiB may be had in a 64-bit process; then the data runs out long before.
    TMemoryStream source;
    Fill(source, Container(p.zlib, INT_MAX));
    int read = 0;
    ASSERT_TRUE(ReadCompressHeader(source, read));
    TMemoryStream dest;
    try {
        dest.SetSize(read);
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), tkconst::SMemoryStreamError);
        return;
    }
    EXPECT_TRUE(FailsWith<EReadError>([&] { DecompressToStream(source, dest, read); }, tkconst::SReadError));
}

TEST(UZLIB, ReaderSeeksOnlyForwardOrBackToTheStart)
{
    const Payload p;
    TMemoryStream source;
    Fill(source, Container(p.zlib, static_cast<int32_t>(p.data.size())));
    int declared = 0;
    ASSERT_TRUE(ReadCompressHeader(source, declared));
    TDecompressionStream reader(source);
    unsigned char buffer[5000];

    auto expectNext = [&](long long at, long long count) {
        reader.ReadBuffer(buffer, count);
        EXPECT_EQ(std::memcmp(buffer, p.data.data() + at, static_cast<size_t>(count)), 0) << "at " << at;
        EXPECT_EQ(reader.Position(), at + count);
    };
    expectNext(0, 100);
    EXPECT_EQ(reader.Seek(10000, soFromCurrent), 10100);  // skips more than one 4096-byte block
    expectNext(10100, 50);
    EXPECT_EQ(reader.Seek(200000, soFromBeginning), 200000);
    expectNext(200000, 5000);

    // Someone else moves the source between reads: the reader carries on where it was.
    source.SetPosition(3);
    expectNext(205000, 5000);

    const long long here = reader.Position();
    EXPECT_TRUE(FailsWith<EDecompressionError>([&] { reader.Write("x", 1); }, kInvalidOperation));
    EXPECT_TRUE(FailsWith<EDecompressionError>([&] { reader.Size(); }, kInvalidOperation));
    EXPECT_TRUE(FailsWith<EDecompressionError>([&] { reader.Seek(-1, soFromCurrent); }, kInvalidOperation));
    EXPECT_TRUE(FailsWith<EDecompressionError>([&] { reader.Seek(here - 1, soFromBeginning); }, kInvalidOperation));
    EXPECT_TRUE(FailsWith<EDecompressionError>([&] { reader.Seek(0, soFromEnd); }, kInvalidOperation));

    // Back to 0 starts over from the first compressed byte, behind the container's header.
    EXPECT_EQ(reader.Seek(0, soFromBeginning), 0);
    expectNext(0, 5000);

    // Skipping beyond the end is a read error, as any short read.
    EXPECT_TRUE(FailsWith<EReadError>([&] { reader.Seek(static_cast<long long>(p.data.size()) + 1, soFromBeginning); },
                                      tkconst::SReadError));
}

TEST(UZLIB, DefaultPayloadInflatesToTheStandInExecutable)
{
    std::unique_ptr<TStream> resource = OpenResource(RT_RCDATA, LoadText(sPayloadResName));
    int declared = 0;
    ASSERT_TRUE(ReadCompressHeader(*resource, declared));
    TMemoryStream payload;
    payload.SetSize(declared);
    DecompressToStream(*resource, payload, declared);

    TFileStream standIn(HostPath(STANDIN_EXE), TFileMode::fmOpenRead);
    TMemoryStream expected;
    expected.LoadFromStream(standIn);
    ASSERT_EQ(payload.Size(), expected.Size());
    EXPECT_EQ(std::memcmp(payload.Memory(), "MZ", 2), 0);
    EXPECT_EQ(std::memcmp(payload.Memory(), expected.Memory(), static_cast<size_t>(expected.Size())), 0);
}
