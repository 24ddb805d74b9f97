#include "toolkit/core/Streams.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

// size bytes where byte i is (i * 7) & 0xFF; records the count of every read asked of it and
// takes at most writeLimit bytes per write.
class ProbeStream : public TStream {
public:
    explicit ProbeStream(long long size, long long writeLimit = LLONG_MAX)
        : size_(size), writeLimit_(writeLimit) {}
    std::vector<long long> reads;

protected:
    long long FetchBytes(void* buffer, long long count) override
    {
        reads.push_back(count);
        const long long n = std::max(0LL, std::min(count, size_ - pos_));
        for (long long i = 0; i < n; ++i)
            static_cast<unsigned char*>(buffer)[i] = static_cast<unsigned char>((pos_ + i) * 7);
        pos_ += n;
        return n;
    }
    long long StoreBytes(const void*, long long count) override { return std::min(count, writeLimit_); }
    long long MovePosition(long long offset, TSeekOrigin origin) override
    {
        pos_ = (origin == soFromBeginning ? 0 : origin == soFromCurrent ? pos_ : size_) + offset;
        return pos_;
    }

private:
    long long size_;
    long long writeLimit_;
    long long pos_ = 0;
};

// Counts how often the block is grown or moved.
class CountingMemoryStream : public TMemoryStream {
public:
    int grows = 0;

protected:
    void* GrowBlock(long long& newCapacity) override
    {
        ++grows;
        return TMemoryStream::GrowBlock(newCapacity);
    }
};

std::string ReadAll(TStream& stream)
{
    std::string text(static_cast<size_t>(stream.Size()), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(text.data(), static_cast<long long>(text.size()));
    return text;
}

}  // namespace

TEST(Streams, ReadAndWriteExactlyOrFail)
{
    TMemoryStream memory;
    memory.WriteBuffer("0123456789", 10);
    memory.SetPosition(4);
    char buffer[16] = {};
    memory.ReadBuffer(buffer, 6);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    memory.ReadBuffer(buffer, 0);  // nothing asked, nothing missing
    EXPECT_TRUE(FailsWith<EReadError>([&] { memory.ReadBuffer(buffer, 1); }, tkconst::SReadError));
    memory.SetPosition(8);
    EXPECT_TRUE(FailsWith<EReadError>([&] { memory.ReadBuffer(buffer, 3); }, tkconst::SReadError));
    // Read, unlike ReadBuffer, reports the short count.
    memory.SetPosition(8);
    EXPECT_EQ(memory.Read(buffer, 3), 2);

    ProbeStream takesThree(0, 3);
    takesThree.WriteBuffer("abc", 3);
    EXPECT_TRUE(FailsWith<EWriteError>([&] { takesThree.WriteBuffer("abcd", 4); }, tkconst::SWriteError));
}

TEST(Streams, CopyFromGoesInPiecesOfAtMost61440Bytes)
{
    struct Case {
        long long sourceSize;
        long long startAt;  // source position before the copy
        long long count;
        std::vector<long long> pieces;
    };
    const Case cases[] = {
        {150000, 0, 150000, {61440, 61440, 27120}},
        {100000, 0, 61440, {61440}},
        {100000, 0, 61441, {61440, 1}},
        {10, 3, 1, {1}},
        {10, 3, 7, {7}},
        // 0 means everything, from the source's first byte whatever its position.
        {130000, 500, 0, {61440, 61440, 7120}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.sourceSize << " count " << c.count);
        ProbeStream source(c.sourceSize);
        source.SetPosition(c.startAt);
        TMemoryStream dest;
        const long long copied = dest.CopyFrom(source, c.count);
        EXPECT_EQ(source.reads, c.pieces);
        const long long expected = c.count == 0 ? c.sourceSize : c.count;
        EXPECT_EQ(copied, expected);
        ASSERT_EQ(dest.Size(), expected);
        const long long first = c.count == 0 ? 0 : c.startAt;
        const unsigned char* bytes = static_cast<const unsigned char*>(dest.Memory());
        for (long long i = 0; i < expected; i += 997)
            ASSERT_EQ(bytes[i], static_cast<unsigned char>((first + i) * 7)) << "at " << i;
    }
}

TEST(Streams, CopyFromFailsWhenTheSourceRunsShort)
{
    for (long long count : {11LL, 70000LL, -1LL}) {
        SCOPED_TRACE(count);
        ProbeStream source(10);
        TMemoryStream dest;
        EXPECT_TRUE(FailsWith<EReadError>([&] { dest.CopyFrom(source, count); }, tkconst::SReadError));
        EXPECT_EQ(dest.Size(), 0);
    }
}

