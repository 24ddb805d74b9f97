// Checks of a metafile's records before the system plays them.
//
// Playing a metafile reads counts, offsets, handle indices and embedded bitmaps out of its
// records, and players do not all check them against the record (Wine's does not). So every
// record is checked here first: it lies inside the metafile, holds the fixed fields of its type,
// and its points, strings, regions, palette entries and bitmaps lie inside it; the handles it
// creates, selects and deletes stay inside the header's handle table, a slot is not created
// twice (that would leak the first object) and only live objects are selected. Record types
// the checks do not know, and those that carry OpenGL data or old device-dependent bitmaps, are
// refused with the whole metafile.
#pragma once
#include <cstdint>

// The records of an enhanced metafile of `size` bytes (its header already checked): every
// one inside, the last one the end record.
bool CheckEnhancedRecords(const uint8_t* metafile, uint32_t size);

// The records of a Windows metafile of `size` bytes behind its 18-byte header, up to its end
// record (function 0).
bool CheckWindowsRecords(const uint8_t* metafile, uint64_t size);
