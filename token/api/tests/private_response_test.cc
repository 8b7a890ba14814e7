// Private responses through the emulated token, checked against the answer computed from the token's
// provisioned secrets; puzzles that must be refused before the token stores or computes anything.
#include <cstring>
#include <string>

#include "api_fixture.h"
#include "tokenapi.h"
#include "tokenio.h"

namespace tavik::tokenapi::testing {
namespace {

constexpr char kChallenge[] = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
constexpr char kPss[] = "00112233445566778899aabbccddeeff";

std::string PuzzleXml(const std::string& ka, const std::string& pssl, const std::string& pss,
                      const std::string& hash = "") {
  return std::string("<C><PUZ>") + kChallenge + "</PUZ><KA>" + ka + "</KA><PSSL>" + pssl + "</PSSL><PSS>" + pss +
         "</PSS>" + hash + "</C>";
}

class PrivateResponseTest : public TokenApiTest {
 protected:
  struct Reply {
    int code;
    int length;
    std::string text;
  };
  Reply X(std::string puzzle, int format = 1, int capacity = 256) {
    char out[256];
    std::memset(out, '#', sizeof(out));
    Reply r;
    r.length = capacity;
    r.code = NuboGetPrivateResponseX(puzzle.data(), 256, out, &r.length, format);
    r.text = std::string(out, strnlen(out, sizeof(out)));
    return r;
  }
  std::string Response(int failed, const std::string& answer, int location = -1) const {
    return "<R><E>" + Esn() + "</E><P>" + std::to_string(failed) + "</P><A>" + answer + "</A>" +
           (location == -1 ? "" : "<L>" + std::to_string(location) + "</L>") + "</R>";
  }
  int NextFreePssSlot() const { return Page(4)[510]; }

  // The failed-attempts value of a response is the process's last non-zero password check: make it 1.
  void SetUp() override {
    ASSERT_TRUE(xp::usbtoken::SetCounter(machine_.root(), token(), 0));
    std::string wrong = "not the password";
    ASSERT_EQ(NuboCheckPin(wrong.data(), static_cast<int>(wrong.size())), 1);
  }
};

TEST_F(PrivateResponseTest, PssIsStoredInTheNextFreeSlotAndReported) {
  const Reply r = X(PuzzleXml("1", "-1", kPss));
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.text, Response(1, SolvePrivate(0, kChallenge, kPss, ""), 1));
  EXPECT_EQ(r.length, static_cast<int>(r.text.size()));
  EXPECT_EQ(Hex(Page(4).data()), kPss);
  EXPECT_EQ(NextFreePssSlot(), 2);
}

TEST_F(PrivateResponseTest, KeyLocationIsOneBasedAndHashInputsAreJoined) {
  ASSERT_EQ(WritePSS(0, kPss), 1);
  const Reply r = X(PuzzleXml("3", "1", "", "<H><U>bob</U><D>corp</D></H>"));
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.text, Response(1, SolvePrivate(2, kChallenge, kPss, "bobcorp")));
  const std::string hex_input = "ffeeddccbbaa99887766554433221100";
  const Reply block = X(PuzzleXml("16", "1", "", "<H><K>" + hex_input + "</K></H>"));
  ASSERT_EQ(block.code, 0);
  EXPECT_EQ(block.text, Response(1, SolvePrivate(15, kChallenge, kPss, hex_input)));
}

TEST_F(PrivateResponseTest, APuzzleWithoutPssOrSlotGetsNoAnswer) {
  ClearLog();
  const Reply r = X(PuzzleXml("1", "-1", ""));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.length, 0);
  EXPECT_EQ(r.text, std::string(256, '#'));
  EXPECT_FALSE(CipherUsed());
}

TEST_F(PrivateResponseTest, FailedAttemptsAreTheLastNonZeroCheck) {
  std::string pin = "Secret1", wrong = "Wrong99";
  ASSERT_EQ(NuboSetPin(pin.data(), 7), 0);
  ASSERT_TRUE(xp::usbtoken::SetCounter(machine_.root(), token(), 0));
  ASSERT_EQ(NuboCheckPin(wrong.data(), 7), 1);
  ASSERT_EQ(NuboCheckPin(wrong.data(), 7), 1);
  ASSERT_EQ(NuboCheckPin(pin.data(), 7), 0);
  const Reply r = X(PuzzleXml("1", "-1", kPss));
  ASSERT_EQ(r.code, 0);
  EXPECT_NE(r.text.find("<P>2</P>"), std::string::npos) << r.text;
}

TEST_F(PrivateResponseTest, DelimitedFormat) {
  const Reply r = X(PuzzleXml("1", "-1", kPss), 2);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.text, SolvePrivate(0, kChallenge, kPss, "") + "," + Esn() + ",1,1");
  EXPECT_EQ(X(PuzzleXml("1", "-1", kPss), 3).code, 1);
}