TEST(Streams, MemoryStreamGrowsInSteps)
{
    struct Case {
        long long writeSize;  // written at once into an empty stream
        long long capacity;
    };
    const Case cases[] = {{1, 8192}, {8191, 8192}, {8192, 8192}, {8193, 16384}, {100000, 106496}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writeSize);
        TMemoryStream memory;
        std::vector<char> data(static_cast<size_t>(c.writeSize), 'x');
        memory.WriteBuffer(data.data(), c.writeSize);
        EXPECT_EQ(memory.Capacity(), c.capacity);
        EXPECT_EQ(memory.Size(), c.writeSize);
        EXPECT_EQ(memory.Position(), c.writeSize);
    }

    // Writing inside the block never grows it; SetSize sets the capacity either way.
    CountingMemoryStream counted;
    counted.WriteBuffer("abc", 3);
    EXPECT_EQ(counted.grows, 1);
    counted.SetPosition(0);
    counted.WriteBuffer("xyz", 3);
    counted.WriteBuffer(std::string(8000, 'y').data(), 8000);
    EXPECT_EQ(counted.grows, 1);
    counted.SetSize(20000);
    EXPECT_EQ(counted.Capacity(), 24576);
    EXPECT_EQ(counted.grows, 2);
    counted.SetSize(5);
    EXPECT_EQ(counted.Capacity(), 8192);
    EXPECT_EQ(counted.Position(), 5);  // pulled back inside
    EXPECT_EQ(ReadAll(counted), "xyzyy");
    counted.SetSize(0);
    EXPECT_EQ(counted.Capacity(), 0);
    EXPECT_EQ(counted.Memory(), nullptr);
}

TEST(Streams, MemoryStreamWrittenInPiecesGrowsByHalves)
{
    // 16 MiB in the pieces CopyFrom uses: each growth adds at least half the block, so the
    // block moves a logarithmic number of times, not once per piece.
    // Once large, the block grows where it is: the bytes written are never copied again.
    CountingMemoryStream memory;
    std::vector<unsigned char> piece(static_cast<size_t>(TStream::CopyPieceSize));
    const long long total = 16LL << 20;
    long long capacity = 0;
    void* large = nullptr;
    for (long long written = 0; written < total; written += TStream::CopyPieceSize) {
        std::fill(piece.begin(), piece.end(), static_cast<unsigned char>(written / TStream::CopyPieceSize));
        memory.WriteBuffer(piece.data(), std::min(TStream::CopyPieceSize, total - written));
        if (memory.Capacity() != capacity) {
            EXPECT_GE(memory.Capacity(), capacity + capacity / 2);
            EXPECT_EQ(memory.Capacity() % TMemoryStream::MemoryDelta, 0);
            capacity = memory.Capacity();
            if (!large && capacity >= TMemoryStream::ReservedFrom)
                large = memory.Memory();
            EXPECT_TRUE(!large || memory.Memory() == large) << "moved at capacity " << capacity;
        }
    }
    EXPECT_EQ(memory.Size(), total);
    EXPECT_LE(memory.grows, 20);
    const unsigned char* bytes = static_cast<const unsigned char*>(memory.Memory());
    for (long long at = 0; at < total; at += TStream::CopyPieceSize / 2)
        ASSERT_EQ(bytes[at], static_cast<unsigned char>(at / TStream::CopyPieceSize)) << at;

    // Shrinking gives the pages back, large or not.
    memory.SetSize(2 << 20);
    MEMORY_BASIC_INFORMATION beyond{};
    ASSERT_NE(::VirtualQuery(static_cast<unsigned char*>(memory.Memory()) + (2 << 20), &beyond, sizeof beyond), 0u);
    EXPECT_NE(beyond.State, static_cast<DWORD>(MEM_COMMIT));
    EXPECT_EQ(static_cast<const unsigned char*>(memory.Memory())[(2 << 20) - 1],
              static_cast<unsigned char>(((2 << 20) - 1) / TStream::CopyPieceSize));

    // SetSize stays exact, in both directions; writing past that end grows by half again.
    memory.SetSize(100000);
    EXPECT_EQ(memory.Capacity(), 106496);
    memory.SetSize(204800);
    EXPECT_EQ(memory.Capacity(), 204800);
    memory.Seek(0, soFromEnd);
    memory.WriteBuffer("x", 1);
    EXPECT_EQ(memory.Capacity(), 311296);  // 307200 rounded up to 8192
    EXPECT_EQ(memory.Size(), 204801);
}

