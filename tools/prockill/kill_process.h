// Ending the first running process whose program has a given name, on the NT family and on Windows 9x/Me.
#pragma once

#include "windows.h"

// The result codes.
inline constexpr DWORD kKilled = 0;
inline constexpr DWORD kTerminateFailed = 602;
inline constexpr DWORD kNoMatch = 603;
inline constexpr DWORD kOpenForEndingFailed = 604;
inline constexpr DWORD kPsapiMissing = 605;
inline constexpr DWORD kVersionUnknown = 606;
inline constexpr DWORD kPlatformUnknown = 607;
inline constexpr DWORD kBadName = 632;
inline constexpr DWORD kPsapiEntryMissing = 700;
inline constexpr DWORD kEnumProcessesFailed = 701;
inline constexpr DWORD kKernel32Missing = 702;
inline constexpr DWORD kToolhelpEntryMissing = 703;
inline constexpr DWORD kSnapshotFailed = 704;

// Ends the first process, in the system's process list order, whose program's file name equals `name` ignoring
// ASCII letter case (a name of 1 to 260 characters), with exit code 0. Processes whose name cannot be read are
// passed over.
DWORD KillProcessByName(const char* name);
