// Reader of the "ZLIBCompress" container: a 13-byte signature ("ZLIBCompress" and 0x1A), the
// inflated length as a little-endian signed 32-bit integer, then one zlib stream.
#pragma once
#include <zlib.h>

#include <memory>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"

TK_DECLARE_ERROR(EZlibError, Exception);
TK_DECLARE_ERROR(EDecompressionError, EZlibError);  // cannot start; unsupported operation
TK_DECLARE_ERROR(ECompressionError, EZlibError);    // corrupt data found while reading

// True when source carries the signature at its position: declaredLength is set and source is
// left just after the 17-byte header. False (declaredLength untouched, source back where it
// was) when fewer than 13 bytes are there or they differ. A signature without its 4 length
// bytes is a cut-off container, not plain data: that fails with EReadError. On any error the
// position is put back before the error goes on.
bool ReadCompressHeader(TStream& source, int& declaredLength);

// Inflates exactly declaredLength bytes of the zlib stream at source's position into dest at
// dest's position. Data that ends early fails with EReadError, corrupt data with
// ECompressionError "error"; a length of 0 with EDecompressionError "Invalid stream
// operation", a negative one with EReadError. Source is left wherever the inflater stopped.
void DecompressToStream(TStream& source, TStream& dest, int declaredLength);

// As DecompressToStream, for a result that is to be taken as sound: it then inflates on to
// the end of the zlib stream, where zlib compares the stream's own Adler-32 with what it
// inflated. Content beyond the declared length, or a checksum that differs, fails with
// ECompressionError "error"; a stream that ends before its checksum with EReadError. Bytes
// after the end of the zlib stream are not looked at.
void DecompressWholeStream(TStream& source, TStream& dest, int declaredLength);

// The most bytes that `compressedBytes` bytes of a zlib stream can inflate to. Deflate's best
// case is a 258-byte copy for two bits, so 1,032 bytes for every byte of input.
long long MaxInflatedSize(long long compressedBytes);

// Read-only stream of the bytes a zlib stream inflates to. It takes compressed input from
// source in blocks of up to InputBlockSize bytes, starting at source's position when it is
// made, and puts source back after the bytes it has taken before every read, so others may
// move source in between. Position is the count of bytes produced. Seeking to 0 starts over;
// seeking forward inflates and discards; writing, asking for the size and every other seek
// fail with EDecompressionError "Invalid stream operation".
class TDecompressionStream : public TStream {
public:
    explicit TDecompressionStream(TStream& source);
    ~TDecompressionStream() override;

    // True once the zlib stream has been inflated to its end and its checksum has matched.
    bool Ended() const { return ended_; }

    static constexpr long long InputBlockSize = 65536;
    static constexpr long long SkipBlockSize = 4096;

protected:
    long long FetchBytes(void* buffer, long long count) override;
    long long StoreBytes(const void* buffer, long long count) override;
    long long MovePosition(long long offset, TSeekOrigin origin) override;

private:
    TStream& source_;
    long long sourceStart_;  // first byte of the zlib stream in source
    long long sourcePos_;    // just after the compressed bytes taken so far
    long long produced_ = 0;
    bool ended_ = false;     // the zlib stream is complete; no more output can come
    std::unique_ptr<unsigned char[]> input_;
    z_stream zs_{};
};
