// Readers of outside data as the mutation runner calls them: a plain function over bytes
// that swallows the library's own errors, so anything else that escapes - or a crash, a
// hang, a leak - is a defect. Each comes with seeds to mutate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// TBitmap::LoadStream over the bytes, then a draw of what loaded.
void FuzzBitmapLoader(const uint8_t* data, size_t size);
std::vector<std::vector<uint8_t>> BitmapLoaderSeeds();

// ReadStoredForm into a fresh component with properties of every kind, a picture and a
// named child.
void FuzzStoredForm(const uint8_t* data, size_t size);
std::vector<std::vector<uint8_t>> StoredFormSeeds();
