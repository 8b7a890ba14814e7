// The shared I/O numbers as user-mode code sees them, through windows.h and winioctl.h.
#include <gtest/gtest.h>

#include "windows.h"
#include "winioctl.h"

#include "io_code_rows.h"

namespace {

TEST(IoCodes, UserModeHeadersGiveTheDocumentedValues) {
  for (const IoCodeRow& row : kIoCodeRows) EXPECT_EQ(row.value, row.documented) << row.name;
}

}  // namespace