TEST(Streams, MemoryStreamReadsStraightIntoItsBlock)
{
    struct Case {
        long long startAt;  // the memory stream's position; it holds 10 bytes
        long long count;
        long long sourceSize;
        bool fails;
        long long sizeAfter;
    };
    const Case cases[] = {
        {0, 4, 100, false, 10},       // inside: the size stays
        {8, 200000, 300000, false, 200008},
        {20, 5, 100, false, 25},      // past the end: the gap is the stream's
        {0, 0, 100, false, 10},
        {4, 50, 30, true, 54},        // short: sized for all, position after what came
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.startAt << " count " << c.count);
        TMemoryStream memory;
        memory.WriteBuffer("0123456789", 10);
        memory.SetPosition(c.startAt);
        ProbeStream source(c.sourceSize);
        if (c.fails) {
            EXPECT_TRUE(FailsWith<EReadError>([&] { memory.ReadFrom(source, c.count); }, tkconst::SReadError));
            EXPECT_EQ(memory.Position(), c.startAt + c.sourceSize);
        } else {
            memory.ReadFrom(source, c.count);
            EXPECT_EQ(memory.Position(), c.startAt + c.count);
        }
        EXPECT_EQ(source.reads.size(), c.count ? 1u : 0u);  // one read, no pieces
        EXPECT_EQ(memory.Size(), c.sizeAfter);
        const unsigned char* bytes = static_cast<const unsigned char*>(memory.Memory());
        const long long arrived = std::min(c.count, c.sourceSize);
        for (long long i = 0; i < arrived; i += 997)
            ASSERT_EQ(bytes[c.startAt + i], static_cast<unsigned char>(i * 7)) << "at " << i;
        if (c.startAt > 0) {
            EXPECT_EQ(bytes[0], '0');  // before the position: kept
        }
    }
}

TEST(Streams, MemoryStreamSizingFailsCleanly)
{
    const long long impossible[] = {-1, LLONG_MIN, 1LL << 50, LLONG_MAX};
    for (long long size : impossible) {
        SCOPED_TRACE(size);
        TMemoryStream memory;
        memory.WriteBuffer("keep", 4);
        void* before = memory.Memory();
        EXPECT_TRUE(FailsWith<EStreamError>([&] { memory.SetSize(size); }, tkconst::SMemoryStreamError));
        EXPECT_EQ(memory.Size(), 4);
        EXPECT_EQ(memory.Capacity(), 8192);
        EXPECT_EQ(memory.Memory(), before);
        EXPECT_EQ(ReadAll(memory), "keep");
    }
    // A write whose end cannot be had fails the same way.
    TMemoryStream memory;
    memory.Seek(1LL << 50, soFromBeginning);
    EXPECT_TRUE(FailsWith<EStreamError>([&] { memory.WriteBuffer("x", 1); }, tkconst::SMemoryStreamError));
    memory.Seek(LLONG_MAX, soFromBeginning);
    EXPECT_TRUE(FailsWith<EStreamError>([&] { memory.WriteBuffer("x", 1); }, tkconst::SMemoryStreamError));
    EXPECT_EQ(memory.Size(), 0);
}

TEST(Streams, MemoryStreamSeeksAndWritesPastTheEnd)
{
    TMemoryStream memory;
    memory.WriteBuffer("abcdef", 6);
    EXPECT_EQ(memory.Seek(-2, soFromEnd), 4);
    EXPECT_EQ(memory.Seek(1, soFromCurrent), 5);
    EXPECT_EQ(memory.Seek(10, soFromBeginning), 10);
    char buffer[4];
    EXPECT_EQ(memory.Read(buffer, 4), 0);
    memory.WriteBuffer("Z", 1);
    EXPECT_EQ(memory.Size(), 11);
    memory.SetPosition(-3);  // reading or writing before the start gives nothing
    EXPECT_EQ(memory.Read(buffer, 1), 0);
    EXPECT_EQ(memory.Write("q", 1), 0);

    TMemoryStream copy;
    memory.SetPosition(3);
    copy.LoadFromStream(memory);
    EXPECT_EQ(copy.Position(), 0);
    EXPECT_EQ(copy.Size(), 11);
    EXPECT_EQ(std::memcmp(copy.Memory(), "abcdef", 6), 0);
    EXPECT_EQ(static_cast<const char*>(copy.Memory())[10], 'Z');
}

TEST(Streams, FileStreamWritesReadsAndSizes)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"ソ表.bin");
    {
        TFileStream file(path, TFileMode::fmCreate);
        file.WriteBuffer("hello world", 11);
        file.Flush();
        EXPECT_EQ(file.Size(), 11);
        EXPECT_EQ(file.Position(), 11);
    }
    {
        TFileStream file(path, TFileMode::fmOpenReadWrite);
        EXPECT_EQ(ReadAll(file), "hello world");
        file.SetSize(5);
        EXPECT_EQ(file.Size(), 5);
    }
    {
        TFileStream file(path, TFileMode::fmOpenRead);
        EXPECT_EQ(ReadAll(file), "hello");
        EXPECT_EQ(file.Write("x", 1), 0);  // opened for reading only
        EXPECT_TRUE(FailsWith<EWriteError>([&] { file.WriteBuffer("x", 1); }, tkconst::SWriteError));
    }
    {
        TFileStream file(path, TFileMode::fmCreate);  // truncates
        EXPECT_EQ(file.Size(), 0);
    }
}

