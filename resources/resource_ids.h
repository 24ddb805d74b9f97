// Ids of the updater's string table. Shared by the resource script and the code.
#pragma once

#define sReadOnlyFile     100
#define sUpdateSucceeded  101
#define sUpdateFailed     102
#define sTitleFormat      103
#define sVersionResName   104
#define sInstallDirKey    105
#define sExeName          106
#define sDefaultSubdir    107
#define sNoUpdateNeeded   108
#define sCannotUpdate     109
#define sPayloadResName   110
#define sUnexpectedError  111
#define sImagePackCount   112
#define sImagePackRect    113

#define IDI_APPICON       1
