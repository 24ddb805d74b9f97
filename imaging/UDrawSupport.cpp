#include "imaging/UDrawSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "toolkit/core/Errors.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/Streams.h"
#include "toolkit/graphics/Bitmap.h"

namespace {

// A logical palette with room for 256 entries, in the layout CreatePalette reads.
struct TLogPalette256 {
    WORD version = 0x300;
    WORD count = 0;
    PALETTEENTRY entries[256] = {};
};
static_assert(sizeof(TLogPalette256) == 4 + 256 * sizeof(PALETTEENTRY));

HPALETTE CreateFrom(const TLogPalette256& log)
{
    return ::CreatePalette(reinterpret_cast<const LOGPALETTE*>(&log));
}

// The default palette, made by StartDrawSupport and deleted by EndDrawSupport.
unique_hpalette& DefaultPaletteSlot()
{
    static unique_hpalette slot;
    return slot;
}

// IsWinNT's answer while a test overrides it: 0 or 1; -1 while none does.
constinit int familyOverride = -1;

// Remaps a bitmap's own device context so that its whole logical extent, (0, 0) to
// (width, height), covers the device pixels of `part`, and maps it back when it goes.
class TPartMapping {
public:
    TPartMapping(TCanvas& own, const RECT& part, int width, int height) : own_(own), dc_(own.Handle())
    {
        ::SetViewportOrgEx(dc_, part.left, part.top, &oldOrigin_);
        oldMode_ = ::SetMapMode(dc_, MM_ANISOTROPIC);
        ::SetViewportExtEx(dc_, part.right - part.left, part.bottom - part.top, &oldViewportExtent_);
        ::SetWindowExtEx(dc_, width, height, &oldWindowExtent_);
    }
    ~TPartMapping()
    {
        // A draw that gave the bitmap's device context back took the mapping with it.
        if (!own_.HandleAllocated() || own_.Handle() != dc_)
            return;
        ::SetViewportExtEx(dc_, oldViewportExtent_.cx, oldViewportExtent_.cy, nullptr);
        ::SetWindowExtEx(dc_, oldWindowExtent_.cx, oldWindowExtent_.cy, nullptr);
        ::SetViewportOrgEx(dc_, oldOrigin_.x, oldOrigin_.y, nullptr);
        ::SetMapMode(dc_, oldMode_);
    }
    TPartMapping(const TPartMapping&) = delete;
    TPartMapping& operator=(const TPartMapping&) = delete;

private:
    TCanvas& own_;
    HDC dc_;
    POINT oldOrigin_{};
    int oldMode_ = MM_TEXT;
    SIZE oldViewportExtent_{};
    SIZE oldWindowExtent_{};
};

bool SameColor(const PALETTEENTRY& a, const PALETTEENTRY& b)
{
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

uint32_t Le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool RectIsEmpty(const RECT& r)
{
    return r.right == r.left || r.top == r.bottom;
}

void StretchDrawPart(TCanvas& canvas, const RECT& dest, TBitmap& bitmap, const RECT& src)
{
    if (RectIsEmpty(dest) || RectIsEmpty(src))
        return;
    if (src.left == 0 && src.top == 0 && src.right == bitmap.Width() && src.bottom == bitmap.Height()) {
        canvas.RenderScaled(dest, &bitmap);
        return;
    }
    // The bitmap draws its whole logical extent out of its own device context.
    const TPartMapping mapping(bitmap.Canvas(), src, bitmap.Width(), bitmap.Height());
    canvas.RenderScaled(dest, &bitmap);
}

int ScreenColorDepth()
{
    WindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES);
}

bool IsPaletteDevice()
{
    return ScreenColorDepth() <= 8;
}

bool IsWinNT()
{
    // Asked once, at the first call, which the start-up steps make.
    static const DWORD platform = [] {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated for version numbers; the platform is what we ask
#endif
        const BOOL asked = ::GetVersionExW(&version);
        return asked ? version.dwPlatformId : 0UL;
    }();
    return familyOverride < 0 ? platform == VER_PLATFORM_WIN32_NT : familyOverride == 1;
}

TPlatformFamilyOverride::TPlatformFamilyOverride(bool winNT) : previous_(familyOverride)
{
    familyOverride = winNT ? 1 : 0;
}

TPlatformFamilyOverride::~TPlatformFamilyOverride()
{
    familyOverride = previous_;
}

void FixPalette(HPALETTE palette, bool blackWhite, int size)
{
    if (!palette || size < 1)
        return;
    size = std::min(size, 256);
    WORD count = 0;
    if (::GetObjectW(palette, sizeof count, &count) != sizeof count)
        return;
    // All of the palette's entries are looked at: colours past the 256th fill the room that
    // duplicates before them left.
    std::vector<PALETTEENTRY> own(count);
    const UINT ownCount = count ? ::GetPaletteEntries(palette, 0, count, own.data()) : 0;

    std::vector<PALETTEENTRY> list;
    list.reserve(256);
    if (blackWhite) {
        list.push_back({0, 0, 0, 0});
        list.push_back({255, 255, 255, 0});
    } else {
        PALETTEENTRY stock[256];
        const UINT n = ::GetPaletteEntries(static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)), 0, 256, stock);
        for (UINT i = 0; i < n && i < 256; ++i)
            list.push_back(stock[i]);
    }
    const int seeds = static_cast<int>(list.size());
    const auto listed = [&](const PALETTEENTRY& e) {
        return std::any_of(list.begin(), list.end(), [&](const PALETTEENTRY& l) { return SameColor(l, e); });
    };
    for (UINT i = 0; i < ownCount && static_cast<int>(list.size()) < size; ++i)
        if (!listed(own[i]))
            list.push_back(own[i]);
    // Fillers differ in blue only; one turn of the 256 blue values finds every one missing.
    PALETTEENTRY filler{0, 0, 0, 0};
    for (int step = 0; step < 256 && static_cast<int>(list.size()) < size; ++step) {
        ++filler.peBlue;
        if (!listed(filler))
            list.push_back(filler);
    }

    // First half of the seeds, the palette's colours and fillers, second half of the seeds.
    const int half = seeds / 2;
    PALETTEENTRY result[256] = {};
    const auto put = [&](int index, int from) {
        if (index >= 0 && index < size && from < static_cast<int>(list.size()))
            result[index] = list[from];
    };
    for (int i = 0; i < half; ++i)
        put(i, i);
    for (int i = seeds; i < size; ++i)
        put(half + i - seeds, i);
    for (int i = half; i < 2 * half; ++i)
        put(size - half + (i - half), i);
    ::ResizePalette(palette, static_cast<UINT>(size));
    ::SetPaletteEntries(palette, 0, static_cast<UINT>(size), result);
}

