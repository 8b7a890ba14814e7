// User profiles and environments (userenv) as the logon component uses them to start a user's programs.
#pragma once

#include "windows.h"

extern "C" {

#define PI_NOUI 0x00000001u

typedef struct _PROFILEINFOW {
  DWORD dwSize;
  DWORD dwFlags;
  LPWSTR lpUserName;
  LPWSTR lpProfilePath;
  LPWSTR lpDefaultPath;
  LPWSTR lpServerName;
  LPWSTR lpPolicyPath;
  HANDLE hProfile;
} PROFILEINFOW, *LPPROFILEINFOW;

// Loads the token's account's profile (made at its first logon): its hive is open (hProfile, an HKEY of it) until
// UnloadUserProfile. Only PI_NOUI is implemented; lpUserName must name the token's account.
BOOL LoadUserProfileW(HANDLE token, LPPROFILEINFOW profile);
BOOL UnloadUserProfile(HANDLE token, HANDLE profile);
// The token's account's environment: NAME=value strings in UTF-16, each ended by a NUL, and a final NUL.
BOOL CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit);
BOOL DestroyEnvironmentBlock(LPVOID environment);

}  // extern "C"
