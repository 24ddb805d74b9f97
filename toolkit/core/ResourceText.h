// Texts of a module's string table.
#pragma once
#include <windows.h>

#include <string>

// The text with this id in the string table of `module`; empty when there is none. Never cut
// to a buffer's length.
std::wstring LoadResourceText(HMODULE module, int id);
