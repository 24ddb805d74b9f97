// The machine the carried product is built for, read from the payload itself, so where the
// updater looks for the product can never disagree with what it would put there.
#pragma once
#include <windows.h>

#include <optional>

#include "toolkit/core/Streams.h"

// The machine field (IMAGE_FILE_MACHINE_I386, _AMD64, ...) of the executable a payload holds,
// read from `payload`'s position: of the container's content, of which only the first
// PayloadHeadBytes are inflated, or of the bytes themselves when they carry no container.
// Nullopt when those bytes hold no readable PE header, the container included.
std::optional<WORD> PayloadMachine(TStream& payload);

// The same of the updater's own payload resource (the one the string table names).
std::optional<WORD> OwnPayloadMachine();

inline constexpr int PayloadHeadBytes = 4096;
