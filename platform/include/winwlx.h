// The Winlogon authentication-DLL interface (GINA) at version 1.3: the entry points Winlogon calls in the DLL that
// "GinaDLL" names, and the dispatch table Winlogon hands it. Shared by the Winlogon host, the stand-in for the
// system's own MSGINA.DLL and logongate.
#pragma once

#include "windef.h"
#include "winnt.h"
#include "winuser.h"

#define WLX_VERSION_1_3 0x00010003u
#define WLX_CURRENT_VERSION WLX_VERSION_1_3

// Secure-attention sequences. Types above WLX_SAS_TYPE_MAX_MSFT_VALUE belong to a GINA (logongate sends 256).
#define WLX_SAS_TYPE_TIMEOUT 0
#define WLX_SAS_TYPE_CTRL_ALT_DEL 1
#define WLX_SAS_TYPE_SCRNSVR_TIMEOUT 2
#define WLX_SAS_TYPE_SCRNSVR_ACTIVITY 3
#define WLX_SAS_TYPE_USER_LOGOFF 4
#define WLX_SAS_TYPE_MAX_MSFT_VALUE 127

// What a GINA's SAS entry points ask Winlogon to do.
#define WLX_SAS_ACTION_LOGON 1
#define WLX_SAS_ACTION_NONE 2
#define WLX_SAS_ACTION_LOCK_WKSTA 3
#define WLX_SAS_ACTION_LOGOFF 4
#define WLX_SAS_ACTION_SHUTDOWN 5
#define WLX_SAS_ACTION_PWD_CHANGED 6
#define WLX_SAS_ACTION_TASKLIST 7
#define WLX_SAS_ACTION_UNLOCK_WKSTA 8
#define WLX_SAS_ACTION_FORCE_LOGOFF 9
#define WLX_SAS_ACTION_SHUTDOWN_POWER_OFF 10
#define WLX_SAS_ACTION_SHUTDOWN_REBOOT 11

// The results of a dialog that Winlogon ended itself (WlxDialogBox*), besides the dialog's own EndDialog values.
#define WLX_DLG_SAS 101
#define WLX_DLG_INPUT_TIMEOUT 102
#define WLX_DLG_SCREEN_SAVER_TIMEOUT 103
#define WLX_DLG_USER_LOGOFF 104

#define WLX_LOGON_OPT_NO_PROFILE 0x00000001u

#define WLX_PROFILE_TYPE_V1_0 1

