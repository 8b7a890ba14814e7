// The network management calls (netapi32) the logon component makes on the local computer: its accounts, and
// password changes.
#pragma once

#include "windows.h"

extern "C" {

typedef DWORD NET_API_STATUS;
#define NERR_Success 0u
#define NERR_UserNotFound 2221u
#define NERR_NotPrimary 2226u
#define NERR_PasswordTooShort 2245u
#define NERR_InvalidComputer 2351u
#define MAX_PREFERRED_LENGTH ((DWORD)-1)
#define FILTER_NORMAL_ACCOUNT 0x0002u

typedef struct _USER_INFO_10 {
  LPWSTR usri10_name;
  LPWSTR usri10_comment;
  LPWSTR usri10_usr_comment;
  LPWSTR usri10_full_name;
} USER_INFO_10, *PUSER_INFO_10, *LPUSER_INFO_10;

// The computer's accounts (server NULL, or this computer), level 10, normal accounts only, in batches of about
// `preferred_length` bytes: ERROR_MORE_DATA while more follow (call again with the same *resume_handle), then
// NERR_Success. The buffer goes back with NetApiBufferFree.
NET_API_STATUS NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer, DWORD preferred_length,
                           LPDWORD entries_read, LPDWORD total_entries, LPDWORD resume_handle);
NET_API_STATUS NetApiBufferFree(LPVOID buffer);
// Changes the account's password on this computer (domain NULL, "" or the computer's name): NERR_Success, or
// ERROR_INVALID_PASSWORD (the old one is wrong), NERR_UserNotFound, NERR_InvalidComputer, NERR_PasswordTooShort
// (the new one breaks the password history or is empty), or another error by the fault point
// "NetUserChangePassword" (ERROR_ACCESS_DENIED, NERR_NotPrimary, ...). The change lasts for every later logon.
NET_API_STATUS NetUserChangePassword(LPCWSTR domain, LPCWSTR user, LPCWSTR old_password, LPCWSTR new_password);

}  // extern "C"
