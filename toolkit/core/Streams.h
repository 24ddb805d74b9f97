// Byte streams: the abstract stream, memory, file and read-only resource streams.
#pragma once
#include <windows.h>

#include <string>

#include "toolkit/core/HandleOwners.h"

enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// A sequence of bytes with a position. Derived classes supply FetchBytes, StoreBytes and
// MovePosition (and ChangeSize when they can be resized); everything else is built on them.
class TStream {
public:
    TStream() = default;
    virtual ~TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to count bytes; returns the number delivered (0 at the end).
    long long Read(void* buffer, long long count) { return FetchBytes(buffer, count); }
    // Writes up to count bytes; returns the number taken.
    long long Write(const void* buffer, long long count) { return StoreBytes(buffer, count); }
    // Moves the position; returns the new position.
    long long Seek(long long offset, TSeekOrigin origin) { return MovePosition(offset, origin); }

    long long Position() { return Seek(0, soFromCurrent); }
    void SetPosition(long long position) { Seek(position, soFromBeginning); }
    // Found by seeking to the end and back, so a stream that cannot seek to its end cannot
    // tell its size either.
    long long Size();
    void SetSize(long long size) { ChangeSize(size); }

    // Exactly count bytes, or EReadError / EWriteError.
    void ReadBuffer(void* buffer, long long count);
    void WriteBuffer(const void* buffer, long long count);

    // Copies count bytes from source's position, in pieces of at most CopyPieceSize bytes.
    // count = 0 copies the whole source from its position 0. Returns the bytes copied.
    long long CopyFrom(TStream& source, long long count);

    static constexpr long long CopyPieceSize = 61440;

protected:
    virtual long long FetchBytes(void* buffer, long long count) = 0;
    virtual long long StoreBytes(const void* buffer, long long count) = 0;
    virtual long long MovePosition(long long offset, TSeekOrigin origin) = 0;
    // Streams of a fixed size ignore it.
    virtual void ChangeSize(long long size);
};

// A stream over a block of memory it does not allocate: reading and seeking.
class TCustomMemoryStream : public TStream {
public:
    // The bytes, in place; valid until the stream changes its size.
    void* Memory() const { return memory_; }

protected:
    long long FetchBytes(void* buffer, long long count) override;
    long long MovePosition(long long offset, TSeekOrigin origin) override;

    // Points the stream at a block without taking it over or allocating.
    void AttachMemory(void* memory, long long size)
    {
        memory_ = memory;
        size_ = size;
    }

    void* memory_ = nullptr;
    long long size_ = 0;
    long long position_ = 0;
};

// A growable stream in memory. Its capacity is always a multiple of MemoryDelta bytes. A write
// past the end grows the block by at least half its capacity, so writing n bytes in pieces
// takes time linear in n; SetSize gives the block exactly the size asked (rounded up to
// MemoryDelta), larger or smaller, so a stream sized for its data holds no spare half and a
// shrunk one gives its memory back. Bytes added by SetSize or skipped by seeking past the end
// hold no defined value until written (sizing a stream for data to come must not touch every
// page of it).
//
// Blocks below ReservedFrom bytes come from the heap, which grows them in place when it can.
// Larger ones are address space reserved once and committed as the capacity grows, so growing
// inside the reservation neither moves the bytes nor touches a page twice; a block that
// outgrows its reservation moves once into one several times larger.
class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;

    long long Capacity() const { return capacity_; }
    // Frees the memory: size, position and capacity 0.
    void Clear() { DropMemory(); }
    // Replaces the content with the whole of source; position 0 afterwards.
    void LoadFromStream(TStream& source);
    // Writes the whole content to dest.
    void SaveToStream(TStream& dest);
    // Reads count bytes of source straight into the block at the position, growing it as a
    // write of count bytes would, in one read and without a piece buffer (for sources that
    // fill memory themselves: files, inflaters). The position moves past what arrived; fewer
    // bytes than count fail with EReadError, the stream keeping its new size.
    void ReadFrom(TStream& source, long long count);

    static constexpr long long MemoryDelta = 8192;
    static constexpr long long ReservedFrom = 1 << 20;

protected:
    long long StoreBytes(const void* buffer, long long count) override;
    void ChangeSize(long long size) override;

    // The only place memory is allocated, moved or freed. Takes the wanted capacity, rounds a
    // positive one up to a multiple of MemoryDelta (the result comes back in newCapacity) and
    // returns the block of that capacity, keeping the content up to the smaller of the two
    // sizes; 0 frees the block and returns null. Fails with EStreamError and the memory-stream
    // text, leaving the stream as it was. Memory() and Capacity() are still the old ones here;
    // a capacity of 0 with memory means attached memory that this stream did not allocate.
    // The base destructor calls only its own version: a derived class that overrides this
    // must call DropMemory() in its own destructor, and must not call the base's version for
    // blocks it allocated itself.
    virtual void* GrowBlock(long long& newCapacity);
    // The capacity check and rounding of GrowBlock, for overrides that allocate their own way.
    static void RoundCapacity(long long& newCapacity);
    [[noreturn]] static void RaiseMemoryStreamError();

    void SetCapacity(long long newCapacity);
    // Makes room for a write ending at end (beyond the capacity), growing geometrically.
    void GrowFor(long long end);
    // Capacity 0 (through GrowBlock), size 0, position 0.
    void DropMemory();

    long long capacity_ = 0;

private:
    // The room for count bytes at the position (position >= 0, count > 0), the stream grown to
    // reach it as a write would.
    unsigned char* RoomAtPosition(long long count);

    long long reserved_ = 0;  // address space reserved for the block; 0 for a heap block
};

// A stream over a Win32 file handle that someone else owns.
class THandleStream : public TStream {
public:
    explicit THandleStream(HANDLE handle) : handle_(handle) {}
    HANDLE Handle() const { return handle_; }

protected:
    long long FetchBytes(void* buffer, long long count) override;
    long long StoreBytes(const void* buffer, long long count) override;
    long long MovePosition(long long offset, TSeekOrigin origin) override;
    // Fails with EInOutError carrying the system's error code.
    void ChangeSize(long long size) override;

    HANDLE handle_;
};

enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };
enum class TShareMode { fmShareExclusive, fmShareDenyWrite, fmShareDenyRead, fmShareDenyNone };

// A stream over a file it opens and closes. fmCreate makes the file anew (an existing one is
// truncated) and fails with EFCreateError; the open modes need an existing file and fail with
// EFOpenError. Both texts carry the path.
class TFileStream : public THandleStream {
public:
    TFileStream(const std::wstring& fileName, TFileMode mode,
                TShareMode share = TShareMode::fmShareDenyWrite);

    const std::wstring& FileName() const { return fileName_; }
    // Pushes written data to the disk; EInOutError on failure.
    void Flush();

private:
    std::wstring fileName_;
    unique_handle file_;
};

// Read-only view of one resource of a module, in place (the bytes are not copied). Names and
// types are strings or MAKEINTRESOURCEW numbers and are matched as the system does, without
// regard to case. A missing resource fails with EResNotFound; writing with EStreamError.
class TResourceStream : public TCustomMemoryStream {
public:
    TResourceStream(HMODULE module, const wchar_t* name, const wchar_t* type);

protected:
    long long StoreBytes(const void* buffer, long long count) override;
};