// Each of these is refused before the token stores a PSS or computes an answer.
TEST_F(PrivateResponseTest, UnsafePuzzlesAreRefusedBeforeTheToken) {
  const std::string c = kChallenge;
  const struct {
    const char* what;
    std::string puzzle;
  } cases[] = {
      {"no key location", "<C><PUZ>" + c + "</PUZ><PSS>" + kPss + "</PSS></C>"},
      {"key location 0", PuzzleXml("0", "-1", kPss)},
      {"key location 17", PuzzleXml("17", "-1", kPss)},
      {"key location beyond 16 bits", PuzzleXml("65537", "-1", kPss)},
      {"PSS slot 32", PuzzleXml("1", "32", kPss)},
      {"PSS slot -5", PuzzleXml("1", "-5", "")},
      {"no challenge", "<C><KA>1</KA><PSSL>-1</PSSL><PSS>" + std::string(kPss) + "</PSS></C>"},
      {"challenge of 31", "<C><PUZ>" + c.substr(1) + "</PUZ><KA>1</KA><PSS>" + kPss + "</PSS></C>"},
      {"hash inputs of 100", PuzzleXml("1", "-1", kPss, "<H><A>" + std::string(49, 'a') + "</A><B>" +
                                                           std::string(49, 'b') + "</B><D>cc</D></H>")},
      {"truncated", PuzzleXml("1", "-1", kPss).substr(0, 90)},
      {"malformed", PuzzleXml("1", "-1", kPss) + "<C>"},
      {"unknown entity", PuzzleXml("1", "-1", kPss, "<H><U>&x;</U></H>")},
  };
  const auto page4 = Page(4);
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    ClearLog();
    const Reply r = X(row.puzzle);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.text, std::string(256, '#'));
    EXPECT_FALSE(CipherUsed());
    EXPECT_EQ(Page(4), page4);
  }
}

TEST_F(PrivateResponseTest, TokenRefusalsFailTheResponse) {
  EXPECT_EQ(X(PuzzleXml("1", "5", kPss)).code, 1);  // slot 5 was never used, so it cannot be overwritten
  EXPECT_EQ(X(PuzzleXml("1", "-1", kPss), 1, 40).code, 1);  // no room for the response
  Unplug();
  EXPECT_EQ(X(PuzzleXml("1", "-1", kPss)).code, 1);
}

TEST_F(PrivateResponseTest, ByteResponseFromByteAndXmlPuzzles) {
  ASSERT_EQ(WritePSS(0, kPss), 1);
  unsigned char puzzle[18];
  tavik::hex::DecodeStrict(kChallenge, puzzle, 16);
  puzzle[16] = 1;  // PSSL
  puzzle[17] = 2;  // KA
  unsigned char out[19];
  std::memset(out, 0xEE, sizeof(out));
  int length = 18;
  ASSERT_EQ(NuboGetPrivateResponseBinary(reinterpret_cast<char*>(puzzle), 18, 5, reinterpret_cast<char*>(out),
                                         &length),
            0);
  EXPECT_EQ(length, 18);
  EXPECT_EQ(Hex(out), SolvePrivate(1, kChallenge, kPss, ""));
  EXPECT_EQ(out[16], 0xEE);  // the puzzle named its slot: the location is not reported
  EXPECT_EQ(out[17], 1);
  EXPECT_EQ(out[18], 0xEE);  // 18 bytes written, not 19

  std::string xml = PuzzleXml("1", "-1", "ffeeddccbbaa99887766554433221100");
  std::memset(out, 0xEE, sizeof(out));
  length = 18;
  ASSERT_EQ(NuboGetPrivateResponseBinary(xml.data(), static_cast<int>(xml.size()), 4, reinterpret_cast<char*>(out),
                                         &length),
            0);
  EXPECT_EQ(Hex(out), SolvePrivate(0, kChallenge, "ffeeddccbbaa99887766554433221100", ""));
  EXPECT_EQ(out[16], 2);  // stored in the next free slot, which is reported
  EXPECT_EQ(out[18], 0xEE);

  length = 18;
  EXPECT_EQ(NuboGetPrivateResponseBinary(xml.data(), 10, 7, reinterpret_cast<char*>(out), &length), 0);
  EXPECT_EQ(length, 0);  // another kind reads no puzzle, so there is nothing to answer
  length = 18;
  EXPECT_EQ(NuboGetPrivateResponseBinary(reinterpret_cast<char*>(puzzle), 17, 5, reinterpret_cast<char*>(out),
                                         &length),
            1);
}

// The PSS is first tried over slot 1; on a token whose slot 1 is unused that fails and the puzzle as sent
// stores it in the next free slot, which is then slot 1. Once slot 1 is used, it is overwritten each time.
TEST_F(PrivateResponseTest, OnePassTriesSlotOneFirst) {
  std::string puzzle = PuzzleXml("1", "-1", kPss);
  for (int round = 0; round < 2; ++round) {
    char out[256];
    int length = sizeof(out);
    ASSERT_EQ(NuboGetPrivateResponseOnePassX(puzzle.data(), 256, out, &length, 1), 0) << round;
    EXPECT_NE(std::string(out).find("<L>1</L>"), std::string::npos) << out;
    EXPECT_NE(std::string(out).find(SolvePrivate(0, kChallenge, kPss, "")), std::string::npos);
    EXPECT_EQ(NextFreePssSlot(), 2) << round;
  }
  std::string no_pss = PuzzleXml("1", "-1", "");
  char out[256];
  int length = sizeof(out);
  EXPECT_EQ(NuboGetPrivateResponseOnePassX(no_pss.data(), 256, out, &length, 1), 0);
  EXPECT_EQ(length, 0);
}

}  // namespace
}  // namespace tavik::tokenapi::testing
