// The dialog framework the system's dialog programs are written in, shaped like MFC: an application object whose
// InitInstance the framework's entry runs, dialogs made from the program's resource table (winres.h) and shown
// with DoModal, controls reached by ID, message maps (afxmsg_.h), CString (afxstr.h) and AfxMessageBox. Built on
// user32's dialog manager, so every dialog, change and result reaches the UI driver and the machine's journal.
#pragma once

#include "afxmsg_.h"
#include "afxstr.h"
#include "windows.h"
#include "winres.h"

class CObject {
 public:
  virtual ~CObject() = default;
};

// What receives messages through a message map.
class CCmdTarget : public CObject {
 public:
  // The hourglass during long work. There is no pointer to show it on, so these have nothing to do.
  void BeginWaitCursor() {}
  void EndWaitCursor() {}
  void RestoreWaitCursor() {}

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

// A window: a dialog, or a control of one. GetDlgItem and FromHandle give framework-owned objects of the control's
// class (a CEdit for an edit, a CButton for a button, a CProgressCtrl for a progress bar, else a CWnd), valid while
// the dialog is up; do not keep them.
class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  static CWnd* FromHandle(HWND handle);
  BOOL Attach(HWND handle);
  HWND Detach();

  CWnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  void SetWindowText(LPCTSTR text);
  int GetWindowText(LPTSTR text, int max_count) const;
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const;
  void SetDlgItemText(int id, LPCTSTR text);
  int GetDlgItemText(int id, LPTSTR text, int max_count) const;
  int GetDlgItemText(int id, CString& text) const;
  void CheckDlgButton(int id, UINT check);
  UINT IsDlgButtonChecked(int id) const;
  void CheckRadioButton(int first_id, int last_id, int check_id);

  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  CWnd* SetFocus();
  static CWnd* GetFocus();

  LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
  // A NULL caption is the application's name.
  int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT type = MB_OK);

  // WM_SETICON: the big (title bar) or small icon; the previous one.
  HICON SetIcon(HICON hIcon, BOOL bBigIcon);

  // A dialog's place (winuser.h): its frame in screen pixels, its client area from 0,0.
  void GetWindowRect(LPRECT lpRect) const;
  void GetClientRect(LPRECT lpRect) const;
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
  void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
  // Centres the window over `pAlternateOwner`, or over the screen when it is NULL: a dialog here is never shown
  // over its owner.
  void CenterWindow(CWnd* pAlternateOwner = nullptr);
  // Has the window painted again: later (Invalidate), or now if it waits for it (UpdateWindow).
  void Invalidate(BOOL bErase = TRUE);
  void UpdateWindow();

  // Runs the message map's handler for `message`; FALSE when the map has none.
  BOOL OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam);

 protected:
  // The close box: what the dialog manager does by default, IDCANCEL.
  afx_msg void OnClose();
  // A system-menu command the window's own handler passes on: the dialog manager's, which ignores it.
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  // WM_PAINT the window's own handler passes on: nothing drawn, the paint done.
  afx_msg void OnPaint();
};

// A modal dialog from the program's template `nIDTemplate`.
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // The EndDialog value, or -1 when the dialog cannot be made (its template is unknown).
  virtual INT_PTR DoModal();
  // TRUE: the framework gives the focus to the first control.
  virtual BOOL OnInitDialog();
  void EndDialog(int nResult);
  void GotoDlgCtrl(CWnd* control);

 protected:
  // IDOK (the OK button, Enter) and IDCANCEL (Cancel, Esc, the close box) end the dialog with that ID.
  virtual void OnOK();
  virtual void OnCancel();

  UINT m_nIDHelp;
  CWnd* m_pParentWnd;

  DECLARE_MESSAGE_MAP()
};

// A GDI object owned by the framework object: deleted with it. FromHandle gives the object that owns a handle, or
// one (owning nothing) that stands for it, valid for the process's life.
class CGdiObject : public CObject {
 public:
  CGdiObject() = default;
  ~CGdiObject() override;
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ m_hObject = nullptr;
  operator HGDIOBJ() const { return m_hObject; }
  HGDIOBJ GetSafeHandle() const { return m_hObject; }

  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int nCount, LPVOID lpObject) const;
};

class CBitmap : public CGdiObject {
 public:
  // Bitmap `nIDResource` of the program's resources; FALSE when it declares none with that number.
  BOOL LoadBitmap(UINT nIDResource);
  int GetBitmap(BITMAP* pBitMap) const;
  operator HBITMAP() const { return m_hObject; }
  static CBitmap* FromHandle(HBITMAP hBitmap);
};

// A device context: one the object made (CreateCompatibleDC) is deleted with it.
class CDC : public CObject {
 public:
  CDC() = default;
  ~CDC() override;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC m_hDC = nullptr;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }

  BOOL CreateCompatibleDC(CDC* pDC);
  BOOL DeleteDC();
  // The bitmap it replaces, or NULL when the selection fails.
  CBitmap* SelectObject(CBitmap* pBitmap);
  BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
  BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                  int nSrcHeight, DWORD dwRop);
};

// The context of a window's WM_PAINT handler: BeginPaint when made, EndPaint when it goes.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;

  PAINTSTRUCT m_ps;

 protected:
  HWND m_hWnd;
};

class CEdit : public CWnd {
 public:
  // What the user may type; 0: as much as an edit holds. Typing past it raises EN_MAXTEXT.
  void LimitText(int nChars = 0);
  void SetLimitText(UINT nMax);
  // 0 shows the characters.
  void SetPasswordChar(TCHAR ch);
  TCHAR GetPasswordChar() const;
  BOOL SetReadOnly(BOOL bReadOnly = TRUE);
  // SetSel(n, n) then ReplaceSel(text) inserts at n: SetSel(len, len) appends.
  void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
  void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE);
};

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int nCheck);
};

// The program's application object: each program defines one (`theApp`), and the framework's entry (the xp_mfc_main
// library) runs its InitInstance. FALSE ends the program with ExitInstance's code (0); a program whose
// InitInstance returns TRUE would need the main window's message loop, which is not implemented (exit code 120).
class CWinApp : public CCmdTarget {
 public:
  // A NULL name is the program's file name without its extension.
  explicit CWinApp(LPCTSTR lpszAppName = nullptr);
  ~CWinApp() override;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Icon `nIDResource` of the program's resources; NULL when it declares none with that number.
  HICON LoadIcon(UINT nIDResource) const;

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();
  // The three-dimensional look is the only look here.
  BOOL Enable3dControls();

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  LPCTSTR m_pszAppName = nullptr;

 private:
  CString app_name_;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// Where DoModal finds templates: the program (NULL before the framework's entry has run).
HINSTANCE AfxGetResourceHandle();
LPCTSTR AfxGetAppName();
// A message box over the main window, captioned with the application's name.
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// Controls here are never ActiveX containers; nothing to enable.
void AfxEnableControlContainer();
// The framework's WinMain: runs the application object.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
