// The edges of the traced readers that inputs reach. The readers are built with
// -fsanitize-coverage=trace-pc, so the compiler calls __sanitizer_cov_trace_pc at the start of
// every edge; that call's return address names the edge, and the map has one bit for each.
#pragma once
#include <cstddef>
#include <cstdint>

// One bit for each byte of the first 64 MiB of the program's image (the coverage build's runner
// is far larger than the default build's).
constexpr size_t kEdgeMapBytes = size_t{1} << 23;

// Records the edges reached from now on into map (kEdgeMapBytes bytes, shared with the runner);
// null stops recording.
void RecordEdgesInto(uint8_t* map);

// Whether an edge not yet in the map was reached since the last call.
bool TakeNewEdges();

size_t CountEdges(const uint8_t* map);
