// A fresh, empty folder under the temp folder for one test; removed with everything in it
// (read-only files and paths beyond MAX_PATH included) when the object goes.
#pragma once
#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Absolute path, without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Path() + "\" + name.
    std::wstring File(const std::wstring& name) const;

private:
    std::wstring path_;
};

// "\\?\" form of an absolute path, so file functions accept it beyond MAX_PATH.
std::wstring LongPathForm(const std::wstring& absolutePath);

// Deletes a folder tree; false when something could not be removed.
bool RemoveTree(const std::wstring& folder);
