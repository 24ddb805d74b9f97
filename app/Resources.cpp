#include "app/Resources.h"

#include <cstdint>

#include "resources/resource_ids.h"
#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ResourceText.h"

namespace {

using namespace byteorder;

int g_updateMajor = 0;
int g_updateMinor = 0;

std::wstring& TargetStorage()
{
    static std::wstring target;
    return target;
}

}  // namespace

std::unique_ptr<TStream> OpenResource(const wchar_t* type, const std::wstring& name)
{
    return std::make_unique<TResourceStream>(::GetModuleHandleW(nullptr), name.c_str(), type);
}

std::wstring LoadText(int key)
{
    return LoadResourceText(::GetModuleHandleW(nullptr), key);
}

int UpdateMajor() { return g_updateMajor; }
int UpdateMinor() { return g_updateMinor; }

void SetUpdateVersion(int major, int minor)
{
    g_updateMajor = major;
    g_updateMinor = minor;
}

void ReadUpdateVersion()
{
    unsigned char record[8];
    {
        std::unique_ptr<TStream> stream = OpenResource(RT_RCDATA, LoadText(sVersionResName));
        stream->ReadBuffer(record, sizeof record);
    }
    SetUpdateVersion(S32(record), S32(record + 4));
}

std::wstring FormatTitle()
{
    return Format(LoadText(sTitleFormat), {static_cast<long long>(g_updateMajor),
                                           static_cast<long long>(g_updateMinor)});
}

const std::wstring& UpdateTarget()
{
    return TargetStorage();
}

void SetUpdateTarget(const std::wstring& path)
{
    TargetStorage() = path;
}
