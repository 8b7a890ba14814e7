// The dispatch table Winlogon hands its GINA. Boxes and dialogs go to the UI engine through user32; a dialog the
// GINA opened is ended with WLX_DLG_SAS when a secure-attention event comes (Ctrl+Alt+Del pressed in it, or
// WlxSasNotify), and the event is queued for the GINA's next entry. The entries no GINA of this system calls say so
// and fail.
#include "winlogon_private.h"
#include "xp/debug.h"
#include "xp/dialogs.h"
#include "xp/machine.h"
#include "xp/registry.h"

XP_DEBUG_CHANNEL(winlogon);

namespace xp::winlogon {
namespace {

// The host the table serves: one Winlogon per process, and the secure-attention handler has no argument for it.
Host* current = nullptr;

// Every call the GINA makes through the table starts here (or in Unimplemented).
Host* HostOf(HANDLE hWlx, const char* function) {
  XP_TRACE(function, "called by the GINA");
  if (current == nullptr || hWlx != current) {
    XP_ERR(function, "called with a handle that is not Winlogon's");
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return current;
}

void Unimplemented(const char* function) {
  XP_TRACE(function, "called by the GINA");
  XP_FIXME(function, "is not implemented");
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

GinaDialog* FindDialog(Host& host, HWND window) {
  for (GinaDialog& dialog : host.dialogs) {
    if (dialog.window == window) return &dialog;
  }
  return nullptr;
}

void RaiseSas(Host& host, DWORD sas, HWND ended) {
  machine::Journal("winlogon SAS " + std::to_string(sas));
  host.sas_queue.push_back(sas);
  if (ended != nullptr) EndDialog(ended, WLX_DLG_SAS);
}

// A secure-attention event while a dialog waits for the user. Ctrl+Alt+Del (and the end of a secure screen saver)
// ends the GINA's dialog for the GINA's next entry; a time-out and the screen saver end it with their own result
// and are not handed on; a log-off ends it with its own result and goes to the next entry too.
void OnSecureAttention(HWND window, DWORD sas) {
  if (current == nullptr) return;
  const HWND dialog = FindDialog(*current, window) != nullptr ? window : nullptr;
  int result = 0;
  switch (sas) {
    case WLX_SAS_TYPE_TIMEOUT: result = WLX_DLG_INPUT_TIMEOUT; break;
    case WLX_SAS_TYPE_SCRNSVR_TIMEOUT: result = WLX_DLG_SCREEN_SAVER_TIMEOUT; break;
    case WLX_SAS_TYPE_USER_LOGOFF: result = WLX_DLG_USER_LOGOFF; break;
    default: RaiseSas(*current, sas, dialog); return;
  }
  machine::Journal("winlogon SAS " + std::to_string(sas) + " ends the dialog with " + std::to_string(result));
  if (sas == WLX_SAS_TYPE_USER_LOGOFF) current->sas_queue.push_back(sas);
  if (dialog != nullptr) EndDialog(dialog, result);
}

// Stands between user32 and the GINA's dialog procedure, to learn each dialog's window.
INT_PTR DialogThunk(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  GinaDialog* dialog = FindDialog(*current, window);
  if (dialog == nullptr && message == WM_INITDIALOG) {
    dialog = &current->dialogs.back();
    dialog->window = window;
  }
  return dialog != nullptr ? dialog->procedure(window, message, wparam, lparam) : FALSE;
}

VOID UseCtrlAltDel(HANDLE hWlx) { HostOf(hWlx, "WlxUseCtrlAltDel"); }

VOID SetContextPointer(HANDLE hWlx, PVOID context) {
  if (Host* host = HostOf(hWlx, "WlxSetContextPointer")) host->context = context;
}

VOID SasNotify(HANDLE hWlx, DWORD sas) {
  Host* host = HostOf(hWlx, "WlxSasNotify");
  if (host == nullptr) return;
  RaiseSas(*host, sas, host->dialogs.empty() ? nullptr : host->dialogs.back().window);
}

int MessageBox(HANDLE hWlx, HWND owner, LPWSTR text, LPWSTR title, UINT style) {
  if (HostOf(hWlx, "WlxMessageBox") == nullptr) return 0;
  const std::string ansi_text = registry::Utf16ToAnsi(text != nullptr ? text : u"");
  const std::string ansi_title = registry::Utf16ToAnsi(title != nullptr ? title : u"");
  return MessageBoxA(owner, ansi_text.c_str(), title != nullptr ? ansi_title.c_str() : nullptr, style);
}

int DialogBoxParam(HANDLE hWlx, HANDLE instance, LPWSTR template_name, HWND owner, DLGPROC procedure, LPARAM param) {
  Host* host = HostOf(hWlx, "WlxDialogBoxParam");
  if (host == nullptr || procedure == nullptr) return -1;
  host->dialogs.push_back(GinaDialog{procedure});
  const INT_PTR result = DialogBoxParamW(instance, template_name, owner, DialogThunk, param);
  host->dialogs.pop_back();
  return static_cast<int>(result);
}

int DialogBox(HANDLE hWlx, HANDLE instance, LPWSTR template_name, HWND owner, DLGPROC procedure) {
  return DialogBoxParam(hWlx, instance, template_name, owner, procedure, 0);
}

BOOL SetTimeout(HANDLE, DWORD) {
  Unimplemented("WlxSetTimeout");
  return FALSE;
}
int AssignShellProtection(HANDLE, HANDLE, HANDLE, HANDLE) {
  Unimplemented("WlxAssignShellProtection");
  return ERROR_CALL_NOT_IMPLEMENTED;
}
int DialogBoxIndirect(HANDLE, HANDLE, LPCDLGTEMPLATEW, HWND, DLGPROC) {
  Unimplemented("WlxDialogBoxIndirect");
  return -1;
}
int DialogBoxIndirectParam(HANDLE, HANDLE, LPCDLGTEMPLATEW, HWND, DLGPROC, LPARAM) {
  Unimplemented("WlxDialogBoxIndirectParam");
  return -1;
}
int SwitchDesktopToUser(HANDLE) {
  Unimplemented("WlxSwitchDesktopToUser");
  return 0;
}
int SwitchDesktopToWinlogon(HANDLE) {
  Unimplemented("WlxSwitchDesktopToWinlogon");
  return 0;
}
int ChangePasswordNotify(HANDLE, PWLX_MPR_NOTIFY_INFO, DWORD) {
  Unimplemented("WlxChangePasswordNotify");
  return -1;
}
BOOL GetSourceDesktop(HANDLE, PWLX_DESKTOP*) {
  Unimplemented("WlxGetSourceDesktop");
  return FALSE;
}
BOOL SetReturnDesktop(HANDLE, PWLX_DESKTOP) {
  Unimplemented("WlxSetReturnDesktop");
  return FALSE;
}
BOOL CreateUserDesktop(HANDLE, HANDLE, DWORD, PWSTR, PWLX_DESKTOP*) {
  Unimplemented("WlxCreateUserDesktop");
  return FALSE;
}
int ChangePasswordNotifyEx(HANDLE, PWLX_MPR_NOTIFY_INFO, DWORD, PWSTR, PVOID) {
  Unimplemented("WlxChangePasswordNotifyEx");
  return -1;
}
BOOL CloseUserDesktop(HANDLE, PWLX_DESKTOP, HANDLE) {
  Unimplemented("WlxCloseUserDesktop");
  return FALSE;
}
BOOL SetOption(HANDLE, DWORD, ULONG_PTR, ULONG_PTR*) {
  Unimplemented("WlxSetOption");
  return FALSE;
}
BOOL GetOption(HANDLE, DWORD, ULONG_PTR*) {
  Unimplemented("WlxGetOption");
  return FALSE;
}
VOID Win31Migrate(HANDLE) { Unimplemented("WlxWin31Migrate"); }
BOOL QueryClientCredentials(PWLX_CLIENT_CREDENTIALS_INFO_V1_0) {
  Unimplemented("WlxQueryClientCredentials");
  return FALSE;
}
BOOL QueryInetConnectorCredentials(PWLX_CLIENT_CREDENTIALS_INFO_V1_0) {
  Unimplemented("WlxQueryInetConnectorCredentials");
  return FALSE;
}
BOOL Disconnect() {
  Unimplemented("WlxDisconnect");
  return FALSE;
}
DWORD QueryTerminalServicesData(HANDLE, PWLX_TERMINAL_SERVICES_DATA, WCHAR*, WCHAR*) {
  Unimplemented("WlxQueryTerminalServicesData");
  return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

void BeginDispatch(Host* host) {
  current = host;
  host->dispatch = WLX_DISPATCH_VERSION_1_3{
      UseCtrlAltDel,     SetContextPointer,     SasNotify,           SetTimeout,
      AssignShellProtection, MessageBox,        DialogBox,           DialogBoxParam,
      DialogBoxIndirect, DialogBoxIndirectParam, SwitchDesktopToUser, SwitchDesktopToWinlogon,
      ChangePasswordNotify, GetSourceDesktop,   SetReturnDesktop,    CreateUserDesktop,
      ChangePasswordNotifyEx, CloseUserDesktop, SetOption,           GetOption,
      Win31Migrate,      QueryClientCredentials, QueryInetConnectorCredentials, Disconnect,
      QueryTerminalServicesData};
  user32::SetSecureAttentionHandler(OnSecureAttention);
}

void EndDispatch() {
  user32::SetSecureAttentionHandler(nullptr);
  current = nullptr;
}

std::optional<DWORD> TakeQueuedSas(Host& host) {
  if (host.sas_queue.empty()) return std::nullopt;
  const DWORD sas = host.sas_queue.front();
  host.sas_queue.pop_front();
  return sas;
}

}  // namespace xp::winlogon
