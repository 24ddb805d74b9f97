// Reads the product version from an executable's version resource.
#pragma once
#include <windows.h>

#include "toolkit/core/Components.h"

#include <cstdint>
#include <string>
#include <vector>

class TFileVer : public TObject {
public:
    explicit TFileVer(std::wstring fileName);
    ~TFileVer() override;

    const std::wstring& FileName() const { return fileName_; }
    // Switching files drops whatever was read for the previous one.
    void SetFileName(std::wstring name);

    // Reads the whole version resource once; true while it is held.
    bool LoadVersionData();
    // The fixed version block inside the held data, or nullptr. Valid until the data is
    // dropped (SetFileName, destruction).
    const VS_FIXEDFILEINFO* FixedInfo();
    // The product version (not the file version). False, outputs untouched, when the file
    // has no readable fixed version block.
    bool GetProductVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& release,
                           std::uint16_t& build);

private:
    std::vector<BYTE> versionData_;  // empty: nothing held
    bool ownRead_ = false;           // read from the file here, not by the version functions
    std::wstring fileName_;
};

// Installed version in the form the update gate compares: major and minor * 10 + release;
// the build number takes no part. (0, 0) whenever the version cannot be read.
void ReadInstalledVersion(const std::wstring& path, int& major, int& composite);
