// Resource streams: one resource, out of an external resource file beside the program or out
// of the program's own resources.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/core/Streams.h"

namespace uresconst {
inline constexpr const wchar_t* SCannotOpenFile = L"ﾌｧｲﾙ %s は開けません";
}  // namespace uresconst

// Resource types are strings or ordinals made with MAKEINTRESOURCEW (RT_BITMAP, RT_ICON);
// names are strings.
//
// When fileName names an existing file, the resource is looked up in it (FindInResFile) and
// its bytes are copied into memory: the stream reads and writes that copy, and the file is
// closed again before the constructor returns. Otherwise the stream is the toolkit's
// read-only view of the resource in the program's own module, without a copy; a missing
// resource raises EResNotFound with "%s ﾘｿｰｽが見つかりません", writing raises EStreamError
// with "読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません". Resizing does nothing.
class TResStream : public TStream {
public:
    TResStream(const std::wstring& fileName, const wchar_t* resType, const std::wstring& resName);
    ~TResStream() override;

protected:
    long long FetchBytes(void* buffer, long long count) override;
    long long StoreBytes(const void* buffer, long long count) override;
    long long MovePosition(long long offset, TSeekOrigin origin) override;

private:
    std::unique_ptr<TStream> inner_;
};

// Finds the first entry of type resType and name resName in a 32-bit resource file and
// appends its data to dest.
//
// The file is read in one forward scan. Each entry holds its data size D and header size H
// (from the entry's start), then its type and name (0xFFFF and a 16-bit ordinal, or a string
// ended by a 0 unit), then the rest of its header; its data follows at H rounded up to 4, and
// the next entry at that plus D rounded up to 4. A non-matching entry is skipped by these
// sizes from its start, however far its identifiers were read. Names compare without regard
// to case and whole ("LOGO" never matches "LOGOINFO"); an ordinal never matches a name, so the
// customary empty first entry (type and name ordinal 0) never matches.
//
// Errors: a file that cannot be opened raises EFOpenError with "ﾌｧｲﾙ %s は開けません"; a
// file cut inside an entry's sizes or its type ordinal, an entry whose header size is smaller
// than its two size fields (which could make the scan stand still), and a matching entry whose
// data reaches beyond the end of the file raise EReadError with "ｽﾄﾘｰﾑからの読み込みｴﾗｰ",
// before anything is allocated for the data. Another entry reaching beyond the end ends the
// scan. No matching entry raises EResNotFound with "%s ﾘｿｰｽが見つかりません" and the name. The
// file is closed on every path.
void FindInResFile(TStream& dest, const std::wstring& fileName, const wchar_t* resType, const std::wstring& resName);

// Reads one identifier field at the stream's position and tells whether it is `id`. An
// ordinal reads 4 bytes, and raises EReadError when the stream ends first. A name of n
// characters reads n + 1 units; when the stream ends first it does not match.
bool MatchId(TStream& stream, const wchar_t* id);
