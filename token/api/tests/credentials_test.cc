// One-time credentials: the user text built from the computer name, the identity text and a time-stamped UUID,
// and the token's answer to that UUID.
#include <ctime>
#include <regex>
#include <string>

#include "api_fixture.h"
#include "tokenapi.h"
#include "tokenio.h"
#include "windows.h"

namespace tavik::tokenapi::testing {
namespace {

class CredentialsTest : public TokenApiTest {
 protected:
  struct Result {
    int code;
    std::string user, response;
    int user_length, response_length;
  };
  template <typename Function>
  Result Call(Function function, int user_capacity, int response_capacity, unsigned slot) {
    std::string user(400, '#'), response(100, '#');
    Result r;
    r.user_length = user_capacity;
    r.response_length = response_capacity;
    r.code = function(user.data(), &r.user_length, response.data(), &r.response_length, slot);
    r.user = user.c_str();
    r.response = response.c_str();
    return r;
  }
  // The stamp's first field is the time of the call, in seconds.
  static void ExpectStamp(const std::string& stamp, time_t before, time_t after) {
    ASSERT_TRUE(std::regex_match(stamp, std::regex("[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{15}"))) << stamp;
    const time_t seconds = static_cast<time_t>(std::stoul(stamp.substr(0, 8), nullptr, 16));
    EXPECT_GE(seconds, before & 0xFFFFFFFF);
    EXPECT_LE(seconds, after & 0xFFFFFFFF);
  }
};

TEST_F(CredentialsTest, UserIsComputerEsnAndStampAndTheTokenAnswersTheStamp) {
  const time_t before = std::time(nullptr);
  const Result r = Call(NuboGetUsrCredentials, 400, 100, 3);
  const time_t after = std::time(nullptr);
  ASSERT_EQ(r.code, 0);
  const std::string prefix = "WORKSTATION\\" + Esn();
  ASSERT_EQ(r.user.substr(0, prefix.size()), prefix);
  const std::string stamp = r.user.substr(prefix.size());
  ExpectStamp(stamp, before, after);
  EXPECT_EQ(r.user_length, static_cast<int>(r.user.size() + 1));
  EXPECT_EQ(r.response, Solve(3, stamp, stamp));
  EXPECT_EQ(r.response_length, 32);
}

TEST_F(CredentialsTest, PrivateCredentialsAnswerOverTheFirstStoredSecret) {
  const std::string pss = "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf";
  ASSERT_EQ(WritePSS(0, pss.c_str()), 1);
  const time_t before = std::time(nullptr);
  const Result r = Call(NuboGetPUsrCredentials, 400, 100, 9);
  ASSERT_EQ(r.code, 0);
  ASSERT_EQ(r.user.substr(0, 8), Esn());
  const std::string stamp = r.user.substr(8);
  ExpectStamp(stamp, before, std::time(nullptr));
  EXPECT_EQ(r.user_length, static_cast<int>(r.user.size()));
  EXPECT_EQ(r.response, SolvePrivate(0, stamp, pss, "580274"));
}

TEST_F(CredentialsTest, FailuresAndSmallBuffersGiveInvalPin) {
  const struct {
    const char* what;
    int user_capacity, response_capacity;
    unsigned slot;
    bool unplug;
  } cases[] = {
      {"user buffer without room", 40, 100, 0, false},
      {"response buffer without room", 400, 32, 0, false},
      {"no key slot 16", 400, 100, 16, false},
      {"no token", 400, 100, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.unplug) Unplug();
    const Result r = Call(NuboGetUsrCredentials, c.user_capacity, c.response_capacity, c.slot);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.user, "INVALPIN");
    EXPECT_EQ(r.user_length, 8);
    EXPECT_EQ(r.response, c.response_capacity >= 9 ? "INVALPIN" : "");
  }
  // Buffers too small even for "INVALPIN" are only cleared, within their capacity.
  const Result tiny = Call(NuboGetPUsrCredentials, 4, 4, 0);
  EXPECT_EQ(tiny.code, 1);
  EXPECT_EQ(tiny.user_length, 0);
}

TEST(ComputerName, ReportsTheMachinesNameAndTheSizeItNeeds) {
  xp::test::ScratchMachine machine;
  char name[16];
  DWORD size = sizeof(name);
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "WORKSTATION");
  EXPECT_EQ(size, 11u);
  size = 11;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetComputerNameA(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(size, 12u);
}

}  // namespace
}  // namespace tavik::tokenapi::testing