extern "C" {

// The network-provider notice of a logon: strings the GINA allocates with LocalAlloc and Winlogon frees.
typedef struct _WLX_MPR_NOTIFY_INFO {
  PWSTR pszUserName;
  PWSTR pszDomain;
  PWSTR pszPassword;
  PWSTR pszOldPassword;
} WLX_MPR_NOTIFY_INFO, *PWLX_MPR_NOTIFY_INFO;

// The user's profile as a GINA describes it (allocated with LocalAlloc, freed by Winlogon).
typedef struct _WLX_PROFILE_V1_0 {
  DWORD dwType;
  PWSTR pszProfile;
} WLX_PROFILE_V1_0, *PWLX_PROFILE_V1_0;

// Objects of dispatch entries this system never calls; they exist so that the table keeps its layout.
typedef struct _WLX_DESKTOP WLX_DESKTOP, *PWLX_DESKTOP;
typedef struct _WLX_CLIENT_CREDENTIALS_INFO_V1_0 *PWLX_CLIENT_CREDENTIALS_INFO_V1_0;
typedef struct _WLX_TERMINAL_SERVICES_DATA *PWLX_TERMINAL_SERVICES_DATA;
typedef const struct DLGTEMPLATE* LPCDLGTEMPLATEW;

// The dispatch table, in Winlogon's order. hWlx is the handle WlxInitialize received.
typedef VOID (*PWLX_USE_CTRL_ALT_DEL)(HANDLE hWlx);
typedef VOID (*PWLX_SET_CONTEXT_POINTER)(HANDLE hWlx, PVOID pWlxContext);
typedef VOID (*PWLX_SAS_NOTIFY)(HANDLE hWlx, DWORD dwSasType);
typedef BOOL (*PWLX_SET_TIMEOUT)(HANDLE hWlx, DWORD Timeout);
typedef int (*PWLX_ASSIGN_SHELL_PROTECTION)(HANDLE hWlx, HANDLE hToken, HANDLE hProcess, HANDLE hThread);
typedef int (*PWLX_MESSAGE_BOX)(HANDLE hWlx, HWND hwndOwner, LPWSTR lpszText, LPWSTR lpszTitle, UINT fuStyle);
typedef int (*PWLX_DIALOG_BOX)(HANDLE hWlx, HANDLE hInst, LPWSTR lpszTemplate, HWND hwndOwner, DLGPROC dlgprc);
typedef int (*PWLX_DIALOG_BOX_PARAM)(HANDLE hWlx, HANDLE hInst, LPWSTR lpszTemplate, HWND hwndOwner, DLGPROC dlgprc,
                                     LPARAM dwInitParam);
typedef int (*PWLX_DIALOG_BOX_INDIRECT)(HANDLE hWlx, HANDLE hInst, LPCDLGTEMPLATEW hDialogTemplate, HWND hwndOwner,
                                        DLGPROC dlgprc);
typedef int (*PWLX_DIALOG_BOX_INDIRECT_PARAM)(HANDLE hWlx, HANDLE hInst, LPCDLGTEMPLATEW hDialogTemplate,
                                              HWND hwndOwner, DLGPROC dlgprc, LPARAM dwInitParam);
typedef int (*PWLX_SWITCH_DESKTOP_TO_USER)(HANDLE hWlx);
typedef int (*PWLX_SWITCH_DESKTOP_TO_WINLOGON)(HANDLE hWlx);
typedef int (*PWLX_CHANGE_PASSWORD_NOTIFY)(HANDLE hWlx, PWLX_MPR_NOTIFY_INFO pMprInfo, DWORD dwChangeInfo);
typedef BOOL (*PWLX_GET_SOURCE_DESKTOP)(HANDLE hWlx, PWLX_DESKTOP* ppDesktop);
typedef BOOL (*PWLX_SET_RETURN_DESKTOP)(HANDLE hWlx, PWLX_DESKTOP pDesktop);
typedef BOOL (*PWLX_CREATE_USER_DESKTOP)(HANDLE hWlx, HANDLE hToken, DWORD Flags, PWSTR pszDesktopName,
                                         PWLX_DESKTOP* ppDesktop);
typedef int (*PWLX_CHANGE_PASSWORD_NOTIFY_EX)(HANDLE hWlx, PWLX_MPR_NOTIFY_INFO pMprInfo, DWORD dwChangeInfo,
                                              PWSTR ProviderName, PVOID Reserved);
typedef BOOL (*PWLX_CLOSE_USER_DESKTOP)(HANDLE hWlx, PWLX_DESKTOP pDesktop, HANDLE hToken);
typedef BOOL (*PWLX_SET_OPTION)(HANDLE hWlx, DWORD Option, ULONG_PTR Value, ULONG_PTR* OldValue);
typedef BOOL (*PWLX_GET_OPTION)(HANDLE hWlx, DWORD Option, ULONG_PTR* Value);
typedef VOID (*PWLX_WIN31_MIGRATE)(HANDLE hWlx);
typedef BOOL (*PWLX_QUERY_CLIENT_CREDENTIALS)(PWLX_CLIENT_CREDENTIALS_INFO_V1_0 pCred);
typedef BOOL (*PWLX_QUERY_IC_CREDENTIALS)(PWLX_CLIENT_CREDENTIALS_INFO_V1_0 pCred);
typedef BOOL (*PWLX_DISCONNECT)(void);
typedef DWORD (*PWLX_QUERY_TERMINAL_SERVICES_DATA)(HANDLE hWlx, PWLX_TERMINAL_SERVICES_DATA pTSData,
                                                   WCHAR* UserName, WCHAR* Domain);

typedef struct _WLX_DISPATCH_VERSION_1_3 {
  PWLX_USE_CTRL_ALT_DEL WlxUseCtrlAltDel;
  PWLX_SET_CONTEXT_POINTER WlxSetContextPointer;
  PWLX_SAS_NOTIFY WlxSasNotify;
  PWLX_SET_TIMEOUT WlxSetTimeout;
  PWLX_ASSIGN_SHELL_PROTECTION WlxAssignShellProtection;
  PWLX_MESSAGE_BOX WlxMessageBox;
  PWLX_DIALOG_BOX WlxDialogBox;
  PWLX_DIALOG_BOX_PARAM WlxDialogBoxParam;
  PWLX_DIALOG_BOX_INDIRECT WlxDialogBoxIndirect;
  PWLX_DIALOG_BOX_INDIRECT_PARAM WlxDialogBoxIndirectParam;
  PWLX_SWITCH_DESKTOP_TO_USER WlxSwitchDesktopToUser;
  PWLX_SWITCH_DESKTOP_TO_WINLOGON WlxSwitchDesktopToWinlogon;
  PWLX_CHANGE_PASSWORD_NOTIFY WlxChangePasswordNotify;
  PWLX_GET_SOURCE_DESKTOP WlxGetSourceDesktop;
  PWLX_SET_RETURN_DESKTOP WlxSetReturnDesktop;
  PWLX_CREATE_USER_DESKTOP WlxCreateUserDesktop;
  PWLX_CHANGE_PASSWORD_NOTIFY_EX WlxChangePasswordNotifyEx;
  PWLX_CLOSE_USER_DESKTOP WlxCloseUserDesktop;
  PWLX_SET_OPTION WlxSetOption;
  PWLX_GET_OPTION WlxGetOption;
  PWLX_WIN31_MIGRATE WlxWin31Migrate;
  PWLX_QUERY_CLIENT_CREDENTIALS WlxQueryClientCredentials;
  PWLX_QUERY_IC_CREDENTIALS WlxQueryInetConnectorCredentials;
  PWLX_DISCONNECT WlxDisconnect;
  PWLX_QUERY_TERMINAL_SERVICES_DATA WlxQueryTerminalServicesData;
} WLX_DISPATCH_VERSION_1_3, *PWLX_DISPATCH_VERSION_1_3;

// The entry points a GINA exports; Winlogon calls them from one thread, in the order of its state machine.
BOOL WlxNegotiate(DWORD dwWinlogonVersion, PDWORD pdwDllVersion);
BOOL WlxInitialize(LPWSTR lpWinsta, HANDLE hWlx, PVOID pvReserved, PVOID pWinlogonFunctions, PVOID* pWlxContext);
VOID WlxDisplaySASNotice(PVOID pWlxContext);
int WlxLoggedOutSAS(PVOID pWlxContext, DWORD dwSasType, PLUID pAuthenticationId, PSID pLogonSid, PDWORD pdwOptions,
                    PHANDLE phToken, PWLX_MPR_NOTIFY_INFO pMprNotifyInfo, PVOID* pProfile);
BOOL WlxActivateUserShell(PVOID pWlxContext, PWSTR pszDesktopName, PWSTR pszMprLogonScript, PVOID pEnvironment);
int WlxLoggedOnSAS(PVOID pWlxContext, DWORD dwSasType, PVOID pReserved);
VOID WlxDisplayLockedNotice(PVOID pWlxContext);
BOOL WlxIsLockOk(PVOID pWlxContext);
int WlxWkstaLockedSAS(PVOID pWlxContext, DWORD dwSasType);
BOOL WlxIsLogoffOk(PVOID pWlxContext);
VOID WlxLogoff(PVOID pWlxContext);
VOID WlxShutdown(PVOID pWlxContext, DWORD ShutdownType);
BOOL WlxStartApplication(PVOID pWlxContext, PWSTR pszDesktopName, PVOID pEnvironment, PWSTR pszCmdLine);
BOOL WlxScreenSaverNotify(PVOID pWlxContext, BOOL* pSecure);

}  // extern "C"
