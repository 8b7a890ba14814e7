// A dialog's place and its paints: it opens at 0,0 with its template's size, moves as the program says (and the
// journal shows), and is sent WM_PAINT once it is shown, again after each invalidation, before the user's next
// action, from the pump once no input waits, or at once from UpdateWindow; a bitmap painted in it is journaled.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sample_dialog.h"
#include "winres.h"
#include "xp/gdi32.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

constexpr int kFramedDialog = 210;
constexpr int kBarePopup = 211;
constexpr int kBanner = 129;
constexpr int kRepaint = 1001;  // invalidates, then pumps as a long handler would

const xp::res::DialogResources kDialogs = {
    {kFramedDialog,
     "Framed",
     {xp::res::PushButton("Repaint", kRepaint), xp::res::DefPushButton("OK", IDOK)},
     400,
     300},
    {kBarePopup, "", {xp::res::DefPushButton("OK", IDOK)}, 289, 246, WS_POPUP},
};
const xp::res::BitmapResources kBitmaps = {{kBanner, 120, 40}};

// What the procedure does at WM_INITDIALOG, and the paints it was sent.
struct PaintDialog {
  std::function<void(HWND)> on_init;
  int paints = 0;
};
thread_local PaintDialog* current = nullptr;

// Paints the banner unscaled at the top left, as a program's WM_PAINT handler does.
void PaintBanner(HWND dialog) {
  PAINTSTRUCT paint;
  const HDC window = BeginPaint(dialog, &paint);
  const HDC memory = CreateCompatibleDC(window);
  const HBITMAP banner = LoadBitmapA(nullptr, MAKEINTRESOURCEA(kBanner));
  BITMAP size = {};
  GetObjectA(banner, sizeof size, &size);
  const HGDIOBJ stock = SelectObject(memory, banner);
  BitBlt(window, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, stock);
  DeleteObject(banner);
  DeleteDC(memory);
  EndPaint(dialog, &paint);
}

INT_PTR PaintProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      if (current->on_init) current->on_init(dialog);
      return TRUE;
    case WM_PAINT:
      ++current->paints;
      PaintBanner(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == kRepaint) {
        InvalidateRect(dialog, nullptr, TRUE);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      }
      if (LOWORD(wparam) == IDOK) EndDialog(dialog, IDOK);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR RunPaintDialog(PaintDialog& dialog, int id = kFramedDialog) {
  current = &dialog;
  return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(id), nullptr, PaintProc, 0);
}

