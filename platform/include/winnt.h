// Windows NT types the system uses: security identifiers, access tokens and privileges, process access rights and
// the version constants.
#pragma once

#include "windef.h"

extern "C" {

// Security identifiers: revision 1, an authority and up to 8 sub-authorities (S-1-5-32-544 is Administrators).
typedef PVOID PSID;
typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

#define SECURITY_WORLD_SID_AUTHORITY \
  { 0, 0, 0, 0, 0, 1 }
#define SECURITY_NT_AUTHORITY \
  { 0, 0, 0, 0, 0, 5 }
#define SECURITY_WORLD_RID 0x00000000u
#define SECURITY_LOCAL_SYSTEM_RID 0x00000012u
#define SECURITY_LOCAL_SERVICE_RID 0x00000013u
#define SECURITY_NETWORK_SERVICE_RID 0x00000014u
#define SECURITY_NT_NON_UNIQUE 0x00000015u
#define SECURITY_BUILTIN_DOMAIN_RID 0x00000020u
#define DOMAIN_USER_RID_ADMIN 0x000001F4u
#define DOMAIN_ALIAS_RID_ADMINS 0x00000220u
#define DOMAIN_ALIAS_RID_USERS 0x00000221u

typedef struct _SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
} SID_AND_ATTRIBUTES, *PSID_AND_ATTRIBUTES;

// Group attributes in a token.
#define SE_GROUP_MANDATORY 0x00000001u
#define SE_GROUP_ENABLED_BY_DEFAULT 0x00000002u
#define SE_GROUP_ENABLED 0x00000004u
#define SE_GROUP_OWNER 0x00000008u
#define SE_GROUP_USE_FOR_DENY_ONLY 0x00000010u
// The logon session's own SID (S-1-5-5-x-y) in a logon's token.
#define SE_GROUP_LOGON_ID 0xC0000000u

typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer
} SID_NAME_USE,
    *PSID_NAME_USE;

// Access tokens.
typedef enum _TOKEN_INFORMATION_CLASS {
  TokenUser = 1,
  TokenGroups,
  TokenPrivileges,
  TokenStatistics = 10
} TOKEN_INFORMATION_CLASS;

typedef struct _TOKEN_USER {
  SID_AND_ATTRIBUTES User;
} TOKEN_USER, *PTOKEN_USER;

typedef struct _TOKEN_GROUPS {
  DWORD GroupCount;
  SID_AND_ATTRIBUTES Groups[1];
} TOKEN_GROUPS, *PTOKEN_GROUPS;

// Spelled as wdm.h spells them, so platform code may include both.
#define READ_CONTROL 0x00020000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define TOKEN_DUPLICATE 0x00000002u
#define TOKEN_IMPERSONATE 0x00000004u
#define TOKEN_QUERY 0x00000008u
#define TOKEN_ADJUST_PRIVILEGES 0x00000020u
#define TOKEN_READ (STANDARD_RIGHTS_READ | TOKEN_QUERY)

// Privileges: a privilege is named by a LUID that LookupPrivilegeValueA gives for its name.
typedef struct _LUID {
  DWORD LowPart;
  LONG HighPart;
} LUID, *PLUID;

typedef struct _LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;

typedef enum _TOKEN_TYPE { TokenPrimary = 1, TokenImpersonation } TOKEN_TYPE;
typedef enum _SECURITY_IMPERSONATION_LEVEL {
  SecurityAnonymous,
  SecurityIdentification,
  SecurityImpersonation,
  SecurityDelegation
} SECURITY_IMPERSONATION_LEVEL;

// AuthenticationId names the logon session: the same for every token of one logon, another for each logon.
typedef struct _TOKEN_STATISTICS {
  LUID TokenId;
  LUID AuthenticationId;
  LONGLONG ExpirationTime;
  TOKEN_TYPE TokenType;
  SECURITY_IMPERSONATION_LEVEL ImpersonationLevel;
  DWORD DynamicCharged;
  DWORD DynamicAvailable;
  DWORD GroupCount;
  DWORD PrivilegeCount;
  LUID ModifiedId;
} TOKEN_STATISTICS, *PTOKEN_STATISTICS;

typedef struct _TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

#define SE_PRIVILEGE_ENABLED 0x00000002u
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"

// Process access rights.
#define PROCESS_TERMINATE 0x0001u
#define PROCESS_VM_READ 0x0010u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_ALL_ACCESS 0x001F0FFFu

// Versions.
#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u
#define VER_NT_WORKSTATION 1u
#define VER_SUITE_SINGLEUSERTS 0x0100u
#define VER_SUITE_PERSONAL 0x0200u

}  // extern "C"
