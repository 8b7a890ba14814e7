// The service control manager calls the system makes: its handles, access rights, service types, start types,
// controls and states. Calls return a handle or BOOL and set the last error, as on XP.
#pragma once

#include "windef.h"

extern "C" {

typedef struct SC_HANDLE__* SC_HANDLE;
typedef SC_HANDLE* LPSC_HANDLE;

typedef struct _SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

// Spelled as wdm.h spells it, so platform code may include both.
#ifndef DELETE
#define DELETE 0x00010000L
#endif

// Service manager rights.
#define SC_MANAGER_CONNECT 0x0001u
#define SC_MANAGER_CREATE_SERVICE 0x0002u
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004u
#define SC_MANAGER_LOCK 0x0008u
#define SC_MANAGER_QUERY_LOCK_STATUS 0x0010u
#define SC_MANAGER_MODIFY_BOOT_CONFIG 0x0020u
#define SC_MANAGER_ALL_ACCESS 0x000F003Fu

// Service rights.
#define SERVICE_QUERY_CONFIG 0x0001u
#define SERVICE_CHANGE_CONFIG 0x0002u
#define SERVICE_QUERY_STATUS 0x0004u
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008u
#define SERVICE_START 0x0010u
#define SERVICE_STOP 0x0020u
#define SERVICE_PAUSE_CONTINUE 0x0040u
#define SERVICE_INTERROGATE 0x0080u
#define SERVICE_USER_DEFINED_CONTROL 0x0100u
#define SERVICE_ALL_ACCESS 0x000F01FFu

// Service types (the Type value of a service's key).
#define SERVICE_KERNEL_DRIVER 0x00000001u
#define SERVICE_FILE_SYSTEM_DRIVER 0x00000002u
#define SERVICE_WIN32_OWN_PROCESS 0x00000010u
#define SERVICE_WIN32_SHARE_PROCESS 0x00000020u

// Start types (the Start value).
#define SERVICE_BOOT_START 0x00000000u
#define SERVICE_SYSTEM_START 0x00000001u
#define SERVICE_AUTO_START 0x00000002u
#define SERVICE_DEMAND_START 0x00000003u
#define SERVICE_DISABLED 0x00000004u

// Error control (the ErrorControl value).
#define SERVICE_ERROR_IGNORE 0x00000000u
#define SERVICE_ERROR_NORMAL 0x00000001u
#define SERVICE_ERROR_SEVERE 0x00000002u
#define SERVICE_ERROR_CRITICAL 0x00000003u

// Controls.
#define SERVICE_CONTROL_STOP 0x00000001u
#define SERVICE_CONTROL_PAUSE 0x00000002u
#define SERVICE_CONTROL_CONTINUE 0x00000003u
#define SERVICE_CONTROL_INTERROGATE 0x00000004u

#define SERVICE_ACCEPT_STOP 0x00000001u

// States.
#define SERVICE_STOPPED 0x00000001u
#define SERVICE_START_PENDING 0x00000002u
#define SERVICE_STOP_PENDING 0x00000003u
#define SERVICE_RUNNING 0x00000004u

// Machine: NULL or empty (this computer). Database: NULL or "ServicesActive".
SC_HANDLE OpenSCManagerA(LPCSTR machine_name, LPCSTR database_name, DWORD desired_access);
// Kernel and file-system drivers only. A name already in the table: NULL with ERROR_SERVICE_EXISTS.
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR service_name, LPCSTR display_name, DWORD desired_access,
                         DWORD service_type, DWORD start_type, DWORD error_control, LPCSTR binary_path_name,
                         LPCSTR load_order_group, LPDWORD tag_id, LPCSTR dependencies, LPCSTR service_start_name,
                         LPCSTR password);
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR service_name, DWORD desired_access);
BOOL StartServiceA(SC_HANDLE service, DWORD argument_count, LPCSTR* arguments);
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
BOOL DeleteService(SC_HANDLE service);
BOOL CloseServiceHandle(SC_HANDLE handle);

}  // extern "C"
