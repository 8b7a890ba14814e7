// The shared I/O numbers as kernel code sees them, through the kernel-side headers alone.
#include <gtest/gtest.h>

#include "ddk/ntifs.h"

#include "io_code_rows.h"

namespace {

TEST(IoCodes, KernelHeadersGiveTheDocumentedValues) {
  for (const IoCodeRow& row : kIoCodeRows) EXPECT_EQ(row.value, row.documented) << row.name;
}

}  // namespace
