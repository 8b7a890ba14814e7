// LookupAccountSidA for every SID the machine's tokens hold, its buffer sizes, and the walk the setup library
// makes before encrypting: every process whose token user is not SYSTEM is ended, except the caller.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "built_programs.h"
#include "scratch_machine.h"
#include "tlhelp32.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

struct Lookup {
  BOOL ok;
  std::string name;
  std::string domain;
  SID_NAME_USE use;
};

Lookup LookUp(BYTE authority, std::vector<DWORD> sub) {
  SID_IDENTIFIER_AUTHORITY identifier = {{0, 0, 0, 0, 0, authority}};
  const BYTE count = static_cast<BYTE>(sub.size());
  sub.resize(8, 0);
  PSID sid = nullptr;
  EXPECT_TRUE(AllocateAndInitializeSid(&identifier, count, sub[0], sub[1], sub[2], sub[3], sub[4], sub[5], sub[6],
                                       sub[7], &sid));
  char name[256] = "";
  char domain[256] = "";
  DWORD name_size = sizeof name;
  DWORD domain_size = sizeof domain;
  SID_NAME_USE use = SidTypeInvalid;
  const BOOL ok = LookupAccountSidA(nullptr, sid, name, &name_size, domain, &domain_size, &use);
  FreeSid(sid);
  return {ok, name, domain, use};
}

class AccountLookupTest : public ::testing::Test {
 protected:
  void TearDown() override { ::unsetenv("XPMACHINE_USER"); }
  const xp::test::ScratchMachine machine_;
};

TEST_F(AccountLookupTest, NamesEverySidTheTokensHold) {
  constexpr DWORD a = 2780515405u, b = 1203581476u, c = 3921187024u;  // the machine id of a scratch machine
  const struct {
    BYTE authority;
    std::vector<DWORD> sub;
    const char* name;
    const char* domain;
    SID_NAME_USE use;
  } rows[] = {
      {5, {18}, "SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup},
      {5, {19}, "LOCAL SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
      {5, {20}, "NETWORK SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
      {5, {32, 544}, "Administrators", "BUILTIN", SidTypeAlias},
      {5, {32, 545}, "Users", "BUILTIN", SidTypeAlias},
      {1, {0}, "Everyone", "", SidTypeWellKnownGroup},
      {5, {21, a, b, c, 500}, "Administrator", "WORKSTATION", SidTypeUser},
      {5, {21, a, b, c, 1002}, "User", "WORKSTATION", SidTypeUser},
  };
  for (const auto& row : rows) {
    const Lookup found = LookUp(row.authority, row.sub);
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(found.ok);
    EXPECT_EQ(found.name, row.name);
    EXPECT_EQ(found.domain, row.domain);
    EXPECT_EQ(found.use, row.use);
  }
  for (const std::vector<DWORD>& unknown : {std::vector<DWORD>{21, a, b, c, 1003}, {21, a, b, 7, 500}, {32, 546}}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(LookUp(5, unknown).ok);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
  }
}

TEST_F(AccountLookupTest, TooSmallBuffersGiveTheSizesNeededAndCopyNothing) {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt_authority, 1, 19, 0, 0, 0, 0, 0, 0, 0, &sid));
  const struct {
    DWORD name_size;
    DWORD domain_size;
    BOOL ok;
    DWORD name_out;
    DWORD domain_out;
  } rows[] = {
      {13, 12, FALSE, 14, 13}, {14, 12, FALSE, 14, 13}, {13, 13, FALSE, 14, 13},
      {14, 13, TRUE, 13, 12},  {0, 0, FALSE, 14, 13},
  };
  for (const auto& row : rows) {
    char name[32] = "untouched";
    char domain[32] = "untouched";
    DWORD name_size = row.name_size;
    DWORD domain_size = row.domain_size;
    SID_NAME_USE use = SidTypeInvalid;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LookupAccountSidA(nullptr, sid, name, &name_size, domain, &domain_size, &use), row.ok);
    SCOPED_TRACE(std::to_string(row.name_size) + "/" + std::to_string(row.domain_size));
    EXPECT_EQ(name_size, row.name_out);
    EXPECT_EQ(domain_size, row.domain_out);
    if (row.ok) {
      EXPECT_STREQ(name, "LOCAL SERVICE");
      EXPECT_STREQ(domain, "NT AUTHORITY");
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
      EXPECT_STREQ(name, "untouched");
    }
  }
  FreeSid(sid);
}

// The setup library's callback for each process of a Toolhelp walk: end it unless it runs as SYSTEM or is us.
void EndUnlessSystem(DWORD pid) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (process == nullptr) return;
  HANDLE token = nullptr;
  if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    auto* user = static_cast<TOKEN_USER*>(std::malloc(size));
    char name[256];
    char domain[256];
    DWORD name_size = sizeof name;
    DWORD domain_size = sizeof domain;
    SID_NAME_USE use;
    if (GetTokenInformation(token, TokenUser, user, size, &size) &&
        LookupAccountSidA(nullptr, user->User.Sid, name, &name_size, domain, &domain_size, &use) &&
        pid != GetCurrentProcessId() && ::strcasecmp(name, "SYSTEM") != 0) {
      TerminateProcess(process, 1);
    }
    std::free(user);
    CloseHandle(token);
  }
  CloseHandle(process);
}

TEST_F(AccountLookupTest, TheWalkEndsEveryProcessNotRunningAsSystemExceptTheCaller) {
  const fs::path program = machine_.root() / "drives/C/WINDOWS/system32/svchost.exe";
  fs::copy_file(xp::test::BuildProgram("xp_kernel32_child"), program);
  fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
  std::map<std::string, PROCESS_INFORMATION> children;
  for (const char* account : {"SYSTEM", "LOCAL SERVICE", "NETWORK SERVICE", "User"}) {
    ::setenv("XPMACHINE_USER", account, 1);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = "svchost.exe wait-for " + (machine_.root() / "go").string();
    ASSERT_TRUE(CreateProcessA("C:\\WINDOWS\\system32\\svchost.exe", line.data(), nullptr, nullptr, FALSE,
                               CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &children[account]));
  }
  ::setenv("XPMACHINE_USER", "Administrator", 1);

  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    EndUnlessSystem(entry.th32ProcessID);
  }
  CloseHandle(snapshot);

  std::ofstream(machine_.root() / "go");
  for (const auto& [account, child] : children) {
    ASSERT_EQ(WaitForSingleObject(child.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    EXPECT_EQ(code, account == "SYSTEM" ? 0u : 1u) << account << " (0: it ran to its end; 1: it was ended)";
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
}

}  // namespace
