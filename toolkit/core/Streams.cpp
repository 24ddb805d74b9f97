#include "toolkit/core/Streams.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

[[noreturn]] void RaiseLastIOError()
{
    throw EInOutError(Format(tkconst::SInOutError, {static_cast<long long>(::GetLastError())}));
}

// base + offset, held inside the range of long long instead of overflowing.
long long AddClamped(long long base, long long offset)
{
    if (offset > 0 && base > LLONG_MAX - offset)
        return LLONG_MAX;
    if (offset < 0 && base < LLONG_MIN - offset)
        return LLONG_MIN;
    return base + offset;
}

// ReadFile and WriteFile take at most a DWORD at a time.
constexpr long long kMaxIoChunk = 0x40000000;

// A block that must move gets a reservation this many times its capacity, and at least
// kLeastGrowthReserve where the address space is wide enough that reserving costs nothing.
constexpr long long kGrowthReserveFactor = 8;
constexpr long long kLeastGrowthReserve = sizeof(void*) >= 8 ? 1LL << 30 : 0;

// Address space for `reserve` bytes with the first `commit` of them committed; null when
// either cannot be had.
void* ReserveBlock(long long reserve, long long commit)
{
    void* base = ::VirtualAlloc(nullptr, static_cast<SIZE_T>(reserve), MEM_RESERVE, PAGE_READWRITE);
    if (base && !::VirtualAlloc(base, static_cast<SIZE_T>(commit), MEM_COMMIT, PAGE_READWRITE)) {
        ::VirtualFree(base, 0, MEM_RELEASE);
        base = nullptr;
    }
    return base;
}

void FreeBlock(void* block, long long reserved)
{
    if (!block)
        return;
    if (reserved > 0)
        ::VirtualFree(block, 0, MEM_RELEASE);
    else
        std::free(block);
}

}  // namespace

// ---- TStream ----------------------------------------------------------------------------

