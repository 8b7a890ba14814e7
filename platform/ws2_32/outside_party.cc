// Outside parties at work on a port: one file each in DIR/network/at-work, named after the port and the party's
// process, so a party that crashed is known by its dead process and ignored.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "ws2_32_private.h"
#include "xp/machine.h"
#include "xp/outside_party.h"

namespace xp::network {
namespace {

std::atomic<unsigned> serial{0};

std::string PortPrefix(uint16_t port) { return "port-" + std::to_string(port) + "-"; }

}  // namespace

OutsidePartyAtWork::OutsidePartyAtWork(uint16_t port) {
  std::error_code error;
  const std::filesystem::path folder = machine::Root() / "network" / "at-work";
  std::filesystem::create_directories(folder, error);
  file_ = folder / (PortPrefix(port) + std::to_string(::getpid()) + "-" + std::to_string(serial++));
  if (std::FILE* made = std::fopen(file_.c_str(), "w")) std::fclose(made);
}

void OutsidePartyAtWork::Done() {
  if (file_.empty()) return;
  std::error_code error;
  std::filesystem::remove(file_, error);
  file_.clear();
}

}  // namespace xp::network

namespace xp::ws2_32 {

bool OutsidePartyAtWorkOn(uint16_t port) {
  if (port == 0 || !machine::Present()) return false;
  std::error_code error;
  const std::string prefix = network::PortPrefix(port);
  for (const auto& entry : std::filesystem::directory_iterator(machine::Root() / "network" / "at-work", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const pid_t party = static_cast<pid_t>(std::stol(name.substr(prefix.size())));
    if (::kill(party, 0) == 0 || errno == EPERM) return true;
  }
  return false;
}

}  // namespace xp::ws2_32
