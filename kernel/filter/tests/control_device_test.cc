// The control device: its exclusive open, the 18 control codes with their results and reply layouts, the buffer
// checks every request makes, and the key operations the logon's key rotation depends on.
#include <cstring>

#include "cipher_exports.h"
#include "key_format.h"
#include "morvel_fixture.h"
#include "morvel_ioctl.h"

namespace tavik::morvel::testing {
namespace {

// Static, so that a position-dependent test program keeps it below 4 GiB: data requests carry 32-bit addresses.
alignas(16) uint8_t low_buffer[4096];

uint32_t LowAddress(const Bytes& contents) {
  std::memcpy(low_buffer, contents.data(), contents.size());
  const auto address = reinterpret_cast<uintptr_t>(low_buffer);
  EXPECT_LT(address, 1ull << 32) << "the test program must be built position-dependent";
  return static_cast<uint32_t>(address);
}

void PutU32(Bytes* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t U32(const Bytes& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | bytes[offset + i];
  return value;
}

Bytes DataRequest(uint32_t address, uint32_t length, const Bytes& material, uint32_t mode) {
  Bytes request(kDataRequestSize, 0);
  PutU32(&request, kDataAddressOffset, address);
  PutU32(&request, kDataLengthOffset, length);
  std::copy(material.begin(), material.end(), request.begin() + kDataKeyOffset);
  PutU32(&request, kDataModeOffset, mode);
  return request;
}

Bytes RuleEdit(const std::u16string& first, const std::u16string& second) {
  Bytes request(8, 0);
  PutU32(&request, kRuleEditFirstLengthOffset, static_cast<uint32_t>(first.size()));
  PutU32(&request, kRuleEditSecondLengthOffset, static_cast<uint32_t>(second.size()));
  for (const std::u16string* path : {&first, &second}) {
    for (char16_t c : *path) {
      request.push_back(static_cast<uint8_t>(c));
      request.push_back(static_cast<uint8_t>(c >> 8));
    }
    request.push_back(0);
    request.push_back(0);
  }
  return request;
}

Bytes WithLength(Bytes request, size_t offset, uint32_t length) {
  PutU32(&request, offset, length);
  return request;
}

Bytes WithoutFirstNul(Bytes request) {
  const uint32_t first_length = U32(request, kRuleEditFirstLengthOffset);
  request[kRuleEditPathsOffset + 2 * first_length] = 'x';
  return request;
}

Bytes AsBytes(const std::array<uint8_t, 16>& bytes) { return Bytes(bytes.begin(), bytes.end()); }

// The AES-128 of `data` under `key16` as the file cipher computes whole blocks (setupcore's _enc).
Bytes AesUnder(const uint8_t* key16, Bytes data) {
  uint8_t key[16];
  std::memcpy(key, key16, 16);
  _enc(data.data(), static_cast<unsigned>(data.size() / 16 * 16), key, 16);
  return data;
}

class ControlDeviceTest : public MorvelTest {};

// Each record as the bytes a caller sends, written out here rather than taken from the driver's own layout.
TEST_F(ControlDeviceTest, EachRecordAsALiteralRow) {
  StartWithoutKey();
  // KeyUnwrapRequest: kn all zero, the test key's XCFK as efk, flag 1 (the plain path).
  const Bytes unwrap = FromHex(
      "00000000000000000000000000000000"
      "54a061a776ae69b56bbc58c363ca66d1 6bd84ddf61e672ed6bf465fb72023109"
      "01");
  const Reply set = Control(kMorvelSetFKn, unwrap, 1);
  EXPECT_EQ(set.status, STATUS_SUCCESS);
  EXPECT_EQ(set.output, Bytes{1});
  // StatsReply: no failed unwrap, one flagged attempt, a key held.
  EXPECT_EQ(Stats().output, FromHex("00000000 01000000 01000000"));

  // DataRequest: address (filled in below), length 16, the FIPS-197 key and 16 more bytes, mode 2 (the key as it
  // is); the reply is the FIPS-197 ciphertext of its plaintext.
  Bytes data = FromHex(
      "00000000 10000000"
      "000102030405060708090a0b0c0d0e0f 00000000000000000000000000000000"
      "02000000");
  const uint32_t address = LowAddress(FromHex("00112233445566778899aabbccddeeff"));
  for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(address >> (8 * i));
  EXPECT_EQ(Control(kEncryptData, data, 16).output, FromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));

  // RuleEditRequest: lengths 5 and 5, then "\Docs" and "\Work" in UTF-16, each with its NUL.
  const Bytes rules = FromHex(
      "05000000 05000000"
      "5c00 4400 6f00 6300 7300 0000"
      "5c00 5700 6f00 7200 6b00 0000");
  EXPECT_EQ(Control(kSetExclusion, rules, 0).status, STATUS_SUCCESS);
  MakeHostFolder('C', "Work");
  for (const char* folder : {"Docs", "Work"}) {
    SCOPED_TRACE(folder);
    const std::string name = std::string(folder) + "/plain.txt";
    const std::string nt_name = std::string("\\??\\C:\\") + folder + "\\plain.txt";
    ASSERT_EQ(WriteFile(std::u16string(nt_name.begin(), nt_name.end()), Pattern(50)), STATUS_SUCCESS);
    EXPECT_EQ(HostBytes('C', name), Pattern(50));
  }
}

TEST_F(ControlDeviceTest, OpensOneHandleAtATime) {
  StartWithoutKey();
  const Opened first = OpenControl();
  ASSERT_EQ(first.status, STATUS_SUCCESS);
  EXPECT_EQ(first.information, static_cast<ULONG_PTR>(FILE_OPENED));
  EXPECT_EQ(OpenControl().status, STATUS_DEVICE_ALREADY_ATTACHED);
  Close(first.handle);
  const Opened again = OpenControl();
  EXPECT_EQ(again.status, STATUS_SUCCESS);
  Close(again.handle);
}

TEST_F(ControlDeviceTest, RequestsItDoesNotServeFailCleanly) {
  StartWithoutKey();
  const Opened control = OpenControl();
  ASSERT_EQ(control.status, STATUS_SUCCESS);
  Bytes data;
  EXPECT_EQ(Read(control.handle, &data, 16, 0), STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(Write(control.handle, Bytes(16, 1), 0), STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(SetEndOfFile(control.handle, 10), STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(Flush(control.handle), STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(Control(control.handle, 0x84028, {}, 0).status, STATUS_INVALID_PARAMETER);
  Close(control.handle);
  EXPECT_TRUE(DebugLogHas("\nCalling default"));
}

TEST_F(ControlDeviceTest, SetFileKeyResults) {
  const std::array<uint8_t, 16> zero_kn{};
  std::array<uint8_t, 16> wrong_kn = Key().kn;
  wrong_kn[0] ^= 1;
  struct Case {
    const char* what;
    std::array<uint8_t, 16> kn;
    std::array<uint8_t, 32> efk;
    uint8_t flag;
    NTSTATUS status;
    uint8_t reply;
    uint32_t failed_unwraps;
    uint32_t flagged_attempts;
    bool key_held;
    const char* log;
  };
  const Case cases[] = {
      {"XCFK itself, flagged", zero_kn, Key().xcfk, 1, STATUS_SUCCESS, 1, 0, 1, true, "\nCFK accepted!"},
      {"XCFK itself, not flagged", zero_kn, Key().xcfk, 0, STATUS_INVALID_PARAMETER, 0, 0, 0, false, "\nCFK error!"},
      {"KN and its EFKN", Key().kn, Key().efkn, 0, STATUS_SUCCESS, 1, 0, 0, true, "\nCheck FKn past"},
      {"wrong kn", wrong_kn, Key().efkn, 0, STATUS_SUCCESS, 0, 1, 0, false, "\nFKn or Kn error!"},
      {"wrong kn, flagged", wrong_kn, Key().efkn, 1, STATUS_SUCCESS, 0, 0, 1, false, "\nFKn or Kn error!"},
      {"a CFK without the marker", zero_kn, Key().efkn, 1, STATUS_INVALID_PARAMETER, 0, 0, 1, false, "\nCFK error!"},
  };
  StandardRegistry();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Boot();
    ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
    const Reply reply = SetKey(c.kn, c.efk, c.flag);
    EXPECT_EQ(reply.status, c.status);
    ASSERT_EQ(reply.information, 1u);
    EXPECT_EQ(reply.output[0], c.reply);
    const Reply stats = Stats();
    ASSERT_EQ(stats.status, STATUS_SUCCESS);
    ASSERT_EQ(stats.output.size(), kStatsReplySize);
    EXPECT_EQ(U32(stats.output, kStatsFailedUnwrapsOffset), c.failed_unwraps);
    EXPECT_EQ(U32(stats.output, kStatsFlaggedAttemptsOffset), c.flagged_attempts);
    EXPECT_EQ(stats.output[kStatsKeyHeldOffset], c.key_held ? 1 : 0);
    EXPECT_TRUE(DebugLogHas(c.log));
    kernel_.reset();
  }
}

TEST_F(ControlDeviceTest, HeldKeyIsNeverReplaced) {
  StartWithKey();
  std::array<uint8_t, 32> other = Key().xcfk;
  other[1] ^= 0xFF;
  const Reply again = SetKey({}, other, 1);
  EXPECT_EQ(again.status, STATUS_SUCCESS);
  EXPECT_EQ(again.output, Bytes{1});
  // The held key still wraps to what the original XCFK wraps to.
  std::array<uint8_t, 16> kn_next{};
  kn_next.fill(0x5C);
  std::array<uint8_t, 32> expected;
  keys::WrapXcfk(kn_next.data(), Key().xcfk.data(), expected.data());
  const Reply wrapped = Control(kMorvelGetFKn, AsBytes(kn_next), 32);
  EXPECT_EQ(wrapped.output, Bytes(expected.begin(), expected.end()));
}

TEST_F(ControlDeviceTest, KeyRotationRecordsComeFromTheInstalledKey) {
  StartWithKey();
  // Protected file traffic first: the key must stay usable for the rotation afterwards.
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\a.doc", Pattern(5000)), STATUS_SUCCESS);
  ASSERT_EQ(ReadFile(u"\\??\\C:\\Docs\\a.doc"), Pattern(5000));

  const Bytes sn = Pattern(16, 3);
  const Reply next_sn = Control(kMorvelGetSn, sn, 16);
  ASSERT_EQ(next_sn.status, STATUS_SUCCESS);
  EXPECT_EQ(next_sn.output, AesUnder(Key().xcfk.data(), sn));
  EXPECT_EQ(Control(kMorvelGetSn, sn, 16).output, next_sn.output);

  std::array<uint8_t, 16> kn_next{};
  for (int i = 0; i < 16; ++i) kn_next[i] = static_cast<uint8_t>(0x90 + i);
  const Reply efkn_next = Control(kMorvelGetFKn, AsBytes(kn_next), 32);
  ASSERT_EQ(efkn_next.status, STATUS_SUCCESS);
  ASSERT_EQ(efkn_next.output.size(), 32u);
  std::array<uint8_t, 32> efkn{};
  std::copy(efkn_next.output.begin(), efkn_next.output.end(), efkn.begin());
  EXPECT_TRUE(keys::KnOpensEfkn(kn_next.data(), efkn.data()));

  // The next boot opens the key with the new records and reads the same file.
  kernel_.reset();
  Boot();
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
  const Reply reopened = SetKey(kn_next, efkn, 0);
  EXPECT_EQ(reopened.output, Bytes{1});
  EXPECT_EQ(ReadFile(u"\\??\\C:\\Docs\\a.doc"), Pattern(5000));
}

TEST_F(ControlDeviceTest, CheckFileKeyAcceptsOnlyTheHeldKey) {
  StartWithKey();
  auto check = [&](const std::array<uint8_t, 16>& kn, const std::array<uint8_t, 32>& efkn) {
    Bytes request(kn.begin(), kn.end());
    request.insert(request.end(), efkn.begin(), efkn.end());
    request.push_back(0);
    return Control(kMorvelCheckFKn, request, 1);
  };
  const Reply right = check(Key().kn, Key().efkn);
  EXPECT_EQ(right.status, STATUS_SUCCESS);
  EXPECT_EQ(right.output, Bytes{1});
  EXPECT_TRUE(DebugLogHas("\nCheck CFK past"));
  std::array<uint8_t, 16> wrong = Key().kn;
  wrong[15] ^= 0x80;
  EXPECT_EQ(check(wrong, Key().efkn).output, Bytes{0});
  // A valid wrapping of some other key is no answer for this one.
  std::array<uint8_t, 16> other_cfk{};
  other_cfk.fill(0x42);
  std::array<uint8_t, 32> other_xcfk;
  std::array<uint8_t, 32> other_efkn;
  keys::ExpandCfk(other_cfk.data(), other_xcfk.data());
  keys::WrapXcfk(Key().kn.data(), other_xcfk.data(), other_efkn.data());
  EXPECT_EQ(check(Key().kn, other_efkn).output, Bytes{0});
  EXPECT_EQ(Stats().output[kStatsKeyHeldOffset], 1);
}

TEST_F(ControlDeviceTest, KeyCodesNeedAKey) {
  StartWithoutKey();
  const Bytes request(kKeyUnwrapRequestSize, 1);
  for (uint32_t code : {kMorvelStart, kMorvelGetSn, kMorvelGetFKn, kMorvelCheckFKn}) {
    SCOPED_TRACE(code);
    const Reply reply = Control(code, request, 32);
    EXPECT_EQ(reply.status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(reply.information, 0u);
  }
  const Reply stats = Stats();
  EXPECT_EQ(stats.output, Bytes(kStatsReplySize, 0));
  for (uint32_t code : {kNoOperation2, kNoOperation10, kNoOperation15, kNoOperation16}) {
    EXPECT_EQ(Control(code, {}, 0).status, STATUS_SUCCESS) << code;
  }
}

TEST_F(ControlDeviceTest, EveryRequestChecksItsBufferLengths) {
  StartWithKey();
  const Bytes unwrap(kKeyUnwrapRequestSize, 0);
  struct Case {
    const char* what;
    uint32_t code;
    Bytes input;
    ULONG output_length;
  };
  const Case cases[] = {
      {"SetFKn, 48-byte input", kMorvelSetFKn, Bytes(48, 0), 1},
      {"SetFKn, no output", kMorvelSetFKn, unwrap, 0},
      {"CheckFKn, 48-byte input", kMorvelCheckFKn, Bytes(48, 0), 1},
      {"GetSn, 15-byte input", kMorvelGetSn, Bytes(15, 0), 16},
      {"GetSn, 15-byte output", kMorvelGetSn, Bytes(16, 0), 15},
      {"GetFKn, 31-byte output", kMorvelGetFKn, Bytes(16, 0), 31},
      {"GetStats, 11-byte output", kGetStats, {}, 11},
      {"data request, 43-byte input", kEncryptData, Bytes(43, 0), 64},
      {"data request, output shorter than its length", kEncryptData, DataRequest(0x10000, 32, Bytes(32, 1), 2), 16},
      {"rule edit, 11-byte input", kSetExclusion, Bytes(11, 0), 0},
      {"rule edit, first length past the input", kSetExclusion, WithLength(RuleEdit(u"\\Docs", u""), 0, 400), 0},
      {"rule edit, length below -1", kSetInclusion, WithLength(RuleEdit(u"\\Docs", u""), 4, uint32_t(-2)), 0},
      {"rule edit, path without its NUL", kChange, WithoutFirstNul(RuleEdit(u"\\Docs", u"")), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply reply = Control(c.code, c.input, c.output_length);
    EXPECT_EQ(reply.status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(reply.information, 0u);
  }
  // The key is untouched by all of it.
  EXPECT_EQ(Stats().output[kStatsKeyHeldOffset], 1);
}

TEST_F(ControlDeviceTest, DataRequestsTransformInEachMode) {
  StartWithKey();
  const Bytes plain = Pattern(20, 9);
  Bytes material(32, 0);
  for (int i = 0; i < 32; ++i) material[i] = static_cast<uint8_t>(3 * i + 1);
  std::array<uint8_t, 32> xcfk_of_material;
  keys::ExpandCfk(material.data(), xcfk_of_material.data());

  struct Case {
    uint32_t mode;
    Bytes expected;
  };
  Bytes mode_zero = plain;
  auto file_key = Key().xcfk;
  std::array<uint8_t, 33> key33{};
  std::copy(file_key.begin(), file_key.end(), key33.begin());
  _enc(mode_zero.data(), 20, key33.data(), 33);
  const Case cases[] = {
      {0, mode_zero},                                    // the file cipher: a block and a 4-byte tail
      {2, AesUnder(material.data(), plain)},             // the key material as it is: 4 bytes left alone
      {1, AesUnder(material.data(), plain)},             // the expanded kn begins with kn itself
      {3, AesUnder(material.data(), plain)},             // bit 0 is tested before bit 1
      {4, AesUnder(xcfk_of_material.data(), plain)},     // the XCFK built from the material
      {7, AesUnder(xcfk_of_material.data(), plain)},     // bit 2 first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const Reply encrypted = Control(kEncryptData, DataRequest(LowAddress(plain), 20, material, c.mode), 20);
    ASSERT_EQ(encrypted.status, STATUS_SUCCESS);
    EXPECT_EQ(encrypted.output, c.expected);
    const Reply decrypted = Control(kDecryptData, DataRequest(LowAddress(c.expected), 20, material, c.mode), 20);
    EXPECT_EQ(decrypted.output, plain);
  }
  EXPECT_EQ(Control(kEncryptData, DataRequest(0x100, 20, material, 2), 20).status, STATUS_ACCESS_VIOLATION);
}

TEST_F(ControlDeviceTest, DataRequestsMeetTheFips197Vector) {
  StartWithoutKey();
  Bytes material(32, 0);
  for (int i = 0; i < 16; ++i) material[i] = static_cast<uint8_t>(i);
  const Bytes plain = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  const Bytes cipher = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30, 0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
  EXPECT_EQ(Control(kEncryptData, DataRequest(LowAddress(plain), 16, material, 2), 16).output, cipher);
  EXPECT_EQ(Control(kDecryptData, DataRequest(LowAddress(cipher), 16, material, 2), 16).output, plain);
  // Without a key the file cipher is refused rather than run under anything else.
  EXPECT_EQ(Control(kEncryptData, DataRequest(LowAddress(plain), 16, material, 0), 16).status,
            STATUS_INVALID_PARAMETER);
}

TEST_F(ControlDeviceTest, AFileDataRequestBeforeAnyFileIoLeavesTheFileKeyAlone) {
  StartWithKey();
  EXPECT_EQ(Control(kEncryptData, DataRequest(0, 0, Bytes(32, 0x77), 0), 0).status, STATUS_SUCCESS);
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\b.doc", Pattern(100)), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/b.doc"), Encrypted(Pattern(100)));
}

TEST_F(ControlDeviceTest, RuleEditsChangeWhatIsProtected) {
  StartWithKey();
  EXPECT_EQ(Control(kSetExclusion, RuleEdit(u"\\Docs", u"\\DOCS~1"), 0).status, STATUS_SUCCESS);
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\plain.txt", Pattern(50)), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/plain.txt"), Pattern(50));
  // Removing inclusions of those paths removes nothing: the rules are exclusions.
  EXPECT_EQ(Control(kRemoveInclusion, RuleEdit(u"\\Docs", u"\\DOCS~1"), 0).status, STATUS_SUCCESS);
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\plain2.txt", Pattern(50)), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/plain2.txt"), Pattern(50));
  EXPECT_EQ(Control(kChange, RuleEdit(u"\\Docs", u"\\DOCS~1"), 0).status, STATUS_SUCCESS);
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\secret.txt", Pattern(50)), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/secret.txt"), Encrypted(Pattern(50)));
  EXPECT_EQ(Control(kRemoveInclusion, RuleEdit(u"\\Docs", u""), 0).status, STATUS_SUCCESS);
  EXPECT_EQ(Control(kRemoveExclusion, RuleEdit(u"\\WINDOWS", u""), 0).status, STATUS_SUCCESS);
  ASSERT_EQ(WriteFile(u"\\??\\C:\\WINDOWS\\now.txt", Pattern(50)), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "WINDOWS/now.txt"), Encrypted(Pattern(50)));
}

