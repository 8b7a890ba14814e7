// Message maps: a class's table of the messages it handles and the member function for each, searched from the
// class to its bases. The macros build only the table; handlers are ordinary member functions of the class.
//
//   class CMyDlg : public CDialog { ... afx_msg void OnStart(); DECLARE_MESSAGE_MAP() };
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//     ON_BN_CLICKED(IDC_START, &CMyDlg::OnStart)
//     ON_EN_MAXTEXT(IDC_PASSWORD, &CMyDlg::OnMaxText)
//     ON_WM_CLOSE()
//   END_MESSAGE_MAP()
#pragma once

#include "windef.h"
#include "winuser.h"

class CCmdTarget;

#define afx_msg

// A handler takes nothing and returns nothing, but for WM_SYSCOMMAND's: void OnSysCommand(UINT nID, LPARAM lParam).
typedef void (CCmdTarget::*AFX_PMSG)();
typedef void (CCmdTarget::*AFX_PMSG_SYSCOMMAND)(UINT, LPARAM);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_COMMAND, WM_CLOSE ...; 0 ends the table
  UINT nCode;     // a control's notification (BN_CLICKED, EN_MAXTEXT ...) for WM_COMMAND
  UINT nID;       // the control for WM_COMMAND
  AFX_PMSG pfn;
  AFX_PMSG_SYSCOMMAND pfnSysCommand = nullptr;  // set instead of pfn for WM_SYSCOMMAND
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();  // nullptr for CCmdTarget's own
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }   \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                   \
    using ThisClass [[maybe_unused]] = theClass;                                      \
    using TheBaseClass = baseClass;                                                   \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                                  \
      {0, 0, 0, nullptr}};                                                                 \
    static const AFX_MSGMAP message_map = {&TheBaseClass::GetThisMessageMap, &entries[0]}; \
    return &message_map;                                                                   \
  }

#define ON_CONTROL(code, id, memberFxn) {WM_COMMAND, (code), (WORD)(id), static_cast<AFX_PMSG>(memberFxn)},
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_MAXTEXT(id, memberFxn) ON_CONTROL(EN_MAXTEXT, id, memberFxn)
// The handler is the class's `void OnClose()`.
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, static_cast<AFX_PMSG>(&ThisClass::OnClose)},
// The handler is the class's `void OnPaint()`, which paints through a CPaintDC.
#define ON_WM_PAINT() {WM_PAINT, 0, 0, static_cast<AFX_PMSG>(&ThisClass::OnPaint)},
// The handler is the class's `void OnSysCommand(UINT nID, LPARAM lParam)`: an item of the system menu was chosen.
#define ON_WM_SYSCOMMAND() \
  {WM_SYSCOMMAND, 0, 0, nullptr, static_cast<AFX_PMSG_SYSCOMMAND>(&ThisClass::OnSysCommand)},
