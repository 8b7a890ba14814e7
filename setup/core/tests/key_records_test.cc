// The key records: the S1 record on token page 2 byte for byte, the key files in the install folder, and the whole
// chain read back by another process after the token was unplugged and plugged again.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "aes_test_vectors.h"
#include "hex.h"
#include "key_format.h"
#include "setupcore_fixture.h"
#include "xp/usbtoken.h"

namespace tavik::setupcore::testing {
namespace {

using cipher::test_vectors::Bytes;

constexpr size_t kS1Address = 2 * 512 + 4;
constexpr size_t kCheckAddress = 2 * 512 + 20;

class KeyRecordsTest : public SetupcoreTest {
 protected:
  std::vector<uint8_t> Flash(size_t address, size_t length) const {
    const auto snapshot = xp::usbtoken::Inspect(root(), token());
    return std::vector<uint8_t>(snapshot->flash.begin() + address, snapshot->flash.begin() + address + length);
  }
};

TEST_F(KeyRecordsTest, S1RecordHoldsS1AndItsEncryptionUnderItself) {
  std::vector<uint8_t> s1 = Bytes("000102030405060708090a0b0c0d0e0f");
  ASSERT_EQ(write_nubo_s1(s1.data(), 16), 1);
  EXPECT_EQ(Flash(kS1Address, 16), s1);
  EXPECT_EQ(Flash(kCheckAddress, 16), Bytes("0a940bb5416ef045f1c39458c653ea5a"));  // FIPS-197 AES under itself

  unsigned char back[16] = {};
  EXPECT_EQ(read_nubo_s1(back, 16), 0);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 16), s1);
  EXPECT_EQ(all_nubo_info_exist(), 0);

