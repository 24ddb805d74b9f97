#include "imaging/UGMEMStream.h"

namespace {

constexpr const wchar_t* SShouldNotRealloc = L"should not realloc Global Handle";

}  // namespace

TGMEMStream::TGMEMStream(HGLOBAL block)
{
    void* memory = block ? ::GlobalLock(block) : nullptr;
    // A handle that cannot be locked is no block: the stream is attached to nothing, and
    // reading from it ends at once.
    AttachMemory(memory, memory ? static_cast<long long>(::GlobalSize(block)) : 0);
    attached_ = true;
}

TGMEMStream TGMEMStream::CreateOnHandle(HGLOBAL block)
{
    return TGMEMStream(block);
}

TGMEMStream::~TGMEMStream()
{
    if (attached_)
        GiveUpHandle();
    DropMemory();  // the base destructor would not reach our GrowBlock
}

HGLOBAL TGMEMStream::GiveUpHandle()
{
    attached_ = false;
    HGLOBAL block = memory_ ? ::GlobalHandle(memory_) : nullptr;
    if (block)
        ::GlobalUnlock(block);
    // Forget the block without freeing it, then clear what is left.
    memory_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    DropMemory();
    return block;
}

void* TGMEMStream::GrowBlock(long long& newCapacity)
{
    if (attached_)
        throw EGMEMStream(SShouldNotRealloc);
    return TMemoryStream::GrowBlock(newCapacity);
}
