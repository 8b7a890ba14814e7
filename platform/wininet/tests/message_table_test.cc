// The message table's contract with FormatMessageA: the module that holds the WinInet calls exports its table
// under the agreed name, texts closed by CR LF, ending in a null entry.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "wininet.h"
#include "xp/message_table.h"

namespace {

TEST(MessageTable, IsFoundThroughTheModuleOfTheCalls) {
  Dl_info info{};
  ASSERT_NE(::dladdr(reinterpret_cast<void*>(&InternetOpenA), &info), 0);
  void* module = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(module, nullptr);
  const auto* table = static_cast<const xp::MessageTableEntry*>(::dlsym(module, xp::kMessageTableSymbol));
  ASSERT_NE(table, nullptr);
  size_t count = 0;
  for (; table[count].text != nullptr; ++count) {
    EXPECT_GE(table[count].id, 12000u);
    EXPECT_TRUE(std::string(table[count].text).ends_with("\r\n")) << table[count].id;
  }
  EXPECT_GT(count, 0u);
  ::dlclose(module);
}

}  // namespace
