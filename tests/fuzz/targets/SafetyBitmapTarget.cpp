#include <windows.h>
#include <zlib.h>

#include <cstring>

#include "imaging/UDrawSupport.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"
#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Errors.h"

namespace {

// A copy of the input that ends where an unreadable page begins: a read past its end, by us or
// by the system decoding run-length data in place, crashes at once instead of going unseen.
class TGuardedBytes {
public:
    TGuardedBytes(const uint8_t* data, size_t size)
    {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        const size_t room = (size + page - 1) / page * page;
        block_ = static_cast<uint8_t*>(::VirtualAlloc(nullptr, room + page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        ::VirtualProtect(block_ + room, page, PAGE_NOACCESS, &old);
        bytes_ = block_ + room - size;
        if (size)
            std::memcpy(bytes_, data, size);
    }
    ~TGuardedBytes() { ::VirtualFree(block_, 0, MEM_RELEASE); }
    TGuardedBytes(const TGuardedBytes&) = delete;
    TGuardedBytes& operator=(const TGuardedBytes&) = delete;
    const uint8_t* Bytes() const { return bytes_; }

private:
    uint8_t* block_;
    uint8_t* bytes_;
};

// The same bytes as a stream that does not hold them in memory, as a file would be: run-length
// files are then copied before decoding.
class TOutsideStream : public TStream {
public:
    TOutsideStream(const uint8_t* data, size_t size) : view_(data, size) {}

protected:
    long long FetchBytes(void* buffer, long long count) override { return view_.Read(buffer, count); }
    long long StoreBytes(const void* buffer, long long count) override { return view_.Write(buffer, count); }
    long long MovePosition(long long offset, TSeekOrigin origin) override { return view_.Seek(offset, origin); }

private:
    TByteViewStream view_;
};

FuzzBytes Compressed(const FuzzBytes& file)
{
    FuzzBytes out{'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
    PutLE(out, file.size(), 4);
    uLongf size = compressBound(static_cast<uLong>(file.size()));
    FuzzBytes zlib(size);
    compress2(zlib.data(), &size, file.data(), static_cast<uLong>(file.size()), 9);
    out.insert(out.end(), zlib.begin(), zlib.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
}

// A 6 x 3 picture with rows that need padding; `colors` table entries for palette depths.
BmpSpec Picture(uint16_t bits, int colors)
{
    BmpSpec s;
    s.width = 6;
    s.height = 3;
    s.bitCount = bits;
    for (int y = 0; y < 3; ++y) {
        std::vector<uint8_t> row((6 * bits + 7) / 8);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<uint8_t>(i * 53 + y * 17);
        s.rows.push_back(row);
    }
    for (int i = 0; i < colors; ++i)
        s.table.push_back({static_cast<BYTE>(i * 7), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0});
    return s;
}

// Runs, pixels as they are (odd counts, so padded), moves, ends of lines and the end of data.
FuzzBytes RunLength(uint16_t bits, int colors)
{
    BmpSpec s = Picture(bits, colors);
    s.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    s.rows.clear();
    const FuzzBytes coded = bits == 8
        ? FuzzBytes{3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 1, 6, 7, 0, 0, 2, 5, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1}
        : FuzzBytes{3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 1, 1, 5, 0x67, 0, 0, 6, 0x89, 0, 1};
    s.sizeImage = static_cast<int64_t>(coded.size());
    FuzzBytes file = BmpFile(s);
    file.insert(file.end(), coded.begin(), coded.end());
    return file;
}

// The fields the loader reads: bits offset, width, height, bit count, compression, image size
// and colours used.
const std::vector<SizeField> kHeaderFields = {{10, 4}, {18, 4}, {22, 4}, {28, 2}, {30, 4}, {34, 4}, {46, 4}};

}  // namespace

void FuzzSafetyBitmap(const uint8_t* data, size_t size)
{
    const TGuardedBytes guarded(data, size);
    try {
        TSafetyBitmap bitmap;
        if (size % 2 == 0) {
            TByteViewStream stream(guarded.Bytes(), size);
            bitmap.LoadStream(stream);
        } else {
            TOutsideStream stream(guarded.Bytes(), size);
            bitmap.LoadStream(stream);
        }
        // Drawn plainly and transparently, by either platform family's way. Drawing takes the
        // system time in proportion to the picture, and a few bytes of run-length data may
        // make one of 32,767 x 32,767 pixels: those are only read.
        if (static_cast<long long>(bitmap.Width()) * bitmap.Height() > (1 << 24))
            return;
        const TPlatformFamilyOverride family(size % 4 < 2);
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &bitmap);
        bitmap.SetTransparent(true);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &bitmap);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> SafetyBitmapSeeds()
{
    BmpSpec noSize = Picture(24, 0);
    noSize.sizeImage = 0;
    const FuzzBytes plain8 = BmpFile(Picture(8, 256));
    const FuzzBytes shortTable = BmpFile(Picture(8, 20));
    const FuzzBytes rle8 = RunLength(8, 12);
    // Plain, repaired (no image size; 20 of 256 colours), run-length (RLE8 with a short table,
    // RLE4), and each kind compressed, whose only field in reach is the declared length.
    std::vector<FuzzSeed> seeds;
    for (const FuzzBytes& file : {BmpFile(Picture(24, 0)), plain8, BmpFile(Picture(4, 16)), BmpFile(noSize), shortTable,
                                  rle8, RunLength(4, 16)})
        seeds.push_back({file, kHeaderFields});
    for (const FuzzBytes& file : {plain8, shortTable, rle8})
        seeds.push_back({Compressed(file), {{13, 4}}});
    return seeds;
}

void FuzzBitmapResource(const uint8_t* data, size_t size)
{
    const TGuardedBytes guarded(data, size);
    try {
        TPictureEx picture;
        TResourceImageLoader loader(&picture);
        TByteViewStream stream(guarded.Bytes(), size);
        loader.LoadBitmapResource(stream);
        if (static_cast<long long>(picture.Width()) * picture.Height() > (1 << 24))
            return;  // only read, as above
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, picture.Graphic());
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> BitmapResourceSeeds()
{
    BmpSpec masks = Picture(16, 0);
    masks.compression = BI_BITFIELDS;
    masks.writeMasks = true;
    BmpSpec core = Picture(8, 256);
    core.headerSize = 12;
    // Info-header size, width, height, bit count, compression, image size and colours used, as a
    // bitmap resource holds them: without the file header.
    const std::vector<SizeField> fields = {{0, 4}, {4, 4}, {8, 4}, {14, 2}, {16, 4}, {20, 4}, {32, 4}};
    std::vector<FuzzSeed> seeds;
    for (const FuzzBytes& file : {BmpFile(Picture(24, 0)), BmpFile(Picture(8, 20)), BmpFile(Picture(4, 16)),
                                  BmpFile(masks), BmpFile(core), RunLength(8, 12), RunLength(4, 16)})
        seeds.push_back({FuzzBytes(file.begin() + 14, file.end()), fields});
    return seeds;
}
