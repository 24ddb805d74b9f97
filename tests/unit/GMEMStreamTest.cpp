// The global-memory stream: its own blocks and the ones it is given, and the DIB bitmap's
// clipboard form built on them.
#include "imaging/UGMEMStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/UDIBitmap.h"
#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

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
    for (long long written : {0LL, 1LL, 8192LL, 10000LL}) {
        SCOPED_TRACE(written);
        TGMEMStream stream;
        stream.WriteBuffer(std::string(static_cast<size_t>(written), 'x').data(), written);
        HGLOBAL block = stream.Memory() ? ::GlobalHandle(stream.Memory()) : nullptr;
        if (written > 0) {
            EXPECT_NE(static_cast<void*>(block), stream.Memory()) << "a movable block's handle is not its address";
            EXPECT_EQ(LockCount(block), 1u);
            EXPECT_EQ(static_cast<long long>(::GlobalSize(block)), stream.Capacity());
        }
        const long long capacity = stream.Capacity();
        EXPECT_EQ(stream.GiveUpHandle(), block);
        EXPECT_EQ(stream.Memory(), nullptr);
        EXPECT_EQ(stream.Size(), 0);
        EXPECT_EQ(stream.Capacity(), 0);
        if (block) {
            EXPECT_EQ(LockCount(block), 0u);
            EXPECT_EQ(Content(block).substr(0, static_cast<size_t>(written)), std::string(written, 'x'));
            EXPECT_EQ(static_cast<long long>(::GlobalSize(block)), capacity);
            ::GlobalFree(block);
        }
    }
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
        EXPECT_TRUE(stream.Attached());
        EXPECT_EQ(stream.Size(), 10);
        EXPECT_EQ(LockCount(block.get()), 1u);
        stream.Seek(2, soFromBeginning);
        stream.WriteBuffer("ab", 2);  // inside the block
        for (const auto& [name, action] : refused) {
            SCOPED_TRACE(name);
            EXPECT_TRUE(FailsWith<EGMEMStream>([&] { action(stream); }, L"should not realloc Global Handle"));
            EXPECT_EQ(stream.Size(), 10);
            EXPECT_EQ(stream.Memory(), GlobalLock_(block.get()).get());
            EXPECT_EQ(Content(block.get()), "01ab456789");
        }
    }
    // Destroying the stream unlocked the block and left it to its owner.
    EXPECT_EQ(LockCount(block.get()), 0u);
    EXPECT_EQ(Content(block.get()), "01ab456789");
}

TEST(GMEMStream, APictureTravelsAsAPackedDIBAtTheStartOfItsBlock)
{
    BmpSpec spec;
    spec.bitCount = 8;
    spec.table = {Quad(kBlack), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    spec.rows = {{1, 2}, {3, 0}};
    const std::vector<uint8_t> file = BmpFile(spec);
    TDIBitmap dib;
    TByteViewStream stream(file.data(), file.size());
    dib.LoadStream(stream);

    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    dib.SaveClipboard(format, data, palette);
    const unique_hglobal block(static_cast<HGLOBAL>(data));
    EXPECT_EQ(format, UINT(CF_DIB));
    EXPECT_EQ(palette, nullptr);
    ASSERT_EQ(::GlobalSize(block.get()), 8192u);
    EXPECT_EQ(std::memcmp(GlobalLock_(block.get()).get(), file.data() + 14, file.size() - 14), 0);

    TDIBitmap back;
    back.LoadClipboard(CF_DIB, block.get(), nullptr);
    EXPECT_EQ(LockCount(block.get()), 0u);
    WhitePage page(2, 2);
    back.Render(page.Canvas(), {0, 0, 2, 2});
    EXPECT_EQ(page.Canvas().Pixel(1, 0), kGreen);
    EXPECT_EQ(page.Canvas().Pixel(0, 1), kBlue);

    for (auto [otherFormat, otherData] : {std::pair<UINT, HANDLE>{CF_BITMAP, block.get()}, {CF_DIB, nullptr}})
        EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { back.LoadClipboard(otherFormat, otherData, nullptr); },
                                               tkconst::SUnsupportedClipboard));
}
