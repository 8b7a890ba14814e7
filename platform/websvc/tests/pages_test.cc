// The service's pages end to end, with the machine's own token answering through tokenio: a challenge for the
// token, a registration built the way the registration program builds it (and every way one can be wrong), the
// odd challenge bodies with the key slot and session a client takes from them, and password renewals.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <regex>
#include <sstream>

#include "client_cipher.h"
#include "scratch_machine.h"
#include "token_answer.h"
#include "windows.h"
#include "wininet.h"
#include "xp/websvc.h"

namespace xp::websvc {
namespace {

using testing::EncryptKeyCipher;
using testing::TokenEsn;
using testing::TokenSolve;

std::string Fetch(const std::string& target, bool secure = false) {
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET connection =
      InternetConnectA(session, kClientHost, secure ? 443 : 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  const HINTERNET request = HttpOpenRequestA(connection, "GET", target.c_str(), "HTTP/1.0", nullptr, nullptr,
                                             secure ? 0x80C00000 : 0x80400000, 0);
  std::string body;
  if (HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    char buffer[2048];
    DWORD read = 0;
    while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) body.append(buffer, read);
  }
  InternetCloseHandle(session);
  return body;
}

struct Challenge {
  std::string puzzle, kid, session;
};

// The fields of the challenge, read as the registration program reads them.
std::optional<Challenge> Parse(const std::string& body) {
  const size_t open = body.find("<puzzle>");
  const size_t close = open == std::string::npos ? open : body.find("</puzzle>", open);
  if (close == std::string::npos) return std::nullopt;
  std::vector<std::string> fields;
  std::stringstream inner(body.substr(open + 8, close - open - 8));
  for (std::string field; std::getline(inner, field, ',');) fields.push_back(field);
  if (fields.size() < 3) return std::nullopt;
  return Challenge{fields[0], fields[1], fields[2]};
}

std::string Percent(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", c);
      out += code;
    }
  }
  return out;
}

std::string RegistrationTarget(const std::string& session, const std::string& answer, const std::string& esn,
                               const std::string& password_cipher) {
  return "/tavik/CCookieSet.asp?sessionid=" + Percent(session) + "&answer=" + answer + "&esnno=" + esn +
         "&p0=1&p1=1&p2=" + password_cipher;
}

class PagesTest : public ::testing::Test {
 protected:
  PagesTest() : esn_(TokenEsn()), server_(Options{Certificate::kTrusted, false}) {}

  // What the registration program does with a challenge: the token's answer under the KID as the program reads
  // it, then the challenge and the password encrypted under that answer.
  std::string Register(const Challenge& challenge, int slot, const std::string& password) {
    const std::string answer = TokenSolve(slot, challenge.puzzle, challenge.puzzle);
    return Fetch(RegistrationTarget(challenge.session, EncryptKeyCipher(challenge.puzzle, answer), esn_,
                                    EncryptKeyCipher(password, answer)),
                 true);
  }

  test::ScratchMachine machine_{test::ScratchOptions{.token_seed = 11}};
  std::string esn_;
  Server server_;
};

TEST_F(PagesTest, HandsOutChallengesOnlyForTheMakersTokens) {
  const std::string body = Fetch("/tavik/cookieanswergen.asp?esnno=" + esn_);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(body, match, std::regex("<puzzle>([0-9A-F]{32}),([0-9]{1,2}),([A-Z0-9]{20})</puzzle>")))
      << body;
  EXPECT_LE(std::stoi(match[2]), 15);
  EXPECT_NE(Fetch("/tavik/cookieanswergen.asp?esnno=" + esn_), body);  // a fresh challenge each time

  EXPECT_EQ(Fetch("/tavik/cookieanswergen.asp?esnno=99999999"), "<html><body>Unknown ESN</body></html>");
  EXPECT_EQ(Fetch("/tavik/cookieanswergen.asp"), "<html><body>Unknown ESN</body></html>");
  EXPECT_EQ(Fetch("/tavik/nothing.asp"), "Not Found");
  // IIS pages: any folder, any case.
  EXPECT_TRUE(Parse(Fetch("/other/COOKIEANSWERGEN.ASP?esnno=" + esn_)));
}

TEST_F(PagesTest, RecordsARegistrationTheTokenAnswered) {
  const std::optional<Challenge> challenge = Parse(Fetch("/tavik/cookieanswergen.asp?esnno=" + esn_, true));
  ASSERT_TRUE(challenge);
  EXPECT_EQ(Register(*challenge, std::stoi(challenge->kid), "secret1"),
            "<html><body>Registration Successful</body></html>");
  // A session registers once.
  EXPECT_EQ(Register(*challenge, std::stoi(challenge->kid), "secret1"),
            "<html><body>Registration Failed</body></html>");
  EXPECT_EQ(server_.Registrations(),
            (std::vector<Registration>{{"registered", esn_, challenge->session, "1", "1", "secret1"},
                                       {"unknown session", esn_, challenge->session, "1", "1", ""}}));
}

