// Injected faults: failed requests, a slow or silent status and AES engine, failed opens and closes, an unplug
// in the middle of a sequence, flash that only clears bits.
#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using FaultsTest = TokenTest;

// Results of a fixed run of six requests under one request fault.
std::vector<DWORD> RunSix(Channel& channel) {
  uint16_t counter = 0;
  return {channel.Read(0x31, 1),       channel.Write(0x34, {1}),     channel.Read(0x31, 1),
          channel.ReadCounter(&counter), channel.Write(0x32, {8, 0}), channel.Read(0x31, 1)};
}

TEST_F(FaultsTest, RequestFaultsFailTheMatchingRequestsOnly) {
  constexpr DWORD F = ERROR_GEN_FAILURE;
  constexpr DWORD ok = ERROR_SUCCESS;
  RequestFault third = RequestFault::Nth(3);
  third.error = ERROR_IO_DEVICE;
  RequestFault status_twice = RequestFault::Register(0x31);
  status_twice.times = 2;
  struct Case {
    const char* name;
    RequestFault fault;
    std::vector<DWORD> results;
  };
  const Case cases[] = {
      {"third request", third, {ok, ok, ERROR_IO_DEVICE, ok, ok, ok}},
      {"status register always", RequestFault::Register(0x31), {F, ok, F, ok, ok, F}},
      {"status register twice", status_twice, {F, ok, F, ok, ok, ok}},
      {"next status read", RequestFault::StatusRead(), {F, ok, ok, ok, ok, ok}},
      {"counter read", RequestFault::CounterRead(), {ok, ok, ok, F, ok, ok}},
      {"every write", RequestFault::Code(kWriteRegister), {ok, F, ok, ok, F, ok}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ClearFaults(root_, id_));
    ASSERT_TRUE(AddRequestFault(root_, id_, c.fault));
    Channel channel = Open();
    EXPECT_EQ(RunSix(channel), c.results);
  }
}

TEST_F(FaultsTest, FailedRequestHasNoEffectAndIsLogged) {
  Channel channel = Open();
  ASSERT_TRUE(ClearRequestLog(root_, id_));
  ASSERT_TRUE(AddRequestFault(root_, id_, RequestFault::Nth(2)));
  ASSERT_EQ(channel.Write(0x32, {16, 0, 7, 7, 7, 7, 7, 7, 7, 7}), ERROR_SUCCESS);
  EXPECT_EQ(channel.Command(0x75), ERROR_GEN_FAILURE);
  EXPECT_EQ(Look().flash[1024], 0xFF);
  const std::vector<Request> log = RequestLog(root_, id_);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1], (Request{kWriteRegister, 0x30, 1, {0x75}, ERROR_GEN_FAILURE}));
}

TEST_F(FaultsTest, StatusNotReadyForSomeReadsOrNever) {
  Channel channel = Open();
  ASSERT_TRUE(SetStatusNotReady(root_, id_, 2));
  EXPECT_EQ(channel.Status(), 0x00);
  EXPECT_EQ(channel.Status(), 0x00);
  EXPECT_EQ(channel.Status(), 0x01);
  ASSERT_TRUE(SetStatusNotReady(root_, id_, kAlways));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(channel.Status(), 0x00) << i;
}

TEST_F(FaultsTest, AesBitsShowAfterTheGivenPollsOrNever) {
  Channel channel = Open();
  auto poll = [&] {
    std::vector<uint8_t> status;
    EXPECT_EQ(channel.Read(0x20, 1, &status), ERROR_SUCCESS);
    return status.empty() ? 0xEE : status[0];
  };
  ASSERT_TRUE(SetAesKeyReadyDelay(root_, id_, 2));
  ASSERT_TRUE(SetAesDoneDelay(root_, id_, kAlways));
  ASSERT_EQ(channel.Write(0x20, {0x08}), ERROR_SUCCESS);
  EXPECT_EQ(poll(), 0x00);
  EXPECT_EQ(poll(), 0x00);
  EXPECT_EQ(poll(), 0x02);
  ASSERT_EQ(channel.Write(0x20, {0x04}), ERROR_SUCCESS);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(poll(), 0x02) << i;
  ASSERT_TRUE(ClearFaults(root_, id_));
  EXPECT_EQ(poll(), 0x03);
}

TEST_F(FaultsTest, OpenAndCloseFailures) {
  ASSERT_TRUE(FailOpens(root_, id_, 1, ERROR_ACCESS_DENIED));
  DWORD error = 0;
  EXPECT_EQ(OpenInterface(InterfacePath(id_), &error), nullptr);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  auto device = OpenInterface(InterfacePath(id_), &error);
  ASSERT_NE(device, nullptr);

  ASSERT_TRUE(FailCloses(root_, id_, 1));
  EXPECT_EQ(device->OnClose(), ERROR_GEN_FAILURE);
  EXPECT_EQ(OpenInterface(InterfacePath(id_), &error)->OnClose(), ERROR_SUCCESS);
}

TEST_F(FaultsTest, UnplugAfterTheGivenRequest) {
  Channel channel = Open();
  ASSERT_TRUE(UnplugAfter(root_, id_, 2));
  EXPECT_EQ(channel.Read(0x31, 1), ERROR_SUCCESS);
  EXPECT_EQ(channel.Read(0x31, 1), ERROR_SUCCESS);
  EXPECT_EQ(channel.Read(0x31, 1), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_FALSE(List(root_)[0].plugged);
}

TEST_F(FaultsTest, StrictFlashOnlyClearsBitsUntilErased) {
  ASSERT_TRUE(SetStrictFlash(root_, id_, true));
  Channel channel = Open();
  ASSERT_EQ(channel.ProgramChunk(16, 0, {0xF0, 0x0F}), ERROR_SUCCESS);
  ASSERT_EQ(channel.ProgramChunk(16, 0, {0x3C, 0x3C}), ERROR_SUCCESS);
  EXPECT_EQ(Look().flash[1024], 0x30);
  EXPECT_EQ(Look().flash[1025], 0x0C);
  ASSERT_EQ(channel.ErasePage(2), ERROR_SUCCESS);
  ASSERT_EQ(channel.ProgramChunk(16, 0, {0x3C}), ERROR_SUCCESS);
  EXPECT_EQ(Look().flash[1024], 0x3C);
}

TEST_F(FaultsTest, DescribeListsTheFaultsSet) {
  ASSERT_TRUE(AddRequestFault(root_, id_, RequestFault::Register(0x31)));
  ASSERT_TRUE(UnplugAfter(root_, id_, 7));
  const std::string text = Describe(root_, id_);
  EXPECT_NE(text.find("fail requests register 0x31: pass 0, then fail always"), std::string::npos) << text;
  EXPECT_NE(text.find("unplug after 7 more requests"), std::string::npos) << text;
  ASSERT_TRUE(ClearFaults(root_, id_));
  EXPECT_NE(Describe(root_, id_).find("faults         none"), std::string::npos);
}

}  // namespace
}  // namespace xp::usbtoken
