// The driver's request buffer and the token's registers and commands, driven through an open interface.
#include <cstring>

#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using RegistersTest = TokenTest;

TEST_F(RegistersTest, RefusesUnknownRegistersWrongDirectionsAndOversizedCounts) {
  struct Case {
    DWORD code;
    uint16_t reg;
    uint16_t count;
    DWORD result;
  };
  const Case cases[] = {
      {kReadRegister, 0x31, 1, ERROR_SUCCESS},
      {kReadRegister, 0x31, 2, ERROR_INVALID_PARAMETER},
      {kReadRegister, 0x31, 0, ERROR_INVALID_PARAMETER},
      {kReadRegister, 0x3C, 8, ERROR_SUCCESS},
      {kReadRegister, 0x3C, 9, ERROR_INVALID_PARAMETER},
      {kReadRegister, 0x50, 16, ERROR_SUCCESS},
      {kReadRegister, 0x50, 17, ERROR_INVALID_PARAMETER},
      {kReadRegister, 0x20, 1, ERROR_SUCCESS},
      {kReadRegister, 0x32, 2, ERROR_INVALID_FUNCTION},  // write-only
      {kReadRegister, 0x10, 16, ERROR_INVALID_FUNCTION},
      {kReadRegister, 0x33, 1, ERROR_INVALID_FUNCTION},  // no such register
      {kWriteRegister, 0x31, 1, ERROR_INVALID_FUNCTION},  // read-only
      {kWriteRegister, 0x32, 10, ERROR_SUCCESS},
      {kWriteRegister, 0x32, 11, ERROR_INVALID_PARAMETER},
      {kWriteRegister, 0x34, 2, ERROR_INVALID_PARAMETER},
      {kWriteRegister, 0x10, 16, ERROR_SUCCESS},
      {kWriteRegister, 0x10, 17, ERROR_INVALID_PARAMETER},  // more than the 16 data bytes of the buffer
      {kWriteRegister, 0x30, 5, ERROR_INVALID_PARAMETER},
      {kWriteRegister, 0x00, 1, ERROR_INVALID_FUNCTION},
      {0x220010, 0x31, 1, ERROR_INVALID_FUNCTION},  // no such control code
  };
  Channel channel = Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.code << " reg " << c.reg << std::dec << " count " << c.count);
    uint8_t buffer[kRequestSize] = {static_cast<uint8_t>(c.reg), static_cast<uint8_t>(c.reg >> 8),
                                    static_cast<uint8_t>(c.count), static_cast<uint8_t>(c.count >> 8)};
    DWORD returned = 0xDEAD;
    EXPECT_EQ(channel.device().IoControl(c.code, buffer, kRequestSize, buffer, kRequestSize, &returned), c.result);
  }
}

