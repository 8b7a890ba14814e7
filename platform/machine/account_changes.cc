// What the machine's accounts learn after the machine was made: changed passwords, their history, a password that
// no longer must change. Kept in DIR/sam.ini ("account.<n>.<field> = value" lines, over the description's), written
// whole under a lock so that processes changing passwords at once lose nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "machine_private.h"
#include "xp/accounts.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

constexpr int kHistoryKept = 24;  // as many as XP's password history can ask for

std::string Prefix(int number) { return "account." + std::to_string(number) + "."; }

std::map<std::string, std::string> ReadChanges() {
  std::map<std::string, std::string> values;
  std::ifstream file(Root() / kAccountChangesFile);
  std::string line;
  while (std::getline(file, line)) {
    const size_t equals = line.find(" = ");
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 3);
  }
  return values;
}

class ChangesLock {
 public:
  ChangesLock() : fd_(::open((Root() / "sam.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) Fatal("cannot lock the machine's account changes");
  }
  ~ChangesLock() { ::close(fd_); }
  ChangesLock(const ChangesLock&) = delete;
  ChangesLock& operator=(const ChangesLock&) = delete;

 private:
  int fd_;
};

void WriteChanges(const std::map<std::string, std::string>& values) {
  const std::filesystem::path path = Root() / kAccountChangesFile;
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << "# What the accounts learnt since the machine was made; it overrides machine.ini.\n";
    for (const auto& [key, value] : values) file << key << " = " << value << "\n";
    if (!file.flush()) Fatal("cannot write " + temporary.string());
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) Fatal("cannot write " + path.string() + ": " + error.message());
}

}  // namespace

std::optional<std::string> AccountValue(int number, const std::string& field) {
  const std::map<std::string, std::string> changes = ReadChanges();
  const auto found = changes.find(Prefix(number) + field);
  if (found != changes.end()) return found->second;
  return Setting(Prefix(number) + field);
}

std::string AccountPassword(const Account& account) { return AccountValue(account.number, "password").value_or(""); }

std::vector<std::string> PasswordHistory(const Account& account) {
  std::vector<std::string> history;
  for (int n = 1; n <= kHistoryKept; ++n) {
    const std::optional<std::string> earlier = AccountValue(account.number, "earlier_password." + std::to_string(n));
    if (!earlier) break;
    history.push_back(*earlier);
  }
  return history;
}

void ChangeAccountPassword(const Account& account, const std::string& new_password) {
  if (new_password.find_first_of("\r\n") != std::string::npos) Fatal("a password cannot hold a line break");
  const ChangesLock lock;
  std::map<std::string, std::string> values = ReadChanges();
  const std::string prefix = Prefix(account.number);
  std::vector<std::string> history = PasswordHistory(account);
  history.insert(history.begin(), AccountPassword(account));
  if (history.size() > kHistoryKept) history.resize(kHistoryKept);
  for (size_t i = 0; i < history.size(); ++i) values[prefix + "earlier_password." + std::to_string(i + 1)] = history[i];
  values[prefix + "password"] = new_password;
  values[prefix + "must_change_password"] = "no";
  WriteChanges(values);
  Journal("account " + account.name + " password changed");
}

}  // namespace xp::machine
