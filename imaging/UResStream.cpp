#include "imaging/UResStream.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "toolkit/core/ByteOrder.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

using namespace byteorder;

constexpr long long kSizeFields = 8;  // D and H

long long RoundUp4(long long n)
{
    return (n + 3) & ~3LL;
}

[[noreturn]] void RaiseReadError()
{
    throw EReadError(tkconst::SReadError);
}

bool IsExistingFile(const std::wstring& fileName)
{
    const DWORD attributes = ::GetFileAttributesW(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool MatchId(TStream& stream, const wchar_t* id)
{
    if (IS_INTRESOURCE(id)) {
        uint8_t field[4];
        stream.ReadBuffer(field, 4);
        return field[0] == 0xFF && field[1] == 0xFF && (field[2] | field[3] << 8) == LOWORD(id);
    }
    const size_t length = std::wcslen(id);
    const long long bytes = static_cast<long long>(length + 1) * 2;
    std::vector<wchar_t> stored(length + 1);
    if (stream.Read(stored.data(), bytes) != bytes)
        return false;
    if (stored[0] == 0xFFFF)  // an ordinal
        return false;
    if (std::find(stored.begin(), stored.end(), L'\0') != stored.begin() + static_cast<std::ptrdiff_t>(length))
        return false;  // shorter, or longer than the id
    return length == 0 || ::CompareStringOrdinal(stored.data(), static_cast<int>(length), id,
                                                 static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

void FindInResFile(TStream& dest, const std::wstring& fileName, const wchar_t* resType, const std::wstring& resName)
{
    bool found = false;
    {
        unique_handle handle(::CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!handle)
            throw EFOpenError(Format(uresconst::SCannotOpenFile, {fileName}));
        THandleStream file(handle.get());
        const long long size = file.Size();
        long long start = 0;
        while (start < size) {
            uint8_t sizes[kSizeFields];
            file.ReadBuffer(sizes, kSizeFields);
            const long long dataSize = U32(sizes);
            const long long headerSize = U32(sizes + 4);
            // A header shorter than its own sizes is no entry, and sizes of 0 would stand still.
            if (headerSize < kSizeFields)
                RaiseReadError();
            const long long dataStart = start + RoundUp4(headerSize);
            if (MatchId(file, resType) && MatchId(file, resName.c_str())) {
                // Checked before anything is allocated for the data.
                if (dataStart + dataSize > size)
                    RaiseReadError();
                file.SetPosition(dataStart);
                if (auto* memory = dynamic_cast<TMemoryStream*>(&dest))
                    memory->ReadFrom(file, dataSize);  // in one read, straight into memory
                else if (dataSize > 0)  // CopyFrom takes 0 for "everything"
                    dest.CopyFrom(file, dataSize);
                found = true;
                break;
            }
            // Skipped by its sizes alone, however far its identifiers were read, and whether
            // or not its data is all there: the scan only moves forward.
            start = dataStart + RoundUp4(dataSize);
            file.SetPosition(start);
        }
    }
    if (!found)
        throw EResNotFound(Format(tkconst::SResNotFound, {resName}));
}

TResStream::TResStream(const std::wstring& fileName, const wchar_t* resType, const std::wstring& resName)
{
    if (!fileName.empty() && IsExistingFile(fileName)) {
        auto copy = std::make_unique<TMemoryStream>();
        FindInResFile(*copy, fileName, resType, resName);
        copy->SetPosition(0);
        inner_ = std::move(copy);
    } else {
        inner_ = std::make_unique<TResourceStream>(::GetModuleHandleW(nullptr), resName.c_str(), resType);
    }
}

TResStream::~TResStream() = default;

long long TResStream::FetchBytes(void* buffer, long long count)
{
    return inner_->Read(buffer, count);
}

long long TResStream::StoreBytes(const void* buffer, long long count)
{
    return inner_->Write(buffer, count);
}

long long TResStream::MovePosition(long long offset, TSeekOrigin origin)
{
    return inner_->Seek(offset, origin);
}