long long TStream::Size()
{
    const long long position = Seek(0, soFromCurrent);
    const long long size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::ChangeSize(long long) {}

void TStream::ReadBuffer(void* buffer, long long count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(tkconst::SReadError);
}

void TStream::WriteBuffer(const void* buffer, long long count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(tkconst::SWriteError);
}

long long TStream::CopyFrom(TStream& source, long long count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    // A negative count cannot be read exactly; refuse it rather than copy nothing silently.
    if (count < 0)
        throw EReadError(tkconst::SReadError);
    if (count == 0)
        return 0;
    const long long pieceSize = std::min(count, CopyPieceSize);
    std::unique_ptr<unsigned char[]> piece(new (std::nothrow) unsigned char[static_cast<size_t>(pieceSize)]);
    if (!piece)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    for (long long left = count; left > 0;) {
        const long long n = std::min(left, pieceSize);
        source.ReadBuffer(piece.get(), n);
        WriteBuffer(piece.get(), n);
        left -= n;
    }
    return count;
}

// ---- TCustomMemoryStream ----------------------------------------------------------------

long long TCustomMemoryStream::FetchBytes(void* buffer, long long count)
{
    if (position_ < 0 || count <= 0 || position_ >= size_)
        return 0;
    const long long n = std::min(count, size_ - position_);
    std::memcpy(buffer, static_cast<const unsigned char*>(memory_) + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

long long TCustomMemoryStream::MovePosition(long long offset, TSeekOrigin origin)
{
    switch (origin) {
    case soFromBeginning: position_ = offset; break;
    case soFromCurrent: position_ = AddClamped(position_, offset); break;
    case soFromEnd: position_ = AddClamped(size_, offset); break;
    }
    return position_;
}

// ---- TMemoryStream ----------------------------------------------------------------------

TMemoryStream::~TMemoryStream()
{
    DropMemory();
}

void TMemoryStream::DropMemory()
{
    SetCapacity(0);
    memory_ = nullptr;
    size_ = 0;
    position_ = 0;
}

void TMemoryStream::SetCapacity(long long newCapacity)
{
    void* block = GrowBlock(newCapacity);
    memory_ = block;
    capacity_ = newCapacity;
}

void TMemoryStream::RaiseMemoryStreamError()
{
    throw EStreamError(tkconst::SMemoryStreamError);
}

void TMemoryStream::RoundCapacity(long long& newCapacity)
{
    if (newCapacity < 0 || newCapacity > LLONG_MAX - (MemoryDelta - 1))
        RaiseMemoryStreamError();
    if (newCapacity > 0)
        newCapacity = (newCapacity + (MemoryDelta - 1)) & ~(MemoryDelta - 1);
    if (static_cast<unsigned long long>(newCapacity) > SIZE_MAX)
        RaiseMemoryStreamError();
}

void* TMemoryStream::GrowBlock(long long& newCapacity)
{
    RoundCapacity(newCapacity);
    if (newCapacity == capacity_)
        return memory_;
    void* own = capacity_ > 0 ? memory_ : nullptr;  // capacity 0: attached memory, not ours
    auto* bytes = static_cast<unsigned char*>(memory_);
    if (newCapacity == 0) {
        FreeBlock(own, reserved_);
        reserved_ = 0;
        return nullptr;
    }
    const bool large = newCapacity >= ReservedFrom;
    if (own && large && newCapacity <= reserved_) {
        // Inside the reservation: pages are committed or given back where they are.
        if (newCapacity > capacity_) {
            if (!::VirtualAlloc(bytes + capacity_, static_cast<SIZE_T>(newCapacity - capacity_), MEM_COMMIT,
                                PAGE_READWRITE))
                RaiseMemoryStreamError();
        } else {
            ::VirtualFree(bytes + newCapacity, static_cast<SIZE_T>(capacity_ - newCapacity), MEM_DECOMMIT);
        }
        return memory_;
    }
    if (own && !large && reserved_ == 0) {
        void* block = std::realloc(own, static_cast<size_t>(newCapacity));
        if (!block)
            RaiseMemoryStreamError();
        return block;
    }
    void* block = nullptr;
    long long reserve = 0;
    if (!large) {
        block = std::malloc(static_cast<size_t>(newCapacity));
    } else {
        // A stream sized once is reserved as sized; one that grows gets room to grow on in
        // place. The room is only address space: should it not be had, the exact size will do.
        if (own) {
            reserve = newCapacity <= LLONG_MAX / kGrowthReserveFactor ? newCapacity * kGrowthReserveFactor : newCapacity;
            reserve = std::max(reserve, kLeastGrowthReserve);
            if (static_cast<unsigned long long>(reserve) > SIZE_MAX)
                reserve = newCapacity;
            block = ReserveBlock(reserve, newCapacity);
        }
        if (!block) {
            reserve = newCapacity;
            block = ReserveBlock(reserve, newCapacity);
        }
    }
    if (!block)
        RaiseMemoryStreamError();
    if (memory_ && size_ > 0)
        std::memcpy(block, memory_, static_cast<size_t>(std::min(size_, newCapacity)));
    FreeBlock(own, reserved_);
    reserved_ = reserve;
    return block;
}

void TMemoryStream::GrowFor(long long end)
{
    // Growing by half of what is there makes the copies of n bytes written in pieces add up
    // to a few times n; growing to the exact end made them add up to n squared over the piece.
    const long long geometric = capacity_ + capacity_ / 2;
    if (geometric <= end) {
        SetCapacity(end);
        return;
    }
    try {
        SetCapacity(geometric);
    } catch (const Exception&) {
        // The extra half is a speed-up, not a need: the exact end may still fit.
        SetCapacity(end);
    }
}

void TMemoryStream::ChangeSize(long long size)
{
    if (size < 0)
        RaiseMemoryStreamError();
    SetCapacity(size);
    size_ = size;
    if (position_ > size)
        position_ = size;
}

long long TMemoryStream::StoreBytes(const void* buffer, long long count)
{
    if (position_ < 0 || count <= 0)
        return 0;
    std::memcpy(RoomAtPosition(count), buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

unsigned char* TMemoryStream::RoomAtPosition(long long count)
{
    if (count > LLONG_MAX - position_)
        RaiseMemoryStreamError();
    const long long end = position_ + count;
    if (end > size_) {
        if (end > capacity_)
            GrowFor(end);
        size_ = end;
    }
    return static_cast<unsigned char*>(memory_) + position_;
}

void TMemoryStream::ReadFrom(TStream& source, long long count)
{
    if (count <= 0)
        return;
    if (position_ < 0)
        throw EWriteError(tkconst::SWriteError);
    const long long got = source.Read(RoomAtPosition(count), count);
    position_ += std::max(0LL, got);
    if (got != count)
        throw EReadError(tkconst::SReadError);
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    const long long count = source.Size();
    SetSize(count);
    if (count != 0)
        source.ReadBuffer(memory_, count);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& dest)
{
    if (size_ != 0)
        dest.WriteBuffer(memory_, size_);
}

// ---- THandleStream / TFileStream --------------------------------------------------------

long long THandleStream::FetchBytes(void* buffer, long long count)
{
    long long total = 0;
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(std::min(count - total, kMaxIoChunk));
        DWORD got = 0;
        if (!::ReadFile(handle_, static_cast<unsigned char*>(buffer) + total, chunk, &got, nullptr))
            break;
        total += got;
        if (got < chunk)
            break;
    }
    return total;
}

long long THandleStream::StoreBytes(const void* buffer, long long count)
{
    long long total = 0;
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(std::min(count - total, kMaxIoChunk));
        DWORD put = 0;
        if (!::WriteFile(handle_, static_cast<const unsigned char*>(buffer) + total, chunk, &put, nullptr))
            break;
        total += put;
        if (put < chunk)
            break;
    }
    return total;
}

long long THandleStream::MovePosition(long long offset, TSeekOrigin origin)
{
    static_assert(soFromBeginning == FILE_BEGIN && soFromCurrent == FILE_CURRENT && soFromEnd == FILE_END);
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(handle_, distance, &result, static_cast<DWORD>(origin)))
        RaiseLastIOError();
    return result.QuadPart;
}

void THandleStream::ChangeSize(long long size)
{
    Seek(size, soFromBeginning);
    if (!::SetEndOfFile(handle_))
        RaiseLastIOError();
}

TFileStream::TFileStream(const std::wstring& fileName, TFileMode mode, TShareMode share)
    : THandleStream(INVALID_HANDLE_VALUE), fileName_(fileName)
{
    DWORD access = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
    case TFileMode::fmCreate: access = GENERIC_READ | GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case TFileMode::fmOpenRead: access = GENERIC_READ; break;
    case TFileMode::fmOpenWrite: access = GENERIC_WRITE; break;
    case TFileMode::fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD shareFlags = 0;
    switch (share) {
    case TShareMode::fmShareExclusive: shareFlags = 0; break;
    case TShareMode::fmShareDenyWrite: shareFlags = FILE_SHARE_READ; break;
    case TShareMode::fmShareDenyRead: shareFlags = FILE_SHARE_WRITE; break;
    case TShareMode::fmShareDenyNone: shareFlags = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    }
    file_.reset(::CreateFileW(fileName.c_str(), access, shareFlags, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        if (mode == TFileMode::fmCreate)
            throw EFCreateError(Format(tkconst::SFCreateError, {fileName}));
        throw EFOpenError(Format(tkconst::SFOpenError, {fileName}));
    }
    handle_ = file_.get();
}

void TFileStream::Flush()
{
    if (!::FlushFileBuffers(handle_))
        RaiseLastIOError();
}

// ---- TResourceStream --------------------------------------------------------------------

namespace {

// How a resource name reads in a message: the string, or "#n" for a number.
std::wstring ResourceNameText(const wchar_t* name)
{
    if (IS_INTRESOURCE(name))
        return Format(L"#%d", {static_cast<long long>(reinterpret_cast<std::uintptr_t>(name))});
    return name;
}

}  // namespace

TResourceStream::TResourceStream(HMODULE module, const wchar_t* name, const wchar_t* type)
{
    // FindResourceW compares string names and types without regard to case.
    HRSRC info = ::FindResourceW(module, name, type);
    if (!info)
        throw EResNotFound(Format(tkconst::SResNotFound, {ResourceNameText(name)}));
    const DWORD size = ::SizeofResource(module, info);
    // A loaded resource lives as long as its module; there is nothing to release.
    HGLOBAL loaded = ::LoadResource(module, info);
    void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes && size != 0)
        throw EResNotFound(Format(tkconst::SResNotFound, {ResourceNameText(name)}));
    AttachMemory(bytes, size);
}

long long TResourceStream::StoreBytes(const void*, long long)
{
    throw EStreamError(tkconst::SCantWriteResourceStream);
}
