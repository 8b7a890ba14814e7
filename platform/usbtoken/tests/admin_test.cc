// The owner's view of a machine's tokens: list, plug, unplug, describe, the request log, interface paths.
#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using AdminTest = TokenTest;

TEST_F(AdminTest, ListsTokensInCreationOrderWithTheirInterfacePaths) {
  const std::string second = Provision(root_, 7, "87654321");
  ASSERT_TRUE(Unplug(root_, id_));
  const std::vector<TokenInfo> tokens = List(root_);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].id, "token1");
  EXPECT_FALSE(tokens[0].plugged);
  EXPECT_EQ(tokens[0].interface_path,
            "\\\\?\\usb#vid_7a5c&pid_0c01#token1#{00873fdf-61a8-11d1-aa5e-00c04fb1728b}");
  EXPECT_EQ(tokens[1].id, second);
  EXPECT_TRUE(tokens[1].plugged);
  EXPECT_EQ(tokens[1].esn, "87654321");
}

TEST_F(AdminTest, PlugAndUnplugAnswerWhetherTheTokenExists) {
  EXPECT_TRUE(Unplug(root_, id_));
  EXPECT_TRUE(Unplug(root_, id_));
  EXPECT_TRUE(Plug(root_, id_));
  EXPECT_TRUE(Plug(root_, id_));
  for (const char* bad : {"token9", "", "..", "../token1", "token1/../token1"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(Plug(root_, bad));
    EXPECT_FALSE(Unplug(root_, bad));
    EXPECT_FALSE(SetCounter(root_, bad, 1));
    EXPECT_FALSE(Inspect(root_, bad).has_value());
    EXPECT_EQ(Describe(root_, bad), "");
  }
}

TEST_F(AdminTest, OpensByInterfacePathInAnyLetterCase) {
  DWORD error = 0;
  std::string upper = InterfacePath(id_);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  EXPECT_NE(OpenInterface(upper, &error), nullptr);
  for (const std::string& path : {InterfacePath("token2"), std::string("\\\\?\\usb#vid_7a5c&pid_0c01#token1"),
                                 InterfacePath(id_) + "x"}) {
    SCOPED_TRACE(path);
    error = 0;
    EXPECT_EQ(OpenInterface(path, &error), nullptr);
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(AdminTest, RequestLogRecordsEveryRequestInOrder) {
  Channel channel = Open();
  ASSERT_TRUE(SetCounter(root_, id_, 0x0102));
  ASSERT_TRUE(ClearRequestLog(root_, id_));
  uint16_t counter = 0;
  ASSERT_EQ(channel.Write(0x32, {8, 0}), ERROR_SUCCESS);
  ASSERT_EQ(channel.Command(0x7A), ERROR_SUCCESS);
  ASSERT_EQ(channel.Read(0x3C, 2), ERROR_SUCCESS);
  ASSERT_EQ(channel.ReadCounter(&counter), ERROR_SUCCESS);
  ASSERT_EQ(channel.WriteCounter(3), ERROR_SUCCESS);
  ASSERT_EQ(channel.Read(0x32, 2), ERROR_INVALID_FUNCTION);
  const Snapshot token = Look();
  const std::vector<uint8_t> esn_start(token.flash.begin() + 512, token.flash.begin() + 514);
  const std::vector<Request> expected = {
      {kWriteRegister, 0x32, 2, {8, 0}, ERROR_SUCCESS},
      {kWriteRegister, 0x30, 1, {0x7A}, ERROR_SUCCESS},
      {kReadRegister, 0x3C, 2, esn_start, ERROR_SUCCESS},
      {kReadCounter, 0x00FF, 8, {0x02, 0x01}, ERROR_SUCCESS},
      {kWriteCounter, 0x00FF, 8, {3, 0, 0, 0}, ERROR_SUCCESS},
      {kReadRegister, 0x32, 2, {}, ERROR_INVALID_FUNCTION},
  };
  EXPECT_EQ(RequestLog(root_, id_), expected);
  ASSERT_TRUE(Unplug(root_, id_));
  EXPECT_EQ(channel.Read(0x31, 1), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(RequestLog(root_, id_).back(), (Request{kReadRegister, 0x31, 1, {}, ERROR_DEVICE_NOT_CONNECTED}));
}

TEST_F(AdminTest, DescribeShowsIdentityPasswordCounterAndUsedPages) {
  Channel channel = Open();
  ASSERT_EQ(channel.ProgramPassword("Secret1"), ERROR_SUCCESS);
  ASSERT_EQ(channel.ProgramChunk(6 * 8, 16, {0xAB}), ERROR_SUCCESS);
  ASSERT_TRUE(SetCounter(root_, id_, 3));
  const std::string text = Describe(root_, id_);
  const std::string esn = List(root_)[0].esn;
  for (const std::string& expected :
       {std::string("token1  plugged  ") + InterfacePath(id_), "serial number  " + esn, std::string("password       set"),
        std::string("  0000  00 53 65 63 72 65 74 31 ff ff"), std::string("counter        3"),
        std::string("page 6\n  0010  ab ff"), std::string("status         0x01\n")}) {
    EXPECT_NE(text.find(expected), std::string::npos) << "missing: " << expected << "\n" << text;
  }
  EXPECT_EQ(text.find("page 2\n"), std::string::npos);
  EXPECT_EQ(text.find("page 0"), std::string::npos) << "the key page stays hidden";
}

}  // namespace
}  // namespace xp::usbtoken
