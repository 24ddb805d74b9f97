// Where the product is proposed to be installed: the folder the install-folder dialog
// offers first. Reads the registry and the environment of the real system; nothing here is
// ever reported, a failed lookup only makes the proposal shorter.
#pragma once
#include <string>

// The program-files folder: "%ProgramFiles%" expanded, unless it expands to itself (the
// variable is not set) or does not fit; else the ProgramFilesDir value of the system's
// CurrentVersion key; else "".
std::wstring ProgramFilesFolder();

// The default value of the product's install-folder key under HKEY_CLASSES_ROOT, taken as
// it is (whether that folder exists is not our business here); else ProgramFilesFolder()
// followed by "\Soranote".
std::wstring DefaultInstallFolder();