TEST_F(PagesTest, RefusesRegistrationsThatDoNotHold) {
  const std::optional<Challenge> challenge = Parse(Fetch("/tavik/cookieanswergen.asp?esnno=" + esn_));
  ASSERT_TRUE(challenge);
  const std::string answer = TokenSolve(std::stoi(challenge->kid), challenge->puzzle, challenge->puzzle);
  const std::string wrong = TokenSolve((std::stoi(challenge->kid) + 1) % 16, challenge->puzzle, challenge->puzzle);
  const std::string password = EncryptKeyCipher("secret1", answer);
  const struct {
    std::string target;
    const char* verdict;
  } rows[] = {
      {RegistrationTarget(challenge->session, EncryptKeyCipher(challenge->puzzle, wrong), esn_,
                          EncryptKeyCipher("secret1", wrong)),
       "answer does not match"},
      {RegistrationTarget(challenge->session, EncryptKeyCipher(challenge->puzzle, answer), "12345678", password),
       "wrong ESN"},
      {RegistrationTarget(challenge->session, "ERROR", esn_, password), "bad cipher text"},
      {RegistrationTarget("NOSUCHSESSION", EncryptKeyCipher(challenge->puzzle, answer), esn_, password),
       "unknown session"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.verdict);
    EXPECT_EQ(Fetch(row.target), "<html><body>Registration Failed</body></html>");
    ASSERT_FALSE(server_.Registrations().empty());
    EXPECT_EQ(server_.Registrations().back().verdict, row.verdict);
    EXPECT_EQ(server_.Registrations().back().password, "");
  }
  // A failed try leaves the session to try again with.
  EXPECT_EQ(Register(*challenge, std::stoi(challenge->kid), "secret1"),
            "<html><body>Registration Successful</body></html>");
}

TEST_F(PagesTest, OddChallengeBodiesOfferTheSessionAClientTakesFromThem) {
  const struct {
    std::string body;
    int slot;  // the key slot the registration program answers with
  } rows[] = {
      {"<puzzle>{PUZ},,{SID}</puzzle>", 0},
      {"<html><puzzle>{PUZ},16,{SID},extra</puzzle></html>", 1},
      {"<puzzle>{PUZ},x7,{SID}</puzzle>", 1},
      {"<puzzle>{PUZ},09,S 1&x=#y</puzzle>", 9},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.body);
    server_.SetReply(Page::kChallenge, {Mode::kBody, row.body});
    const std::string body = Fetch("/tavik/cookieanswergen.asp?esnno=" + esn_);
    const std::optional<Challenge> challenge = Parse(body);
    ASSERT_TRUE(challenge) << body;
    EXPECT_EQ(Register(*challenge, row.slot, "pass word"), "<html><body>Registration Successful</body></html>");
    EXPECT_EQ(server_.Registrations().back(),
              (Registration{"registered", esn_, challenge->session, "1", "1", "pass word"}));
  }
  // Bodies without a challenge are sent as they are and open no session.
  for (const std::string body : {"<puzzle>abc</puzzle>", "<puzzle>abc,1", "page must be viewed with a high-security "
                                                                         "Web browser", ""}) {
    server_.SetReply(Page::kChallenge, {Mode::kBody, body});
    EXPECT_EQ(Fetch("/tavik/cookieanswergen.asp?esnno=" + esn_), body);
  }
}

TEST_F(PagesTest, RenewsAPasswordBoundToTheFixedChallenge) {
  const std::string answer = TokenSolve(5, kRenewChallenge, kRenewChallenge);
  const auto target = [&](const std::string& bound_plain, const std::string& esn, const std::string& index,
                          const std::string& challenge, const std::string& password) {
    return "/tavik/renew.asp?p=" + EncryptKeyCipher(bound_plain, answer) + "g" + esn + "g" + index + "g" +
           challenge + "g" + EncryptKeyCipher(password, answer);
  };
  const std::string c = kRenewChallenge;
  const struct {
    std::string target;
    const char* reply;
    Renewal record;
  } rows[] = {
      {target(c + "abcdef", esn_, "5", c, "abcdef"), "Successful", {"renewed", esn_, "abcdef"}},
      {target(c + "abcdef", esn_, "4", c, "abcdef"), "Failed", {"wrong key index", esn_, ""}},
      {target(c + "abcdef", esn_, "5", "00" + c.substr(2), "abcdef"), "Failed", {"wrong challenge", esn_, ""}},
      {target(c + "abcdeg", esn_, "5", c, "abcdef"), "Failed", {"bound password does not match", esn_, ""}},
      {target(c + "abcdef", "99999999", "5", c, "abcdef"), "Failed", {"unknown token", "99999999", ""}},
      {"/tavik/renew.asp?p=1g2g3", "Failed", {"malformed", "", ""}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.record.verdict);
    EXPECT_EQ(Fetch(row.target), row.reply);
    ASSERT_FALSE(server_.Renewals().empty());
    EXPECT_EQ(server_.Renewals().back(), row.record);
  }
}

}  // namespace
}  // namespace xp::websvc
