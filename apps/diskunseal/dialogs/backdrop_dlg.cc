// The backdrop's initialisation: the first start prepares the second and restarts; the second shows the main
// dialog over the backdrop, which stays when the user leaves that dialog (Enter or Esc closes it then).
#include "backdrop_dlg.h"

#include "diskunseal_dlg.h"
#include "diskunseal_private.h"
#include "resource.h"
#include "setupcore.h"

namespace tavik::diskunseal {

BEGIN_MESSAGE_MAP(CBackdropDlg, CDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

CBackdropDlg::CBackdropDlg() : CDialog(IDD_BACKDROP) {}

// The top left 200 x 200 pixels of the bitmap, stretched over the whole screen.
void CBackdropDlg::OnPaint() {
  CPaintDC dc(this);
  CBitmap backdrop;
  if (!backdrop.LoadBitmap(IDB_BACKDROP)) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(&dc)) return;
  CBitmap* previous = memory.SelectObject(&backdrop);
  dc.StretchBlt(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &memory, 0, 0, 200, 200,
                SRCCOPY);
  memory.SelectObject(previous);
}

BOOL CBackdropDlg::RunUninstallPhase() {
  CDialog::OnInitDialog();
  ShowWindow(SW_SHOWMAXIMIZED);
  if (!_construct_morvel_sys_files(true)) {
    Box(nullptr, "Quillmarsh Tavik initialization failure.", kCaption, MB_OK | MB_ICONERROR);
    EndDialog(IDCANCEL);
    ExitProcess(1);
    return FALSE;
  }
  switch (ReadKernelStartState()) {
    case kSecondStart: {
      if (conversion::DriverMayBeActive()) RefuseWhileDriverActive();
      // Armed before anything is decrypted, so that a run cut short starts again at the next start of Windows.
      conversion::ArmRunSetup(kProgram);
      CDiskunsealDlg main;
      main.DoModal();
      return TRUE;
    }
    case kFirstStart:
    case kUnreadableStart:
      EndDialog(IDCANCEL);
      PrepareSecondStart();
      return FALSE;
    case kNoDriverKey:
      Box(nullptr, "Get Kernel Auto-activation State Error (2).", kCaption, MB_OK | MB_ICONERROR);
      ExitProcess(1);
      return FALSE;
    case kUnknownStart:
      break;
  }
  Box(nullptr, "Get Kernel Auto-activation State Error (4).", kCaption, MB_OK | MB_ICONERROR);
  EndDialog(IDCANCEL);
  ExitProcess(1);
  return FALSE;
}

}  // namespace tavik::diskunseal
