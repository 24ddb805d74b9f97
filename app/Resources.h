// Access to the updater's own resources, and the process-wide update version and target.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/core/Streams.h"

// Read-only stream over resource (type, name) of the own executable; EResNotFound with the
// name when there is none. type is a string or a number such as RT_RCDATA.
std::unique_ptr<TStream> OpenResource(const wchar_t* type, const std::wstring& name);

// The string-table text with this id (resources/resource_ids.h); empty when there is none.
std::wstring LoadText(int key);

// The update version: major and composite minor (minor * 10 + release). Both 0 until
// ReadUpdateVersion has run.
int UpdateMajor();
int UpdateMinor();
void SetUpdateVersion(int major, int minor);

// Reads the 8-byte version record (raw data named by sVersionResName) into the update version.
// A longer record is read for its first 8 bytes; a shorter one fails with EReadError and
// leaves the version as it was.
void ReadUpdateVersion();

// sTitleFormat filled with the update version: "ソラノート1.01アップデーター" for (1, 1).
std::wstring FormatTitle();

// Full path of the installed product executable the update is written to; empty at start.
const std::wstring& UpdateTarget();
void SetUpdateTarget(const std::wstring& path);