// A read fills exactly the bytes asked for and never looks past the sizes it was given.
TEST_F(RegistersTest, StaysInsideTheCallersBuffers) {
  Channel channel = Open();
  ASSERT_EQ(channel.ProgramChunk(16, 0, {1, 2, 3, 4, 5, 6, 7, 8}), ERROR_SUCCESS);
  ASSERT_EQ(channel.Write(0x32, {16, 0}), ERROR_SUCCESS);
  ASSERT_EQ(channel.Command(0x7B), ERROR_SUCCESS);

  uint8_t buffer[kRequestSize + 4];
  std::memset(buffer, 0xAA, sizeof buffer);
  const uint8_t header[4] = {0x3C, 0x00, 2, 0};
  std::memcpy(buffer, header, 4);
  DWORD returned = 0;
  ASSERT_EQ(channel.device().IoControl(kReadRegister, buffer, kRequestSize, buffer, kRequestSize, &returned),
            ERROR_SUCCESS);
  EXPECT_EQ(returned, 6u);
  EXPECT_EQ(buffer[4], 1);
  EXPECT_EQ(buffer[5], 2);
  for (size_t i = 6; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0xAA) << "byte " << i;

  // An output too small for the count, or an input too short for its data, fails without touching anything.
  EXPECT_EQ(channel.device().IoControl(kReadRegister, header, 4, buffer, 5, &returned), ERROR_INVALID_PARAMETER);
  const uint8_t short_write[6] = {0x10, 0x00, 16, 0, 9, 9};
  EXPECT_EQ(channel.device().IoControl(kWriteRegister, short_write, sizeof short_write, nullptr, 0, &returned),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(channel.device().IoControl(kReadRegister, header, 2, buffer, kRequestSize, &returned),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistersTest, ProgramsReadsAndErasesUserFlash) {
  Channel channel = Open();
  EXPECT_EQ(channel.ProgramChunk(16, 60, {1, 2, 3, 4, 5, 6, 7, 8}), ERROR_SUCCESS);  // runs into block 17
  EXPECT_EQ(channel.ProgramChunk(17, 4, {9}), ERROR_SUCCESS);
  std::vector<uint8_t> data;
  ASSERT_EQ(channel.ReadChunk(16, 60, 0x0B, 8, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(channel.ReadChunk(17, 2, 0x0B, 3, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, (std::vector<uint8_t>{7, 8, 9}));
  // Unused places of the read-data register read as zero.
  std::vector<uint8_t> read_data;
  ASSERT_EQ(channel.Read(0x3C, 8, &read_data), ERROR_SUCCESS);
  EXPECT_EQ(read_data, (std::vector<uint8_t>{7, 8, 9, 0, 0, 0, 0, 0}));

  const Snapshot before = Look();
  EXPECT_EQ(before.flash[1024 + 60], 1);
  EXPECT_EQ(before.flash[1024 + 64 + 4], 9);
  ASSERT_EQ(channel.ErasePage(2), ERROR_SUCCESS);
  const Snapshot after = Look();
  for (size_t i = 1024; i < 1536; ++i) ASSERT_EQ(after.flash[i], 0xFF) << i;
  EXPECT_TRUE(std::equal(after.flash.begin(), after.flash.begin() + 1024, before.flash.begin()));
}

// The key slots and the key-byte map can be loaded into the AES engine but never read out.
TEST_F(RegistersTest, RefusesToReadTheKeyPage) {
  Channel channel = Open();
  std::vector<uint8_t> data;
  for (uint8_t command : {0x0A, 0x0B}) {
    SCOPED_TRACE(int{command});
    EXPECT_EQ(channel.ReadChunk(0, 0, command, 8, &data), ERROR_ACCESS_DENIED);
    EXPECT_EQ(channel.ReadChunk(7, 60, command, 8, &data), ERROR_ACCESS_DENIED);
    EXPECT_EQ(channel.ReadChunk(7, 63, command, 2, &data), ERROR_ACCESS_DENIED);  // the last map byte
    EXPECT_EQ(channel.ReadChunk(0, 200, command, 8, &data), ERROR_ACCESS_DENIED);
    EXPECT_EQ(channel.ReadChunk(8, 0, command, 8, &data), ERROR_SUCCESS);
  }
  EXPECT_EQ(channel.Write(0x32, {4, 0}), ERROR_SUCCESS);
  EXPECT_EQ(channel.Command(0x09), ERROR_SUCCESS);
}

TEST_F(RegistersTest, RefusesUnknownCommandsAndOutOfRangeAddresses) {
  Channel channel = Open();
  for (uint8_t command : {0x00, 0x01, 0x04, 0x0D, 0x0F, 0x12, 0x13, 0x16, 0x07, 0x17, 0x18, 0x1E}) {
    EXPECT_EQ(channel.Command(command), ERROR_INVALID_FUNCTION) << std::hex << int{command};
  }
  std::vector<uint8_t> data;
  EXPECT_EQ(channel.ReadChunk(255, 60, 0x0B, 8, &data), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(channel.ProgramChunk(255, 63, {1, 2}), ERROR_INVALID_PARAMETER);
  ASSERT_EQ(channel.Write(0x32, {0, 57}), ERROR_SUCCESS);
  EXPECT_EQ(channel.Command(0x77), ERROR_INVALID_PARAMETER);  // password block is 64 bytes
  EXPECT_EQ(channel.Write(0x21, {2}), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(channel.Write(0x20, {0x01}), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistersTest, MassEraseClearsUserPagesAndPasswordButKeepsKeysAndIdentity) {
  Channel channel = Open();
  ASSERT_EQ(channel.ProgramPassword("Secret1"), ERROR_SUCCESS);
  ASSERT_EQ(channel.ComparePassword("Secret1"), ERROR_SUCCESS);
  ASSERT_EQ(channel.ProgramChunk(31 * 8 + 7, 56, {1, 2, 3, 4, 5, 6, 7, 8}), ERROR_SUCCESS);
  const Snapshot before = Look();
  ASSERT_EQ(channel.Command(0x03), ERROR_SUCCESS);
  const Snapshot after = Look();
  EXPECT_TRUE(std::equal(after.flash.begin(), after.flash.begin() + 1024, before.flash.begin()));
  EXPECT_TRUE(std::all_of(after.flash.begin() + 1024, after.flash.end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(after.password_block, PasswordBlock(""));
  EXPECT_FALSE(after.accepted);
}

TEST_F(RegistersTest, SoftResetForgetsRegistersAndAcceptance) {
  Channel channel = Open();
  ASSERT_EQ(channel.ComparePassword(""), ERROR_SUCCESS);
  ASSERT_EQ(channel.Status(), 0x03);
  ASSERT_EQ(channel.Write(0x30, {0x5C, 0, 0, 0}), ERROR_SUCCESS);
  ASSERT_EQ(Look().selected_slot, 5);
  ASSERT_EQ(channel.Write(0x21, {1}), ERROR_SUCCESS);
  EXPECT_EQ(channel.Status(), 0x01);
  EXPECT_EQ(Look().selected_slot, 0);
  std::vector<uint8_t> aes_status;
  ASSERT_EQ(channel.Read(0x20, 1, &aes_status), ERROR_SUCCESS);
  EXPECT_EQ(aes_status[0], 0);
}

TEST_F(RegistersTest, CounterRequestsCarryTheFixedHeader) {
  Channel channel = Open();
  uint16_t counter = 0xFFFF;
  ASSERT_EQ(channel.ReadCounter(&counter), ERROR_SUCCESS);
  EXPECT_EQ(counter, 0);
  ASSERT_EQ(channel.WriteCounter(0x1234), ERROR_SUCCESS);
  ASSERT_EQ(channel.ReadCounter(&counter), ERROR_SUCCESS);
  EXPECT_EQ(counter, 0x1234);
  EXPECT_EQ(Look().counter, 0x1234);
  // 16 bits wide: a larger value is refused, not cut.
  EXPECT_EQ(channel.WriteCounter(0x10000), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Look().counter, 0x1234);

  uint8_t bad_header[kRequestSize] = {0x31, 0x00, 1, 0};
  DWORD returned = 0;
  EXPECT_EQ(channel.device().IoControl(kReadCounter, bad_header, kRequestSize, bad_header, kRequestSize, &returned),
            ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace xp::usbtoken
