// Builds BMP files byte by byte, so each test states exactly the header it needs.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "toolkit/core/ByteViewStream.h"
#include "toolkit/graphics/Bitmap.h"

inline constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0),
                          kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

inline RGBQUAD Quad(COLORREF c)
{
    return {GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

// Pixels of `bytes` bytes each, little-endian: 0xRRGGBB gives a 24-bit pixel's blue, green, red.
inline std::vector<uint8_t> Row(int bytes, std::initializer_list<uint32_t> values)
{
    std::vector<uint8_t> row;
    for (uint32_t v : values)
        for (int i = 0; i < bytes; ++i)
            row.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return row;
}

struct BmpSpec {
    uint32_t headerSize = 40;  // 12 writes a core header
    int32_t width = 2;
    int32_t height = 2;  // negative: rows top-down
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = BI_RGB;
    int64_t sizeImage = -1;   // -1: the size of the rows given
    int64_t colorsUsed = -1;  // -1: the number of table entries given, 0 when none
    std::vector<RGBQUAD> table;
    uint32_t masks[3] = {};  // inside the header from 52 bytes on, else after it
    bool writeMasks = false;
    // Pixel rows from the top, unpadded; written in the header's row order, padded to 4.
    std::vector<std::vector<uint8_t>> rows;
};

inline void PutLE(std::vector<uint8_t>& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 5 x 3 picture of that depth (rows of 5 pixels need padding at every depth).
inline BmpSpec SmallPicture(uint16_t bits, uint32_t headerSize = 40)
{
    BmpSpec s;
    s.headerSize = headerSize;
    s.bitCount = bits;
    s.width = 5;
    s.height = 3;
    const size_t rowBytes = (5 * bits + 7) / 8;
    for (int y = 0; y < 3; ++y) {
        std::vector<uint8_t> row(rowBytes);
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<uint8_t>(i * 37 + y * 11);
        s.rows.push_back(row);
    }
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); ++i)
            s.table.push_back({static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0});
    return s;
}

inline std::vector<uint8_t> BmpPixels(const BmpSpec& s)
{
    std::vector<uint8_t> pixels;
    const bool topDown = s.height < 0;
    for (size_t i = 0; i < s.rows.size(); ++i) {
        const auto& row = s.rows[topDown ? i : s.rows.size() - 1 - i];
        pixels.insert(pixels.end(), row.begin(), row.end());
        pixels.resize((pixels.size() + 3) / 4 * 4, 0);
    }
    return pixels;
}

inline std::vector<uint8_t> BmpFile(const BmpSpec& s)
{
    const std::vector<uint8_t> pixels = BmpPixels(s);
    std::vector<uint8_t> info;
    PutLE(info, s.headerSize, 4);
    if (s.headerSize == 12) {
        PutLE(info, static_cast<uint16_t>(s.width), 2);
        PutLE(info, static_cast<uint16_t>(s.height), 2);
        PutLE(info, s.planes, 2);
        PutLE(info, s.bitCount, 2);
        for (const RGBQUAD& c : s.table) {
            info.push_back(c.rgbBlue);
            info.push_back(c.rgbGreen);
            info.push_back(c.rgbRed);
        }
    } else {
        PutLE(info, static_cast<uint32_t>(s.width), 4);
        PutLE(info, static_cast<uint32_t>(s.height), 4);
        PutLE(info, s.planes, 2);
        PutLE(info, s.bitCount, 2);
        PutLE(info, s.compression, 4);
        PutLE(info, static_cast<uint32_t>(s.sizeImage >= 0 ? s.sizeImage : static_cast<int64_t>(pixels.size())), 4);
        PutLE(info, 2835, 4);
        PutLE(info, 2835, 4);
        PutLE(info, static_cast<uint32_t>(s.colorsUsed >= 0 ? s.colorsUsed : static_cast<int64_t>(s.table.size())), 4);
        PutLE(info, 0, 4);
        if (s.headerSize >= 52)
            for (uint32_t m : s.masks)
                PutLE(info, m, 4);
        info.resize(s.headerSize, 0);  // later header fields: zero
        if (s.writeMasks && s.headerSize < 52)
            for (uint32_t m : s.masks)
                PutLE(info, m, 4);
        for (const RGBQUAD& c : s.table) {
            info.push_back(c.rgbBlue);
            info.push_back(c.rgbGreen);
            info.push_back(c.rgbRed);
            info.push_back(0);
        }
    }
    std::vector<uint8_t> file{'B', 'M'};
    PutLE(file, 14 + info.size() + pixels.size(), 4);
    PutLE(file, 0, 4);
    PutLE(file, 14 + info.size(), 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// Overwrites `bytes` bytes at `offset` with a little-endian value.
inline void Patch(std::vector<uint8_t>& file, size_t offset, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A copy of `value` with `change` applied.
template <typename T, typename Change>
T With(T value, Change change)
{
    change(value);
    return value;
}

inline void LoadBmp(TBitmap& bitmap, const std::vector<uint8_t>& file)
{
    TByteViewStream stream(file.data(), file.size());
    bitmap.LoadStream(stream);
}

// A white 24-bit picture to draw on.
struct WhitePage : TBitmap {
    explicit WhitePage(int width = 10, int height = 10)
    {
        SetPixelFormat(TPixelFormat::pf24bit);
        SetSize(width, height);
    }
};
