// The common controls of the dialog framework: the progress bar the long-running dialogs advance.
#pragma once

#include "afxwin.h"
#include "commctrl.h"

class CProgressCtrl : public CWnd {
 public:
  // SetRange takes 16-bit values (0..65535), SetRange32 any int range.
  void SetRange(short nLower, short nUpper);
  void SetRange32(int nLower, int nUpper);
  void GetRange(int& nLower, int& nUpper) const;
  // Each returns the earlier position.
  int SetPos(int nPos);
  int OffsetPos(int nPos);
  int StepIt();
  int GetPos() const;
  // Returns the earlier step.
  int SetStep(int nStep);
};
