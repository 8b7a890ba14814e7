// UUIDs: version-4 layout, canonical text, and freeing the text.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "rpc.h"

namespace {

std::string Text(const UUID& uuid) {
  RPC_CSTR text = nullptr;
  EXPECT_EQ(UuidToStringA(&uuid, &text), RPC_S_OK);
  std::string copy(reinterpret_cast<const char*>(text));
  EXPECT_EQ(RpcStringFreeA(&text), RPC_S_OK);
  EXPECT_EQ(text, nullptr);
  return copy;
}

TEST(Uuid, NewUuidsAreVersionFourAndDistinct) {
  std::set<std::string> seen;
  const std::regex canonical("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  for (int i = 0; i < 64; ++i) {
    UUID uuid;
    ASSERT_EQ(UuidCreate(&uuid), RPC_S_OK);
    const std::string text = Text(uuid);
    EXPECT_TRUE(std::regex_match(text, canonical)) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
}

TEST(Uuid, TextIsTheFieldsInOrderInLowerCase) {
  const UUID uuid = {0x5F00A0B1, 0xC2D3, 0x4E5F, {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};
  EXPECT_EQ(Text(uuid), "5f00a0b1-c2d3-4e5f-8192-a3b4c5d6e7f8");
}

TEST(Uuid, MissingArgumentsAreRefused) {
  RPC_CSTR text = nullptr;
  const UUID uuid{};
  EXPECT_EQ(UuidCreate(nullptr), RPC_S_INVALID_ARG);
  EXPECT_EQ(UuidToStringA(nullptr, &text), RPC_S_INVALID_ARG);
  EXPECT_EQ(UuidToStringA(&uuid, nullptr), RPC_S_INVALID_ARG);
  EXPECT_EQ(RpcStringFreeA(nullptr), RPC_S_INVALID_ARG);
}

}  // namespace