RECT WindowRect(HWND window) {
  RECT rect = {-1, -1, -1, -1};
  EXPECT_TRUE(GetWindowRect(window, &rect));
  return rect;
}
RECT ClientRect(HWND window) {
  RECT rect = {-1, -1, -1, -1};
  EXPECT_TRUE(GetClientRect(window, &rect));
  return rect;
}
std::vector<LONG> Sides(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

using PaintingTest = DialogTest;

TEST_F(PaintingTest, ADialogOpensAtTheOriginWithItsTemplatesSizeAndMovesAsTold) {
  xp::ui::Script script;
  script.Dialog(kFramedDialog).Click(IDOK);
  script.Dialog(kBarePopup).Click(IDOK);
  Play(script);
  PaintDialog framed;
  framed.on_init = [](HWND dialog) {
    EXPECT_EQ(Sides(WindowRect(dialog)), (std::vector<LONG>{0, 0, 400, 300}));
    // Inside a 3-pixel frame and a 19-pixel caption.
    EXPECT_EQ(Sides(ClientRect(dialog)), (std::vector<LONG>{0, 0, 394, 275}));
    EXPECT_TRUE(MoveWindow(dialog, 312, 234, 400, 150, TRUE));
    EXPECT_EQ(Sides(WindowRect(dialog)), (std::vector<LONG>{312, 234, 712, 384}));
    EXPECT_EQ(Sides(ClientRect(dialog)), (std::vector<LONG>{0, 0, 394, 125}));
    SetLastError(0);
    RECT rect;
    EXPECT_FALSE(GetWindowRect(GetDlgItem(dialog, IDOK), &rect));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_FALSE(MoveWindow(reinterpret_cast<HWND>(0x7777), 0, 0, 1, 1, TRUE));
    // On top, moved, unsized: a third of the room left above it, as a logon screen's dialog is placed.
    EXPECT_TRUE(SetWindowPos(dialog, HWND_TOPMOST, 312, 156, 0, 0, SWP_NOSIZE));
    EXPECT_EQ(Sides(WindowRect(dialog)), (std::vector<LONG>{312, 156, 712, 306}));
  };
  EXPECT_EQ(RunPaintDialog(framed), IDOK);
  PaintDialog bare;
  bare.on_init = [](HWND dialog) {
    EXPECT_EQ(Sides(ClientRect(dialog)), (std::vector<LONG>{0, 0, 289, 246}));
    ShowWindow(dialog, SW_SHOWMAXIMIZED);
    EXPECT_EQ(Sides(WindowRect(dialog)), (std::vector<LONG>{0, 0, GetSystemMetrics(SM_CXSCREEN),
                                                            GetSystemMetrics(SM_CYSCREEN)}));
  };
  EXPECT_EQ(RunPaintDialog(bare, kBarePopup), IDOK);
  const std::vector<std::string> journal = UiJournal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "dialog 210 at 312,234 size 400x150"), 1);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "dialog 210 topmost at 312,156 size 400x150"), 1);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "dialog 211 at 0,0 size 1024x768"), 1);
}

TEST_F(PaintingTest, PaintsComeOnceShownAfterEachInvalidationAndFromThePump) {
  xp::ui::Script script;
  script.Dialog(kFramedDialog).Click(kRepaint).Click(IDOK);
  Play(script);
  const size_t objects = xp::gdi32::LiveObjects();
  PaintDialog dialog;
  // Nothing is painted before the dialog is shown.
  dialog.on_init = [](HWND window) { EXPECT_TRUE(UpdateWindow(window)); };
  EXPECT_EQ(RunPaintDialog(dialog), IDOK);
  EXPECT_EQ(dialog.paints, 2);
  EXPECT_EQ(xp::gdi32::LiveObjects(), objects);
  constexpr char kPainted[] = "dialog 210 paint bitmap 129 0,0 120x40 -> 0,0 120x40";
  const std::vector<std::string> journal = UiJournal();
  std::vector<std::string> order;
  for (const std::string& line : journal) {
    if (line == kPainted) order.push_back("paint");
    if (line == "dialog 210 \"Framed\" open") order.push_back("open");
    if (line.starts_with("dialog 210: ")) order.push_back(line.substr(12));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"open", "paint", "click 1001", "paint", "click IDOK"}));
}

TEST_F(PaintingTest, UpdateWindowPaintsAShownDialogAtOnceAndOnlyWhenItWaits) {
  xp::ui::Script script;
  script.Dialog(kFramedDialog).Click(IDOK);
  Play(script);
  PaintDialog dialog;
  dialog.on_init = [](HWND window) {
    // Shown only once the initialisation returns: the first paint waits for it.
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(current->paints, 0);
  };
  EXPECT_EQ(RunPaintDialog(dialog), IDOK);
  EXPECT_EQ(dialog.paints, 1);
}

TEST_F(PaintingTest, OnlyDeclaredBitmapsLoad) {
  const HBITMAP banner = LoadBitmapA(nullptr, MAKEINTRESOURCEA(kBanner));
  ASSERT_NE(banner, nullptr);
  BITMAP size = {};
  EXPECT_EQ(GetObjectA(banner, sizeof size, &size), static_cast<int>(sizeof size));
  EXPECT_EQ(size.bmWidth, 120);
  EXPECT_EQ(size.bmHeight, 40);
  EXPECT_TRUE(DeleteObject(banner));
  SetLastError(0);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(130)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
}  // namespace xp::user32::testing
