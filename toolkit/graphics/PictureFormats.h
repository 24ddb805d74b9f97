// The table of picture file formats: which graphic class reads which file extension.
#pragma once
#include <string>
#include <vector>

#include "toolkit/core/Persistent.h"

struct TFileFormat {
    std::wstring extension;  // lower case, without the dot
    std::wstring description;
    const TClass* graphicClass;
};

// Adds an entry; later entries take precedence over earlier ones. The extension is kept in
// lower case. The class must be a graphic class that can be made.
void RegisterFileFormat(const std::wstring& extension, const std::wstring& description, const TClass& graphicClass);
// Removes every entry of the class.
void UnregisterGraphicClass(const TClass& graphicClass);

// The latest entry for the extension (any case, with or without the dot), or null.
const TFileFormat* FindFileFormat(const std::wstring& extension);
// The class of the latest entry whose class has that name, or null. This is how a picture
// read from a stored form finds its graphic class.
const TClass* FindGraphicClass(const std::wstring& className);

const std::vector<TFileFormat>& FileFormats();
