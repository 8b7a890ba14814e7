// Injected faults: which call fails, for how many calls, on which keys, and that the calls a fault does not
// match pass untouched.
#include <gtest/gtest.h>

#include "scratch_machine.h"
#include "winreg.h"
#include "xp/registry.h"

namespace xp::registry {
namespace {

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateKey(kMachineKey, u"SOFTWARE\\Quillmarsh\\morvelFlag", &flag_, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(CreateKey(kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik", &tavik_, nullptr), ERROR_SUCCESS);
  }

  test::ScratchMachine machine_{test::ScratchOptions{.plug_token = false, .fresh_registry = false}};
  KeyId flag_ = 0;
  KeyId tavik_ = 0;
};

TEST_F(FaultsTest, FailsTheNthMatchingCallForTheGivenNumberOfCalls) {
  struct Case {
    uint32_t nth, times;
    std::vector<LONG> results;  // of six opens of the flag key
  } cases[] = {
      {1, 1, {5, 0, 0, 0, 0, 0}},
      {3, 1, {0, 0, 5, 0, 0, 0}},
      {2, 3, {0, 5, 5, 5, 0, 0}},
      {4, 0, {0, 0, 0, 5, 5, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "nth " << c.nth << " times " << c.times);
    InjectFault(Op::kOpen, c.nth, ERROR_ACCESS_DENIED, "", c.times);
    std::vector<LONG> results;
    for (int i = 0; i < 6; ++i) {
      KeyId key = 0;
      results.push_back(OpenKey(kMachineKey, u"SOFTWARE\\Quillmarsh\\morvelFlag", &key));
    }
    EXPECT_EQ(results, c.results);
    ClearFaults();
  }
}

TEST_F(FaultsTest, CountsOnlyCallsOnKeysWhosePathHoldsTheText) {
  InjectFault(Op::kSetValue, 2, ERROR_REGISTRY_IO_FAILED, "quillmarsh\\MORVELFLAG");
  EXPECT_EQ(SetValue(tavik_, u"x", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  EXPECT_EQ(SetValue(flag_, u"Decrypted", REG_SZ, {'1', 0, 0, 0}), ERROR_SUCCESS);
  EXPECT_EQ(SetValue(tavik_, u"x", REG_DWORD, {2, 0, 0, 0}), ERROR_SUCCESS);
  EXPECT_EQ(SetValue(flag_, u"Decrypted", REG_SZ, {'3', 0, 0, 0}), ERROR_REGISTRY_IO_FAILED);
  Value value;
  ASSERT_EQ(QueryValue(flag_, u"Decrypted", &value), ERROR_SUCCESS);
  EXPECT_EQ(value.data, (std::vector<uint8_t>{'1', 0, 0, 0})) << "a failed write changes nothing";
}

TEST_F(FaultsTest, EachOperationHasItsOwnCount) {
  struct Case {
    Op op;
    std::function<LONG(KeyId)> call;
  } cases[] = {
      {Op::kOpen,
       [](KeyId key) {
         KeyId out;
         return OpenKey(key, u"", &out);
       }},
      {Op::kCreate,
       [](KeyId key) {
         KeyId out;
         return CreateKey(key, u"sub", &out, nullptr);
       }},
      {Op::kQueryValue,
       [](KeyId key) {
         Value v;
         return QueryValue(key, u"v", &v);
       }},
      {Op::kSetValue, [](KeyId key) { return SetValue(key, u"v", REG_BINARY, {}); }},
      {Op::kDeleteValue, [](KeyId key) { return DeleteValue(key, u"v"); }},
      {Op::kDeleteKey, [](KeyId key) { return DeleteKey(key, u"sub"); }},
      {Op::kEnumKey,
       [](KeyId key) {
         std::u16string name;
         return EnumKey(key, 0, &name);
       }},
      {Op::kEnumValue,
       [](KeyId key) {
         Value v;
         return EnumValue(key, 0, &v);
       }},
  };
  for (const Case& armed : cases) {
    SCOPED_TRACE(testing::Message() << "armed op " << static_cast<int>(armed.op));
    InjectFault(armed.op, 1, ERROR_NOT_READY, "morvelFlag");
    for (const Case& other : cases) {
      if (other.op != armed.op) {
        EXPECT_NE(other.call(flag_), ERROR_NOT_READY) << static_cast<int>(other.op);
      }
    }
    EXPECT_EQ(armed.call(flag_), ERROR_NOT_READY);
    ClearFaults();
  }
}

}  // namespace
}  // namespace xp::registry
