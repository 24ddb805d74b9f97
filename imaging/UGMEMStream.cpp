#include "imaging/UGMEMStream.h"

#include "toolkit/core/HandleOwners.h"

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
    RoundCapacity(newCapacity);
    if (newCapacity == capacity_)
        return memory_;
    // The block is movable global memory kept locked, so the handle can be found again from
    // the pointer (GlobalHandle) and handed to whoever takes global blocks, the clipboard.
    HGLOBAL own = capacity_ > 0 ? ::GlobalHandle(memory_) : nullptr;
    if (newCapacity == 0) {
        if (own) {
            ::GlobalUnlock(own);
            ::GlobalFree(own);
        }
        return nullptr;
    }
    const SIZE_T bytes = static_cast<SIZE_T>(newCapacity);
    if (own) {
        ::GlobalUnlock(own);
        HGLOBAL moved = ::GlobalReAlloc(own, bytes, GMEM_MOVEABLE);
        // On failure the old block is still there: lock it again, the stream stays as it was.
        void* block = ::GlobalLock(moved ? moved : own);
        if (!moved || !block)
            RaiseMemoryStreamError();
        return block;
    }
    unique_hglobal fresh(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    void* block = fresh ? ::GlobalLock(fresh.get()) : nullptr;
    if (!block)
        RaiseMemoryStreamError();
    fresh.release();
    return block;
}
