// Whole-file reads and writes and folder listings for the tests' checks on disk.
#pragma once
#include <string>
#include <vector>

// The file's bytes, for comparing; "<unreadable>" when it cannot be opened (it is opened
// sharing with every writer). Fixtures that must have the bytes use ReadFileBytes.
std::string FileContents(const std::wstring& path);
// Creates or truncates the file and writes the bytes; a failure fails the calling test.
void WriteFileContents(const std::wstring& path, const std::string& bytes);
// Names of the entries of a folder (without "." and ".."), sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
