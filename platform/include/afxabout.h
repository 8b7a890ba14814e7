// A dialog program's About box and the system-menu item that opens it: a separator and the item, whose text is a
// string resource of the program, added when that string is not empty; choosing it shows the box, owned by the
// dialog, with its caption and one text set from the program's own words. The box's template (an OK button and
// the text control) is the program's, declared in its resources like its other dialogs.
//
//   const AboutBox kAbout = {IDD_ABOUTBOX, IDS_ABOUTBOX, IDM_ABOUTBOX, "About Tavik Recovery Tool",
//                            IDC_ABOUT_TEXT, "Quillmarsh Tavik File Recovery Tool\r\nVersion 1.0"};
//   OnInitDialog:               AddAboutItem(*this, kAbout);
//   OnSysCommand(nID, lParam):  if (!ShowAboutBox(*this, kAbout, nID)) CDialog::OnSysCommand(nID, lParam);
#pragma once

#include "afxwin.h"

struct AboutBox {
  UINT dialog_id;      // the box's template
  UINT menu_text_id;   // the string resource of the item's text
  UINT command;        // the item's system command: a multiple of 16, below 0xF000
  LPCTSTR caption;     // nullptr keeps the template's
  int text_id;         // the control that takes `text`
  LPCTSTR text;        // nullptr keeps the template's
};

class CAboutDlg : public CDialog {
 public:
  CAboutDlg(const AboutBox& box, CWnd* pParentWnd);

 protected:
  BOOL OnInitDialog() override;

 private:
  const AboutBox& box_;
};

// Adds the separator and the item to the dialog's system menu, unless the item's string is missing or empty.
void AddAboutItem(CWnd& dialog, const AboutBox& box);
// For the dialog's OnSysCommand: shows the box and returns true when `nID` is the item's command (the system's
// low four bits ignored).
bool ShowAboutBox(CWnd& dialog, const AboutBox& box, UINT nID);
