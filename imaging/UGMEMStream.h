// A memory stream on movable global memory that can work on a block someone else owns (a
// clipboard block, read in place) or hand its own block away (to the clipboard).
#pragma once
#include <windows.h>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"

TK_DECLARE_ERROR(EGMEMStream, Exception);

// A plain stream grows like any memory stream; its block is always movable global memory.
// One made by CreateOnHandle is attached: it reads and writes inside the given block, which
// stays its owner's, and refuses to grow, shrink or clear it (EGMEMStream, "should not realloc
// Global Handle"), leaving stream and block as they were.
class TGMEMStream : public TMemoryStream {
public:
    TGMEMStream() = default;
    // The stream over `block`, locked until GiveUpHandle or destruction: size as the system
    // reports the block's size, position 0.
    static TGMEMStream CreateOnHandle(HGLOBAL block);
    ~TGMEMStream() override;

    bool Attached() const { return attached_; }
    // Unlocks the block and hands it over; the stream is left empty and no longer refers to
    // it. A block grown by writing is the stream's capacity long (a multiple of 8192 bytes),
    // which may be more than was written. Null when the stream holds no block.
    HGLOBAL GiveUpHandle();

protected:
    void* GrowBlock(long long& newCapacity) override;

private:
    explicit TGMEMStream(HGLOBAL block);

    bool attached_ = false;
};
