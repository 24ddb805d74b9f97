// A read-only stream over bytes someone else holds.
#pragma once
#include <cstddef>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"
#include "toolkit/core/ToolkitTexts.h"

// Reads and seeks over [data, data + size) without copying; writing fails with EWriteError.
// Readers of outside data take it in tests and in the mutation runner.
class TByteViewStream : public TCustomMemoryStream {
public:
    TByteViewStream(const void* data, size_t size)
    {
        AttachMemory(const_cast<void*>(data), static_cast<long long>(size));
    }

protected:
    long long StoreBytes(const void*, long long) override { throw EWriteError(tkconst::SWriteError); }
};
