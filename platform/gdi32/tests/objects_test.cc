// The objects a paint uses: a memory context takes one program bitmap at a time, hands back what it held, and
// only a copy of a program's bitmap onto a window reaches the journal; a bitmap cannot be deleted while selected,
// and deleting the context frees it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_machine.h"
#include "ui_journal.h"
#include "windows.h"
#include "xp/gdi32.h"

namespace xp::gdi32::testing {
namespace {

class GdiTest : public ::testing::Test {
 protected:
  std::vector<std::string> UiJournal() const { return xp::test::UiJournal(machine_.root()); }

  const xp::test::ScratchMachine machine_{
      xp::test::ScratchOptions{.token_seed = std::nullopt, .fresh_registry = false, .no_ui = true}};
};

TEST_F(GdiTest, CopiesOfAProgramsBitmapOntoAWindowAreJournaledAsSourceAndDestination) {
  const size_t before = LiveObjects();
  const HDC window = CreateWindowDC("102");
  const HDC memory = CreateCompatibleDC(window);
  const HBITMAP banner = CreateResourceBitmap(129, 410, 60);
  const HGDIOBJ stock = SelectObject(memory, banner);
  ASSERT_NE(stock, nullptr);

  BITMAP size = {};
  EXPECT_EQ(GetObjectA(banner, sizeof size, &size), static_cast<int>(sizeof size));
  EXPECT_EQ(size.bmWidth, 410);
  EXPECT_EQ(size.bmHeight, 60);
  EXPECT_EQ(GetObjectA(banner, sizeof size - 1, &size), 0);

  EXPECT_TRUE(BitBlt(window, 0, 0, 410, 60, memory, 0, 0, SRCCOPY));
  EXPECT_TRUE(StretchBlt(window, 0, 0, 1024, 768, memory, 0, 0, 200, 200, SRCCOPY));
  // Refused, and never journaled: another raster operation, a memory context as the destination, a source that
  // holds only the stock bitmap.
  const HDC empty = CreateCompatibleDC(nullptr);
  SetLastError(0);
  EXPECT_FALSE(BitBlt(window, 0, 0, 410, 60, memory, 0, 0, 0x00EE0086u));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_FALSE(BitBlt(empty, 0, 0, 410, 60, memory, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(window, 0, 0, 1, 1, empty, 0, 0, SRCCOPY));
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{"dialog 102 paint bitmap 129 0,0 410x60 -> 0,0 410x60",
                                                   "dialog 102 paint bitmap 129 0,0 200x200 -> 0,0 1024x768"}));

  // One context at a time: the bitmap is refused elsewhere, and cannot be deleted, until it is put back.
  EXPECT_EQ(SelectObject(empty, banner), nullptr);
  EXPECT_FALSE(DeleteObject(banner));
  EXPECT_EQ(SelectObject(memory, stock), banner);
  EXPECT_EQ(SelectObject(empty, banner), stock);
  EXPECT_EQ(SelectObject(window, banner), nullptr);
  // Deleting the context drops its selection.
  EXPECT_TRUE(DeleteDC(empty));
  EXPECT_TRUE(DeleteObject(banner));
  EXPECT_FALSE(DeleteObject(banner));
  EXPECT_FALSE(DeleteDC(window));  // a window's context goes back through its window
  ReleaseWindowDC(window);
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_TRUE(DeleteObject(stock));  // the stock bitmap stays
  EXPECT_EQ(LiveObjects(), before);
  SetLastError(0);
  EXPECT_EQ(SelectObject(memory, stock), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace xp::gdi32::testing