TEST(Streams, FileStreamOpenAndCreateErrorsNameThePath)
{
    TempFolder folder;
    const std::wstring missing = folder.File(L"missing.bin");
    const std::wstring inMissingFolder = folder.File(L"no folder\\new.bin");
    EXPECT_TRUE(FailsWith<EFOpenError>([&] { TFileStream f(missing, TFileMode::fmOpenRead); },
                                       L"ﾌｧｲﾙ " + missing + L" を開けません"));
    EXPECT_TRUE(FailsWith<EFOpenError>([&] { TFileStream f(missing, TFileMode::fmOpenReadWrite); },
                                       L"ﾌｧｲﾙ " + missing + L" を開けません"));
    EXPECT_TRUE(FailsWith<EFCreateError>([&] { TFileStream f(inMissingFolder, TFileMode::fmCreate); },
                                         L"ﾌｧｲﾙ " + inMissingFolder + L" を作成できません"));
}

TEST(Streams, FileStreamHonoursShareModes)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"held.bin");
    {
        TFileStream holder(path, TFileMode::fmCreate, TShareMode::fmShareExclusive);
        EXPECT_TRUE(FailsWith<EFOpenError>([&] { TFileStream f(path, TFileMode::fmOpenRead, TShareMode::fmShareDenyNone); },
                                           L"ﾌｧｲﾙ " + path + L" を開けません"));
        EXPECT_TRUE(FailsWith<EFCreateError>([&] { TFileStream f(path, TFileMode::fmCreate); },
                                             L"ﾌｧｲﾙ " + path + L" を作成できません"));
    }
    {
        TFileStream reader(path, TFileMode::fmOpenRead, TShareMode::fmShareDenyWrite);
        TFileStream second(path, TFileMode::fmOpenRead, TShareMode::fmShareDenyWrite);  // readers share
        EXPECT_TRUE(FailsWith<EFOpenError>([&] { TFileStream f(path, TFileMode::fmOpenWrite, TShareMode::fmShareDenyNone); },
                                           L"ﾌｧｲﾙ " + path + L" を開けません"));
    }
    // Everything was closed again: the file can be replaced.
    TFileStream again(path, TFileMode::fmCreate, TShareMode::fmShareExclusive);
}

TEST(Streams, ResourceStreamIsAReadOnlyViewFoundWithoutRegardToCase)
{
    HMODULE self = GetModuleHandleW(nullptr);
    struct Case {
        const wchar_t* name;
        const wchar_t* type;
    };
    const Case cases[] = {{L"UPDATEVERSION", RT_RCDATA}, {L"updateversion", RT_RCDATA},
                          {L"UpdateVersion", RT_RCDATA}, {L"Button", RT_BITMAP},
                          {L"BUTTON", RT_BITMAP},        {L"button", RT_BITMAP}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        TResourceStream stream(self, c.name, c.type);
        HRSRC info = FindResourceW(self, c.name, c.type);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(stream.Size(), static_cast<long long>(SizeofResource(self, info)));
        // The bytes are the module's own, not a copy.
        EXPECT_EQ(stream.Memory(), LockResource(LoadResource(self, info)));
    }

    TResourceStream version(self, L"UPDATEVERSION", RT_RCDATA);
    EXPECT_EQ(version.Size(), 8);
    EXPECT_TRUE(FailsWith<EStreamError>([&] { version.Write("x", 1); }, tkconst::SCantWriteResourceStream));
    EXPECT_TRUE(FailsWith<EStreamError>([&] { version.WriteBuffer("x", 1); }, tkconst::SCantWriteResourceStream));
    version.SetSize(0);  // a fixed view: sizing changes nothing
    EXPECT_EQ(version.Size(), 8);
}

TEST(Streams, MissingResourceNamesItself)
{
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_TRUE(FailsWith<EResNotFound>([&] { TResourceStream s(self, L"NOSUCH", RT_RCDATA); },
                                        L"NOSUCH ﾘｿｰｽが見つかりません"));
    // Right name, wrong type.
    EXPECT_TRUE(FailsWith<EResNotFound>([&] { TResourceStream s(self, L"UPDATEDATA", RT_BITMAP); },
                                        L"UPDATEDATA ﾘｿｰｽが見つかりません"));
    EXPECT_TRUE(FailsWith<EResNotFound>([&] { TResourceStream s(self, MAKEINTRESOURCEW(4242), RT_RCDATA); },
                                        L"#4242 ﾘｿｰｽが見つかりません"));
}
