// The service knows what a token answers without asking it: from the secrets the token was provisioned with, it
// computes the same 32 digits the token gives through tokenio's register sequence, for every slot and challenge.
#include <gtest/gtest.h>

#include "scratch_machine.h"
#include "token_answer.h"
#include "websvc_private.h"

namespace xp::websvc {
namespace {

using testing::TokenEsn;
using testing::TokenSolve;

TEST(TokenSecrets, AnswerAsTheTokenItselfDoes) {
  test::ScratchMachine machine(test::ScratchOptions{.token_seed = 7});
  const std::string esn = TokenEsn();
  ASSERT_EQ(esn.size(), 8u);
  const std::string challenges[] = {"00112233445566778899AABBCCDDEEFF", "5be83c1a07d94f62a1c0e7b3958d24f6",
                                    "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"};
  for (int slot : {0, 1, 5, 15}) {
    for (const std::string& challenge : challenges) {
      SCOPED_TRACE(std::to_string(slot) + " " + challenge);
      const std::string answer = TokenSolve(slot, challenge, challenge);
      ASSERT_EQ(answer.size(), 32u);
      EXPECT_EQ(TokenAnswer(machine.root(), esn, slot, challenge, challenge), answer);
    }
  }
  // Selector and block are separate inputs.
  EXPECT_EQ(TokenAnswer(machine.root(), esn, 3, challenges[0], challenges[2]),
            TokenSolve(3, challenges[0], challenges[2]));
}

TEST(TokenSecrets, KnowNoOtherTokenAndNoMalformedChallenge) {
  test::ScratchMachine machine(test::ScratchOptions{.token_seed = 7});
  const std::string esn = TokenEsn();
  const std::string challenge = "00112233445566778899AABBCCDDEEFF";
  EXPECT_EQ(TokenAnswer(machine.root(), "99999999", 0, challenge, challenge), std::nullopt);
  EXPECT_EQ(TokenAnswer(machine.root(), "", 0, challenge, challenge), std::nullopt);
  EXPECT_EQ(TokenAnswer(machine.root(), esn, 16, challenge, challenge), std::nullopt);
  EXPECT_EQ(TokenAnswer(machine.root(), esn, 0, challenge.substr(1), challenge), std::nullopt);
  EXPECT_EQ(TokenAnswer(machine.root(), esn, 0, challenge, "Error"), std::nullopt);
}

}  // namespace
}  // namespace xp::websvc