TEST_F(ControlDeviceTest, StoredPathsAndStart) {
  StartWithKey();
  const std::string texts[] = {"C:\\sys", "C:\\SYS~1", "C:\\WINDOWS\\system32", "ignored"};
  for (const std::string& text : texts) {
    EXPECT_EQ(Control(kStorePath, Bytes(text.begin(), text.end()), 0).status, STATUS_SUCCESS);
  }
  EXPECT_TRUE(DebugLogHas("\nThe user sys file path = C:\\sys"));
  EXPECT_TRUE(DebugLogHas("\nThe user sys file short path = C:\\SYS~1"));
  EXPECT_TRUE(DebugLogHas("\nThe system file path(19) = C:\\WINDOWS\\system32"));
  EXPECT_FALSE(DebugLogHas("ignored"));
  EXPECT_EQ(Control(kMorvelStart, {}, 0).status, STATUS_SUCCESS);
}

// The request processor behind an IRP answers as it does through fast I/O.
TEST_F(ControlDeviceTest, IrpPathAnswersAsTheFastPath) {
  StartWithKey();
  PDEVICE_OBJECT control = nullptr;
  for (PDEVICE_OBJECT device = kernel_->Driver(kServiceName)->DeviceObject; device != nullptr;
       device = device->NextDevice) {
    if (device->DeviceExtension == nullptr) control = device;
  }
  ASSERT_NE(control, nullptr);
  auto send = [&](uint32_t code, Bytes buffer, ULONG input_length, ULONG output_length) {
    buffer.resize(std::max<size_t>(buffer.size(), output_length));
    PIRP irp = IoAllocateIrp(control->StackSize, FALSE);
    IO_STATUS_BLOCK io_status{};
    irp->UserIosb = &io_status;
    irp->AssociatedIrp.SystemBuffer = buffer.data();
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = IRP_MJ_DEVICE_CONTROL;
    stack->Parameters.DeviceIoControl.IoControlCode = code;
    stack->Parameters.DeviceIoControl.InputBufferLength = input_length;
    stack->Parameters.DeviceIoControl.OutputBufferLength = output_length;
    Reply reply;
    reply.status = IoCallDriver(control, irp);
    reply.information = io_status.Information;
    reply.output.assign(buffer.begin(), buffer.begin() + std::min<size_t>(reply.information, buffer.size()));
    return reply;
  };
  const Bytes sn = Pattern(16, 5);
  const Reply fast = Control(kMorvelGetSn, sn, 16);
  const Reply slow = send(kMorvelGetSn, sn, 16, 16);
  EXPECT_EQ(slow.status, STATUS_SUCCESS);
  EXPECT_EQ(slow.output, fast.output);
  const Reply stats = send(kGetStats, {}, 0, kStatsReplySize);
  EXPECT_EQ(stats.output, Stats().output);
  EXPECT_EQ(send(kGetStats, {}, 0, 4).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(send(0x84028, {}, 0, 0).status, STATUS_INVALID_PARAMETER);
}

}  // namespace
}  // namespace tavik::morvel::testing