  EXPECT_EQ(cleanup_nubo_info(), 1);
  EXPECT_EQ(Flash(kCheckAddress, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(Flash(kS1Address, 16), s1);
  EXPECT_EQ(read_nubo_s1(back, 16), 3);
  EXPECT_EQ(all_nubo_info_exist(), 0);  // an uninstall resumed after its token clean-up must pass
}

TEST_F(KeyRecordsTest, AFreshTokenHasNoValidRecordAndOtherLengthsAreRefused) {
  unsigned char s1[16];
  EXPECT_EQ(read_nubo_s1(s1, 16), 3);
  unsigned char longer[32] = {};
  EXPECT_EQ(read_nubo_s1(longer, 32), 1);
  EXPECT_EQ(write_nubo_s1(longer, 32), 0);
  EXPECT_EQ(Flash(kS1Address, 32), std::vector<uint8_t>(32, 0xFF));
}

TEST_F(KeyRecordsTest, TokenFailuresAreReported) {
  std::vector<uint8_t> s1 = Bytes("00112233445566778899aabbccddeeff");
  // The first request of the S1 write fails: nothing is written, the check copy least of all.
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(root(), token(), xp::usbtoken::RequestFault::Nth(1)));
  EXPECT_EQ(write_nubo_s1(s1.data(), 16), 0);
  EXPECT_EQ(Flash(kS1Address, 32), std::vector<uint8_t>(32, 0xFF));

  ASSERT_EQ(write_nubo_s1(s1.data(), 16), 1);
  xp::usbtoken::Unplug(root(), token());
  unsigned char back[16];
  EXPECT_EQ(read_nubo_s1(back, 16), 1);
  EXPECT_EQ(clean_nubo_s1(), 0);
}

TEST_F(KeyRecordsTest, KeyFilesAreRawRecordsReadBackWithTerminatedHex) {
  std::vector<uint8_t> sn = Bytes("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
  std::vector<uint8_t> efkn = Bytes("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  ASSERT_TRUE(write_hd_sn(sn.data(), 16, 0, 0));
  ASSERT_TRUE(write_hd_efkn(efkn.data(), 32));
  EXPECT_EQ(Get(InInstallFolder("MRVPUZSN")), std::string(sn.begin(), sn.end()));
  EXPECT_EQ(Get(InInstallFolder("MRVENTFE")), std::string(efkn.begin(), efkn.end()));

  unsigned char sn_back[17];
  char sn_hex[33];
  std::memset(sn_hex, 'x', sizeof sn_hex);
  ASSERT_EQ(read_hd_sn(sn_back, sn_hex), 1);
  EXPECT_EQ(std::vector<uint8_t>(sn_back, sn_back + 16), sn);
  EXPECT_EQ(sn_back[16], 0);
  EXPECT_STREQ(sn_hex, "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");

  unsigned char efkn_back[32];
  char efkn_hex[65];
  std::memset(efkn_hex, 'x', sizeof efkn_hex);
  ASSERT_EQ(read_hd_efkn(efkn_back, efkn_hex), 1);
  EXPECT_EQ(std::vector<uint8_t>(efkn_back, efkn_back + 32), efkn);
  EXPECT_STREQ(efkn_hex, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
}

TEST_F(KeyRecordsTest, AMissingOrTruncatedKeyFileIsNoRecord) {
  unsigned char sn[17];
  char sn_hex[33];
  unsigned char efkn[32];
  char efkn_hex[65];
  EXPECT_EQ(read_hd_sn(sn, sn_hex), 0);
  EXPECT_EQ(read_hd_efkn(efkn, efkn_hex), 0);
  // What a crash in the middle of a write leaves: fewer bytes than the record has.
  Put(InInstallFolder("MRVPUZSN"), std::string(10, '\x11'));
  Put(InInstallFolder("MRVENTFE"), std::string(31, '\x22'));
  EXPECT_EQ(read_hd_sn(sn, sn_hex), 0);
  EXPECT_EQ(read_hd_efkn(efkn, efkn_hex), 0);
}

TEST_F(KeyRecordsTest, AnotherProcessReadsTheRecordsBackAfterTheTokenRestarts) {
  unsigned char s1[17];
  char s1_hex[33];
  generate_s1(s1, s1_hex);
  // The install's key steps, in a process of their own.
  const pid_t installer = fork();
  if (installer == 0) {
    unsigned char cfk[17], xcfk[33] = {}, sn[17], kn[17], expanded[32], efkn[32];
    char answer[33], sn_hex[33];
    if (write_nubo_s1(s1, 16) != 1 || generate_cfk(s1_hex, cfk, answer) != 1) _exit(1);
    expand_cfk(cfk, xcfk);
    generate_sn(sn, sn_hex);
    if (generate_kn(sn_hex, answer, kn) != 1) _exit(2);
    expand_kn(kn, 16, expanded);
    std::memcpy(efkn, xcfk, 32);
    _enc(efkn, 32, expanded, 32);
    _exit(write_hd_sn(sn, 16, 0, 0) && write_hd_efkn(efkn, 32) ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(installer, &status, 0), installer);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(xp::usbtoken::Unplug(root(), token()));
  ASSERT_TRUE(xp::usbtoken::Plug(root(), token()));

  unsigned char s1_back[16];
  ASSERT_EQ(read_nubo_s1(s1_back, 16), 0);
  EXPECT_EQ(std::memcmp(s1_back, s1, 16), 0);
  unsigned char cfk[17], sn[17], kn[17], efkn[32];
  char answer[33], sn_hex[33], efkn_hex[65], s1_lower[33];
  expandBin(s1_back, 16, s1_lower);  // the removal passes S1 in lower case
  s1_lower[32] = '\0';
  ASSERT_EQ(generate_cfk(s1_lower, cfk, answer), 1);
  ASSERT_EQ(read_hd_sn(sn, sn_hex), 1);
  ASSERT_EQ(generate_kn(sn_hex, answer, kn), 1);
  ASSERT_EQ(read_hd_efkn(efkn, efkn_hex), 1);
  EXPECT_TRUE(checkCFKWithoutKernel(kn, efkn));
  unsigned char unwrapped[32], xcfk[32];
  keys::UnwrapEfkn(kn, efkn, unwrapped);
  expand_cfk(cfk, xcfk);
  EXPECT_EQ(std::memcmp(unwrapped, xcfk, 32), 0);
}

}  // namespace
}  // namespace tavik::setupcore::testing
