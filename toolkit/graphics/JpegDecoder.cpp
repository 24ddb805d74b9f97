#include "toolkit/graphics/JpegDecoder.h"

#include <windows.h>

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "toolkit/core/ToolkitTexts.h"

namespace {

// Progressive pictures are decoded scan by scan, and a hostile file can pack thousands of empty
// scans into a few kilobytes, each costing a pass over the whole picture. Encoders write about
// ten; more than this is taken for an attack.
constexpr int kMaxScans = 200;
// libjpeg's own working memory (whole-picture coefficient buffers of progressive pictures);
// within kJpegMaxPixels even a four-component picture needs less than this.
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;

enum class Failure { None, Invalid, TooLarge };

// libjpeg's error hooks. A fatal error must not end the process, and must not return to
// libjpeg either: it jumps back to the guarded call that set `jump`. Warnings are only counted
// (libjpeg counts them itself), never printed.
struct ErrorHooks {
    jpeg_error_mgr pub;  // first: the hooks find the rest through cinfo->err
    std::jmp_buf jump;
    Failure failure;
};

[[noreturn]] void Fail(j_common_ptr cinfo, Failure failure)
{
    ErrorHooks* hooks = reinterpret_cast<ErrorHooks*>(cinfo->err);
    hooks->failure = failure;
    std::longjmp(hooks->jump, 1);
}

void OnFatalError(j_common_ptr cinfo)
{
    const int code = cinfo->err->msg_code;
    Fail(cinfo, code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE ? Failure::TooLarge : Failure::Invalid);
}

void OnMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        Fail(cinfo, Failure::Invalid);
}

// One decompression, destroyed on every path.
struct Session {
    jpeg_decompress_struct cinfo{};
    ErrorHooks hooks{};
    jpeg_progress_mgr progress{};

    Session()
    {
        cinfo.err = jpeg_std_error(&hooks.pub);
        hooks.pub.error_exit = OnFatalError;
        hooks.pub.output_message = OnMessage;
        progress.progress_monitor = OnProgress;
    }
    ~Session() { jpeg_destroy_decompress(&cinfo); }  // safe on a struct never created
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The guarded calls: a fatal error inside leaves them by longjmp, so only plain C data may live
// in their frames (no object with a destructor, no local changed after setjmp and read after).

bool GuardedReadHeader(Session& s, const unsigned char* data, unsigned long size)
{
    if (setjmp(s.hooks.jump))
        return false;
    jpeg_create_decompress(&s.cinfo);  // clears the whole struct but for err
    s.cinfo.progress = &s.progress;
    s.cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    jpeg_mem_src(&s.cinfo, data, size);
    jpeg_read_header(&s.cinfo, TRUE);
    return true;
}

// CMYK as libjpeg hands it over (stored inverted when the file carries an Adobe marker, as
// Adobe's programs write it) to blue, green, red.
void CmykToBgr(const unsigned char* cmyk, unsigned char* bgr, unsigned width, bool inverted)
{
    for (unsigned x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<unsigned char>((y * k + 127) / 255);
        bgr[1] = static_cast<unsigned char>((m * k + 127) / 255);
        bgr[2] = static_cast<unsigned char>((c * k + 127) / 255);
    }
}

bool GuardedDecode(Session& s, unsigned char* top, int stride, unsigned char* cmykRow)
{
    if (setjmp(s.hooks.jump))
        return false;
    jpeg_start_decompress(&s.cinfo);
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        unsigned char* row = top + static_cast<size_t>(s.cinfo.output_scanline) * static_cast<size_t>(stride);
        JSAMPROW target = cmykRow ? cmykRow : row;
        if (jpeg_read_scanlines(&s.cinfo, &target, 1) != 1)
            ERREXIT(&s.cinfo, JERR_INPUT_EOF);  // a memory source never suspends; keep it so
        if (cmykRow)
            CmykToBgr(cmykRow, row, s.cinfo.output_width, s.cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

[[noreturn]] void Raise(const Session& s)
{
    throw EJPEG(s.hooks.failure == Failure::TooLarge ? tkconst::SJPEGTooLarge : tkconst::SJPEGInvalid);
}

void ReadHeader(Session& s, const void* data, size_t size)
{
    // jpeg_mem_src takes an unsigned long, 32 bits on Windows.
    if (size > ULONG_MAX)
        throw EJPEG(tkconst::SJPEGTooLarge);
    if (!GuardedReadHeader(s, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size)))
        Raise(s);
}

}  // namespace

int JpegRowBytes(int width)
{
    return (width * 3 + 3) & ~3;
}

TJpegInfo ReadJpegInfo(const void* data, size_t size)
{
    Session s;
    ReadHeader(s, data, size);
    return {static_cast<int>(s.cinfo.image_width), static_cast<int>(s.cinfo.image_height), s.cinfo.num_components};
}

int DecodeJpegInto(const void* data, size_t size, const TJpegTarget& target)
{
    Session s;
    ReadHeader(s, data, size);
    jpeg_decompress_struct& cinfo = s.cinfo;
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        cinfo.out_color_space = JCS_EXT_BGR;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK;
        break;
    default:  // two components, or five and more: nothing we could show
        throw EJPEG(tkconst::SJPEGInvalid);
    }
    // libjpeg has already refused a zero or over-65500 side.
    if (static_cast<long long>(cinfo.image_width) * cinfo.image_height > kJpegMaxPixels)
        throw EJPEG(tkconst::SJPEGTooLarge);

    const TJpegInfo info{static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height), cinfo.num_components};
    const int stride = JpegRowBytes(info.Width);
    std::vector<unsigned char> cmykRow;
    unsigned char* top = nullptr;
    try {
        if (cinfo.out_color_space == JCS_CMYK)
            cmykRow.resize(static_cast<size_t>(info.Width) * 4);
        top = target(info, stride);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(tkconst::SOutOfMemory);
    }
    if (!top)
        throw EOutOfMemory(tkconst::SOutOfMemory);
    if (!GuardedDecode(s, top, stride, cmykRow.empty() ? nullptr : cmykRow.data()))
        Raise(s);
    return static_cast<int>(s.hooks.pub.num_warnings);
}

TJpegPixels DecodeJpeg(const void* data, size_t size)
{
    TJpegPixels pixels;
    pixels.Warnings = DecodeJpegInto(data, size, [&pixels](const TJpegInfo& info, int stride) {
        pixels.Width = info.Width;
        pixels.Height = info.Height;
        pixels.Stride = stride;
        pixels.Bits.resize(static_cast<size_t>(stride) * static_cast<size_t>(info.Height));
        return pixels.Bits.data();
    });
    return pixels;
}
