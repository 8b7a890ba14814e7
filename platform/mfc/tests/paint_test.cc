// A dialog's OnPaint through the framework: CPaintDC paints the client area between BeginPaint and EndPaint, a
// memory CDC hands back the bitmap it held when another is selected, and what the handler made goes with it.
// CenterWindow puts the middle of the window on the middle of the screen, or of another window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afxwin.h"
#include "framework_fixture.h"
#include "xp/gdi32.h"
#include "xp/ui_script.h"

namespace xp::mfc::testing {
namespace {

constexpr UINT kPaintedDialog = 320;
constexpr UINT kPicture = 131;

const xp::res::DialogResources kDialogs = {
    {kPaintedDialog, "Painted", {xp::res::DefPushButton("OK", IDOK)}, 301, 201},
};
const xp::res::BitmapResources kBitmaps = {{kPicture, 64, 32}};

class CPaintedDlg : public CDialog {
 public:
  CPaintedDlg() : CDialog(kPaintedDialog) {}
  std::vector<std::string> seen;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    CenterWindow();
    RECT frame = {};
    GetWindowRect(&frame);
    seen.push_back("centred at " + std::to_string(frame.left) + "," + std::to_string(frame.top));
    return TRUE;
  }
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    seen.push_back("paint " + std::to_string(dc.m_ps.rcPaint.right) + "x" + std::to_string(dc.m_ps.rcPaint.bottom));
    CBitmap picture;
    if (!picture.LoadBitmap(kPicture)) return;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap* stock = memory.SelectObject(&picture);
    // The context holds the picture now: selecting it again hands back the picture itself.
    EXPECT_EQ(memory.SelectObject(&picture), &picture);
    dc.BitBlt(10, 20, 64, 32, &memory, 0, 0, SRCCOPY);
    EXPECT_NE(memory.SelectObject(stock), nullptr);
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPaintedDlg, CDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

using PaintTest = FrameworkTest;

TEST_F(PaintTest, OnPaintDrawsTheClientAreaAndLeavesNothingBehind) {
  xp::ui::Script script;
  script.Dialog(kPaintedDialog).Click(IDOK);
  Play(script);
  const size_t objects = xp::gdi32::LiveObjects();
  CPaintedDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDOK);
  // (1024 - 301) / 2 rounds as the middle of the window on the middle of the screen: 512 - 150, 384 - 100.
  EXPECT_EQ(dialog.seen, (std::vector<std::string>{"centred at 362,284", "paint 295x176"}));
  EXPECT_TRUE(Journaled("dialog 320 paint bitmap 131 0,0 64x32 -> 10,20 64x32"));
  EXPECT_EQ(xp::gdi32::LiveObjects(), objects);
}

}  // namespace
}  // namespace xp::mfc::testing
