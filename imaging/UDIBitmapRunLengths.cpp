#include "imaging/UDIBitmapRunLengths.h"

namespace {

// Writes pixels into one image, ignoring those outside it.
class TPixelSink {
public:
    TPixelSink(int bitCount, int width, int height, uint8_t* pixels, size_t stride)
        : bitCount_(bitCount), width_(width), height_(height), pixels_(pixels), stride_(stride) {}

    void Put(long long x, long long y, unsigned value) const
    {
        if (x < 0 || x >= width_ || y < 0 || y >= height_)
            return;
        uint8_t* row = pixels_ + static_cast<size_t>(y) * stride_;
        if (bitCount_ == 8) {
            row[x] = static_cast<uint8_t>(value);
            return;
        }
        uint8_t& pair = row[x / 2];
        pair = x % 2 == 0 ? static_cast<uint8_t>((pair & 0x0F) | (value << 4))
                          : static_cast<uint8_t>((pair & 0xF0) | (value & 0x0F));
    }

private:
    int bitCount_;
    long long width_, height_;
    uint8_t* pixels_;
    size_t stride_;
};

}  // namespace

void DecodeRunLengths(const uint8_t* data, size_t size, int bitCount, int width, int height, uint8_t* pixels,
                      size_t stride)
{
    const TPixelSink sink(bitCount, width, height, pixels, stride);
    const bool four = bitCount == 4;
    long long x = 0, y = 0;  // y counts rows from the bottom
    size_t at = 0;
    while (at + 2 <= size && y < height) {
        const unsigned count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            // A run: one index, or two alternating ones for 4 bits.
            for (unsigned i = 0; i < count; ++i)
                sink.Put(x + i, y, four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            x += count;
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of the image
            return;
        case 2:  // delta: right and up
            if (at + 2 > size)
                return;
            x += data[at];
            y += data[at + 1];
            at += 2;
            break;
        default: {  // absolute: `value` indexes as they stand, the bytes padded to 16 bits
            const size_t bytes = four ? (value + 1) / 2 : value;
            for (unsigned i = 0; i < value; ++i) {
                const size_t byte = at + (four ? i / 2 : i);
                if (byte >= size)
                    return;
                sink.Put(x + i, y, four ? (i % 2 == 0 ? data[byte] >> 4 : data[byte] & 0x0F) : data[byte]);
            }
            x += value;
            at += bytes + bytes % 2;
            break;
        }
        }
    }
}
