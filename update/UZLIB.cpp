#include "update/UZLIB.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "toolkit/core/ToolkitTexts.h"

namespace {

const wchar_t kZlibError[] = L"error";
const wchar_t kInvalidOperation[] = L"Invalid stream operation";

constexpr unsigned char kSignature[13] = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p',
                                          'r', 'e', 's', 's', 0x1A};

// zlib counts in uInt; hand it at most this much output at a time.
constexpr long long kMaxInflateChunk = 0x40000000;

}  // namespace

bool ReadCompressHeader(TStream& source, int& declaredLength)
{
    const long long start = source.Position();
    try {
        unsigned char signature[sizeof kSignature];
        if (source.Read(signature, sizeof signature) != static_cast<long long>(sizeof signature) ||
            std::memcmp(signature, kSignature, sizeof kSignature) != 0) {
            source.SetPosition(start);
            return false;
        }
        // The signature promises a container; one cut off inside its length has no usable
        // length and must not be taken for plain data either.
        unsigned char length[4];
        source.ReadBuffer(length, sizeof length);
        const uint32_t value = uint32_t{length[0]} | (uint32_t{length[1]} << 8) |
                               (uint32_t{length[2]} << 16) | (uint32_t{length[3]} << 24);
        declaredLength = static_cast<int32_t>(value);
        return true;
    } catch (...) {
        source.SetPosition(start);
        throw;
    }
}

namespace {

// Compressed bytes from source's position to its end; 0 when source cannot tell.
long long CompressedLeft(TStream& source)
{
    try {
        return std::max(0LL, source.Size() - source.Position());
    } catch (const Exception&) {
        return 0;
    }
}

// Copies count bytes of reader's output into dest at dest's position. A memory stream takes
// them straight into its block, sized once for as much of count as `compressed` bytes can
// inflate to (a header may declare 2 GiB in front of no data at all); whatever that cannot
// back goes the ordinary way, growing dest only as bytes arrive.
void Inflate(TDecompressionStream& reader, TStream& dest, long long count, long long compressed)
{
    const long long backed = std::min(count, MaxInflatedSize(compressed));
    if (auto* memory = dynamic_cast<TMemoryStream*>(&dest); memory && backed > 0) {
        memory->ReadFrom(reader, backed);
        count -= backed;
        if (count == 0)
            return;
    }
    dest.CopyFrom(reader, count);  // 0 asks the reader for its size, which it refuses
}

}  // namespace

void DecompressToStream(TStream& source, TStream& dest, int declaredLength)
{
    const long long compressed = CompressedLeft(source);
    TDecompressionStream reader(source);
    Inflate(reader, dest, declaredLength, compressed);
}

void DecompressWholeStream(TStream& source, TStream& dest, int declaredLength)
{
    const long long compressed = CompressedLeft(source);
    TDecompressionStream reader(source);
    Inflate(reader, dest, declaredLength, compressed);
    // One byte more takes zlib through the rest of the stream to its checksum. Should a byte
    // come, the declared length falls short of the content: a payload cut short is no payload.
    unsigned char more = 0;
    if (reader.Read(&more, 1) != 0)
        throw ECompressionError(kZlibError);
    if (!reader.Ended())
        throw EReadError(tkconst::SReadError);
}

long long MaxInflatedSize(long long compressedBytes)
{
    constexpr long long kMaxRatio = 1032;
    if (compressedBytes <= 0)
        return 0;
    if (compressedBytes > LLONG_MAX / kMaxRatio)
        return LLONG_MAX;
    return compressedBytes * kMaxRatio;
}

// ---- TDecompressionStream ---------------------------------------------------------------

TDecompressionStream::TDecompressionStream(TStream& source)
    : source_(source), sourceStart_(source.Position()), sourcePos_(sourceStart_)
{
    input_.reset(new (std::nothrow) unsigned char[static_cast<size_t>(InputBlockSize)]);
    if (!input_)
        throw EDecompressionError(kZlibError);
    zs_.zalloc = Z_NULL;
    zs_.zfree = Z_NULL;
    zs_.opaque = Z_NULL;
    zs_.next_in = input_.get();
    zs_.avail_in = 0;
    if (inflateInit(&zs_) != Z_OK)
        throw EDecompressionError(kZlibError);
}

TDecompressionStream::~TDecompressionStream()
{
    inflateEnd(&zs_);
}

long long TDecompressionStream::FetchBytes(void* buffer, long long count)
{
    if (count <= 0)
        return 0;
    if (source_.Position() != sourcePos_)
        source_.SetPosition(sourcePos_);
    unsigned char* out = static_cast<unsigned char*>(buffer);
    long long total = 0;
    while (total < count && !ended_) {
        if (zs_.avail_in == 0) {
            const long long got = source_.Read(input_.get(), InputBlockSize);
            if (got <= 0)
                break;  // the compressed data ends here: a short read
            zs_.next_in = input_.get();
            zs_.avail_in = static_cast<uInt>(got);
            sourcePos_ += got;
        }
        const uInt room = static_cast<uInt>(std::min(count - total, kMaxInflateChunk));
        const uInt inBefore = zs_.avail_in;
        zs_.next_out = out + total;
        zs_.avail_out = room;
        const int result = inflate(&zs_, Z_NO_FLUSH);
        const long long made = static_cast<long long>(room - zs_.avail_out);
        total += made;
        produced_ += made;
        if (result == Z_STREAM_END) {
            // Whatever follows the zlib stream in source is not ours; asking inflate again
            // would only repeat this answer.
            ended_ = true;
        } else if (result == Z_BUF_ERROR) {
            // No progress: fine when the input is used up (the next round reads more or ends
            // the read); with input left it could only go round for ever.
            if (zs_.avail_in != 0 && zs_.avail_in == inBefore && made == 0)
                throw ECompressionError(kZlibError);
        } else if (result != Z_OK) {
            // Corrupt data, a preset dictionary we do not have, a failed checksum.
            throw ECompressionError(kZlibError);
        }
    }
    return total;
}

long long TDecompressionStream::StoreBytes(const void*, long long)
{
    throw EDecompressionError(kInvalidOperation);
}

long long TDecompressionStream::MovePosition(long long offset, TSeekOrigin origin)
{
    if (offset == 0 && origin == soFromBeginning) {
        // Start over from the first compressed byte (where the reader was made), not from
        // source's position 0, which may hold a header in front of the zlib stream.
        if (inflateReset(&zs_) != Z_OK)
            throw EDecompressionError(kZlibError);
        zs_.next_in = input_.get();
        zs_.avail_in = 0;
        ended_ = false;
        produced_ = 0;
        sourcePos_ = sourceStart_;
        source_.SetPosition(sourceStart_);
    } else if ((origin == soFromCurrent && offset >= 0) ||
               (origin == soFromBeginning && offset > produced_)) {
        long long skip = origin == soFromCurrent ? offset : offset - produced_;
        unsigned char discard[SkipBlockSize];
        for (; skip >= SkipBlockSize; skip -= SkipBlockSize)
            ReadBuffer(discard, SkipBlockSize);
        ReadBuffer(discard, skip);
    } else {
        throw EDecompressionError(kInvalidOperation);
    }
    return produced_;
}
