// Replacing a file's content without ever leaving it half written: the new bytes go to a
// temporary file in the same folder, are flushed to the disk, and only then take the file's
// place in one step.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

// Makes `target` hold exactly `size` bytes from `data` (an existing file of any length is
// replaced, a missing one is created). The new file keeps the old one's attributes, creation
// time and security descriptor (FileIdentity.h). On any failure the temporary file is removed
// and the target is left as it was. A target that cannot be created or replaced (folder
// missing, held open by another program for longer than about a second, access denied)
// fails with EFCreateError naming the target; a failing write or flush of the temporary file
// fails with EWriteError.
void ReplaceFileContents(const std::wstring& target, const void* data, size_t size);

// The temporary file is written in pieces of this many bytes.
inline constexpr size_t ReplacePieceSize = 65536;

// Test seam: when set, called before each piece is written to the temporary file, with the
// temporary file's path and the number of bytes written so far (0 before the first piece).
// An error it raises fails the write as a failing disk would. Not for production use.
using TReplaceProbe = std::function<void(const std::wstring& tempPath, size_t written)>;
void SetReplaceProbe(TReplaceProbe probe);
