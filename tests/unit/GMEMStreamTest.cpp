// The global-memory stream: its own blocks and the ones it is given.
#include "imaging/UGMEMStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/ExpectError.h"

namespace {

UINT LockCount(HGLOBAL block)
{
    return ::GlobalFlags(block) & GMEM_LOCKCOUNT;
}

std::string Content(HGLOBAL block)
{
    GlobalLock_ lock(block);
    return std::string(static_cast<const char*>(lock.get()), ::GlobalSize(block));
}

}  // namespace

TEST(GMEMStream, ItsOwnBlockIsMovableLockedAndHandedOverAtItsCapacity)
{
    TGMEMStream stream;
    EXPECT_EQ(stream.GiveUpHandle(), nullptr);  // nothing written, no block
    stream.WriteBuffer(std::string(10000, 'x').data(), 10000);
    const unique_hglobal block(::GlobalHandle(stream.Memory()));
    EXPECT_NE(static_cast<void*>(block.get()), stream.Memory()) << "a movable block's handle is not its address";
    EXPECT_EQ(LockCount(block.get()), 1u);
    EXPECT_EQ(stream.GiveUpHandle(), block.get());
    EXPECT_EQ(stream.Size() + stream.Capacity(), 0);
    EXPECT_EQ(LockCount(block.get()), 0u);
    EXPECT_EQ(Content(block.get()).substr(0, 10000), std::string(10000, 'x'));
    EXPECT_EQ(::GlobalSize(block.get()), 16384u);
}

TEST(GMEMStream, AnAttachedStreamRefusesToResizeAndLeavesTheBlockAlone)
{
    unique_hglobal block(::GlobalAlloc(GMEM_MOVEABLE, 10));
    std::memcpy(GlobalLock_(block.get()).get(), "0123456789", 10);
    const std::pair<const char*, void (*)(TGMEMStream&)> refused[] = {
        {"write past the end", [](TGMEMStream& s) { s.Seek(9, soFromBeginning), s.WriteBuffer("ab", 2); }},
        {"grow", [](TGMEMStream& s) { s.SetSize(20); }},
        {"shrink", [](TGMEMStream& s) { s.SetSize(5); }},
        {"clear", [](TGMEMStream& s) { s.Clear(); }},
    };
    {
        TGMEMStream stream = TGMEMStream::CreateOnHandle(block.get());
        EXPECT_EQ(stream.Size(), 10);
        stream.Seek(2, soFromBeginning);
        stream.WriteBuffer("ab", 2);  // inside the block
        for (const auto& [name, action] : refused) {
            const auto act = action;  // clang 14 cannot capture a structured binding
            EXPECT_TRUE(FailsWith<EGMEMStream>([&] { act(stream); }, L"should not realloc Global Handle")) << name;
            EXPECT_EQ(stream.Size(), 10);
            EXPECT_EQ(Content(block.get()), "01ab456789");
        }
        EXPECT_EQ(LockCount(block.get()), 1u);
    }
    // Gone, the stream has unlocked the block and left it to its owner.
    EXPECT_EQ(LockCount(block.get()), 0u);
    EXPECT_EQ(Content(block.get()), "01ab456789");
}
