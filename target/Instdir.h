// Where the product is proposed to be installed: the folder the install-folder dialog
// offers first. Reads the registry and the environment of the real system; nothing here is
// ever reported, a failed lookup only makes the proposal shorter.
#pragma once
#include <windows.h>

#include <string>

// The program-files folder for a product of this machine type (IMAGE_FILE_MACHINE_*):
// "%ProgramFiles%" expanded, unless it expands to itself (the variable is not set) or does not
// fit; else the ProgramFilesDir value of the system's CurrentVersion key; else "". For an i386
// product "%ProgramFiles(x86)%" and "ProgramFilesDir (x86)" take their places.
std::wstring ProgramFilesFolder(WORD machine);
// The same for the machine type of the product the updater carries (x64 when its payload
// does not tell).
std::wstring ProgramFilesFolder();

// The default value of the product's install-folder key under HKEY_CLASSES_ROOT, taken as
// it is (whether that folder exists is not our business here); else ProgramFilesFolder()
// followed by "\Soranote".
std::wstring DefaultInstallFolder();