HPALETTE GetDefaultPalette()
{
    return DefaultPaletteSlot().get();
}

HPALETTE LoadPaletteResource(HMODULE module, const wchar_t* name, const wchar_t* type)
{
    if (!::FindResourceW(module, name, type))
        return nullptr;
    try {
        TResourceStream stream(module, name, type);
        return ReadPaletteStream(stream);
    } catch (const Exception&) {
        return nullptr;
    }
}

HPALETTE ReadPaletteStream(TStream& stream)
{
    uint8_t header[20];
    if (stream.Read(header, sizeof header) != sizeof header)
        return nullptr;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "PAL data", 8) != 0)
        return nullptr;
    // The chunk is read whole into a logical palette of at most 256 entries; a chunk that
    // does not fit, or does not hold the entries it counts, is no palette of ours.
    const uint32_t chunkSize = Le32(header + 16);
    TLogPalette256 log;
    if (chunkSize < 4 || chunkSize > sizeof log)
        return nullptr;
    if (stream.Read(&log, chunkSize) != static_cast<long long>(chunkSize))
        return nullptr;
    if (4 + 4 * static_cast<uint32_t>(log.count) > chunkSize)
        return nullptr;
    return CreateFrom(log);
}

HPALETTE CreateHalftonePaletteCopy()
{
    WindowDC screen(nullptr);
    TLogPalette256 log;
    {
        unique_hpalette halftone(::CreateHalftonePalette(screen.get()));
        if (halftone)
            log.count = static_cast<WORD>(::GetPaletteEntries(halftone.get(), 0, 256, log.entries));
    }
    return CreateFrom(log);
}

void StartDrawSupport()
{
    unique_hpalette palette(LoadPaletteResource(::GetModuleHandleW(nullptr), L"DefaultPalette", L"Palette"));
    if (!palette)
        palette.reset(CreateHalftonePaletteCopy());
    FixPalette(palette.get(), false, 256);
    if (palette) {
        // Realised once as a background palette, so the screen has its colours before any
        // control paints with it.
        WindowDC screen(nullptr);
        if (screen.get()) {
            const PaletteGuard select(screen.get(), palette.get(), true);
            ::RealizePalette(screen.get());
        }
    }
    DefaultPaletteSlot() = std::move(palette);
}

void EndDrawSupport()
{
    DefaultPaletteSlot().reset();
}
