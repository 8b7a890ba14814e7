// The registry as several processes of one machine see it: what one writes the others read, a process killed
// right after a write keeps it, concurrent writers lose nothing and make a key once, deletion reaches other
// processes' handles, and injected faults count calls machine-wide.
#include <signal.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "registry_fixture.h"
#include "xp/registry.h"

namespace xp::advapi32 {
namespace {

std::string ReadString(const char* path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
  char data[64];
  DWORD size = sizeof data;
  const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string(data, size) : "<error " + std::to_string(result) + ">";
}

TEST_F(RegistryTest, AnotherProcessReadsWhatOneWrote) {
  RegCloseKey(MakeKey("SOFTWARE\\Quillmarsh"));  // this process has its connection before the fork
  EXPECT_EQ(InChild([] {
              HKEY key = MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag");
              return SetString(key, "ESN", "0012AB34") == ERROR_SUCCESS ? 0 : 1;
            }),
            0);
  EXPECT_EQ(ReadString("SOFTWARE\\Quillmarsh\\morvelFlag", "ESN"), std::string("0012AB34", 9));
  EXPECT_EQ(InChild([] {
              return ReadString("SOFTWARE\\Quillmarsh\\morvelFlag", "esn") == std::string("0012AB34", 9) ? 0 : 1;
            }),
            0);
}

TEST_F(RegistryTest, AProcessKilledRightAfterAWriteKeepsIt) {
  const int status = InChild([] {
    HKEY key = MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag");
    if (SetString(key, "Decrypted", "3") != ERROR_SUCCESS) return 1;
    ::raise(SIGKILL);
    return 2;
  });
  EXPECT_EQ(status, 128 + SIGKILL);
  EXPECT_EQ(ReadString("SOFTWARE\\Quillmarsh\\morvelFlag", "Decrypted"), std::string("3", 2));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothingAndMakeAKeyOnce) {
  constexpr int kWriters = 4;
  constexpr int kValuesEach = 40;
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t child = ::fork();
    if (child == 0) {
      HKEY key = nullptr;
      DWORD disposition = 0;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\exclusion", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, &disposition) != ERROR_SUCCESS) {
        ::_exit(100);
      }
      for (int i = 0; i < kValuesEach; ++i) {
        const std::string name = std::to_string(writer) + "." + std::to_string(i);
        if (SetString(key, name.c_str(), "\\WINDOWS") != ERROR_SUCCESS) ::_exit(101);
      }
      ::_exit(static_cast<int>(disposition));
    }
    children.push_back(child);
  }
  std::multiset<int> dispositions;
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    dispositions.insert(WEXITSTATUS(status));
  }
  EXPECT_EQ(dispositions.count(REG_CREATED_NEW_KEY), 1u);
  EXPECT_EQ(dispositions.count(REG_OPENED_EXISTING_KEY), static_cast<size_t>(kWriters - 1));

  HKEY key = MakeKey("SOFTWARE\\Quillmarsh\\Tavik\\exclusion");
  std::set<std::string> names;
  char name[16];
  DWORD size = sizeof name;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i) {
    names.insert(name);
    size = sizeof name;
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kWriters * kValuesEach));
  RegCloseKey(key);
}

TEST_F(RegistryTest, AKeyDeletedByAnotherProcessIsDeletedForThisHandle) {
  HKEY key = MakeKey("SOFTWARE\\Quillmarsh\\Tavik");
  EXPECT_EQ(InChild([] { return static_cast<int>(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik")); }),
            0);
  EXPECT_EQ(SetString(key, "x", "y"), ERROR_KEY_DELETED);
  RegCloseKey(key);
}

TEST_F(RegistryTest, InjectedFaultsCountCallsAcrossProcesses) {
  RegCloseKey(MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag"));
  registry::InjectFault(registry::Op::kOpen, 2, ERROR_ACCESS_DENIED, "Quillmarsh\\morvelFlag");
  const auto open_flag_key = [] {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", 0, KEY_ALL_ACCESS, &key);
    if (key != nullptr) RegCloseKey(key);
    return static_cast<int>(result);
  };
  HKEY other = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh", 0, KEY_READ, &other), ERROR_SUCCESS)
      << "another key does not count";
  RegCloseKey(other);
  EXPECT_EQ(InChild(open_flag_key), ERROR_SUCCESS);
  EXPECT_EQ(InChild(open_flag_key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(open_flag_key(), ERROR_SUCCESS);
  registry::ClearFaults();
}

}  // namespace
}  // namespace xp::advapi32
