#include "toolkit/graphics/MetafilePlayback.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "toolkit/core/ByteOrder.h"

namespace {

using namespace byteorder;

constexpr long long kReach = 65536;
constexpr DWORD kSmallTextOut = 108;

LONG Clamped(long long value)
{
    return static_cast<LONG>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

struct Player {
    RECT allowed;  // the target rectangle, widened by the reach

    // Every point inside the allowed area once mapped to the device.
    bool Near(HDC dc, std::vector<POINT>& points) const
    {
        if (points.empty())
            return true;
        if (!::LPtoDP(dc, points.data(), static_cast<int>(points.size())))
            return false;
        for (const POINT& p : points)
            if (p.x < allowed.left || p.x > allowed.right || p.y < allowed.top || p.y > allowed.bottom)
                return false;
        return true;
    }
};

// A length in logical units, measured on the device along both axes.
bool SmallOnDevice(HDC dc, long long length)
{
    if (length < 0)
        length = -length;
    if (length > kReach * 64)
        return false;
    POINT p[2] = {{0, 0}, {static_cast<LONG>(length), static_cast<LONG>(length)}};
    if (!::LPtoDP(dc, p, 2))
        return false;
    return std::llabs(static_cast<long long>(p[1].x) - p[0].x) <= kReach &&
           std::llabs(static_cast<long long>(p[1].y) - p[0].y) <= kReach;
}

bool PenSmall(HDC dc)
{
    HGDIOBJ pen = ::GetCurrentObject(dc, OBJ_PEN);
    EXTLOGPEN extended{};
    LOGPEN plain{};
    if (::GetObjectW(pen, sizeof plain, &plain) == sizeof plain)
        return SmallOnDevice(dc, plain.lopnWidth.x);
    if (::GetObjectW(pen, sizeof extended, &extended) >= static_cast<int>(offsetof(EXTLOGPEN, elpNumEntries)))
        return SmallOnDevice(dc, extended.elpWidth);
    return true;
}

// The text metrics are in logical units: a font of ordinary height under a mapping that the
// metafile blows up is a font of millions of pixels on the device, which the system would
// render glyph by glyph.
bool FontSmall(HDC dc)
{
    TEXTMETRICW metrics{};
    return ::GetTextMetricsW(dc, &metrics) && SmallOnDevice(dc, metrics.tmHeight) &&
           SmallOnDevice(dc, metrics.tmMaxCharWidth);
}

void AddBox(std::vector<POINT>& points, const uint8_t* box)
{
    points.push_back({S32(box), S32(box + 4)});
    points.push_back({S32(box + 8), S32(box + 12)});
}

void AddPoints(std::vector<POINT>& points, const uint8_t* first, uint32_t count, bool small)
{
    for (uint32_t i = 0; i < count; ++i)
        points.push_back(small ? POINT{S16(first + 4 * i), S16(first + 4 * i + 2)}
                               : POINT{S32(first + 8 * i), S32(first + 8 * i + 4)});
}

void AddCurrentPosition(HDC dc, std::vector<POINT>& points)
{
    POINT at{};
    if (::GetCurrentPositionEx(dc, &at))
        points.push_back(at);
}

// Whether the record may be played. Its fields were checked against its size when the metafile
// was read.
bool Playable(HDC dc, const Player& player, const ENHMETARECORD* record)
{
    const auto* r = reinterpret_cast<const uint8_t*>(record);
    const auto u = [r](size_t at) { return static_cast<uint32_t>(S32(r + at)); };
    std::vector<POINT> points;
    bool pen = true, font = false;
    switch (record->iType) {
    case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
        AddCurrentPosition(dc, points);
        [[fallthrough]];
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYDRAW:
        AddPoints(points, r + 28, u(24), false);
        break;
    case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
        AddCurrentPosition(dc, points);
        [[fallthrough]];
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYDRAW16:
        AddPoints(points, r + 28, u(24), true);
        break;
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON:
        AddPoints(points, r + 32 + 4 * static_cast<size_t>(u(24)), u(28), false);
        break;
    case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
        AddPoints(points, r + 32 + 4 * static_cast<size_t>(u(24)), u(28), true);
        break;
    case EMR_ARCTO:
        AddCurrentPosition(dc, points);
        [[fallthrough]];
    case EMR_ELLIPSE: case EMR_RECTANGLE: case EMR_ROUNDRECT: case EMR_ARC: case EMR_CHORD: case EMR_PIE:
        AddBox(points, r + 8);
        break;
    case EMR_ANGLEARC: {
        const long long x = S32(r + 8), y = S32(r + 12), radius = u(16);
        if (!SmallOnDevice(dc, radius))
            return false;
        points.push_back({static_cast<LONG>(x), static_cast<LONG>(y)});
        break;
    }
    case EMR_LINETO:
        AddCurrentPosition(dc, points);
        points.push_back({S32(r + 8), S32(r + 12)});
        break;
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW:
        points.push_back({S32(r + 36), S32(r + 40)});
        pen = false;
        font = true;
        break;
    case EMR_POLYTEXTOUTA: case EMR_POLYTEXTOUTW: case kSmallTextOut:
        pen = false;
        font = true;
        break;
    case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_MASKBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT:
        points.push_back({S32(r + 24), S32(r + 28)});
        points.push_back({Clamped(S32(r + 24) + static_cast<long long>(S32(r + 32))),
                          Clamped(S32(r + 28) + static_cast<long long>(S32(r + 36)))});
        pen = false;
        break;
    case EMR_PLGBLT:
        AddPoints(points, r + 24, 3, false);
        pen = false;
        break;
    case EMR_STRETCHDIBITS:
        points.push_back({S32(r + 24), S32(r + 28)});
        points.push_back({Clamped(S32(r + 24) + static_cast<long long>(S32(r + 72))),
                          Clamped(S32(r + 28) + static_cast<long long>(S32(r + 76)))});
        pen = false;
        break;
    case EMR_SETDIBITSTODEVICE:
        points.push_back({S32(r + 24), S32(r + 28)});
        pen = false;
        break;
    case EMR_FILLRGN: case EMR_FRAMERGN: case EMR_INVERTRGN: case EMR_PAINTRGN: {
        const size_t data = record->iType == EMR_FILLRGN ? 32 : record->iType == EMR_FRAMERGN ? 40 : 28;
        AddBox(points, r + data + 16);
        if (record->iType == EMR_FRAMERGN && (!SmallOnDevice(dc, S32(r + 32)) || !SmallOnDevice(dc, S32(r + 36))))
            return false;
        pen = false;
        break;
    }
    case EMR_GRADIENTFILL:
        for (uint32_t i = 0; i < u(24); ++i)
            points.push_back({S32(r + 36 + 16 * i), S32(r + 40 + 16 * i)});
        pen = false;
        break;
    case EMR_STROKEPATH: case EMR_STROKEANDFILLPATH:
        break;  // the path's points were looked at as it was made
    default:
        return true;
    }
    return player.Near(dc, points) && (!pen || PenSmall(dc)) && (!font || FontSmall(dc));
}

int CALLBACK PlayRecord(HDC dc, HANDLETABLE* table, const ENHMETARECORD* record, int handles, LPARAM data)
{
    try {
        if (Playable(dc, *reinterpret_cast<const Player*>(data), record))
            ::PlayEnhMetaFileRecord(dc, table, record, static_cast<UINT>(handles));
        return 1;
    } catch (...) {  // no exception crosses the system's callback: the rest is left unplayed
        return 0;
    }
}

}  // namespace

void PlayMetafileInto(HDC dc, HENHMETAFILE metafile, const RECT& rect)
{
    Player player{{Clamped(rect.left - kReach), Clamped(rect.top - kReach), Clamped(rect.right + kReach),
                   Clamped(rect.bottom + kReach)}};
    ::EnumEnhMetaFile(dc, metafile, &PlayRecord, &player, &rect);
}
