// The machine's sockets as its outside parties see them. Never included by system code.
#pragma once

#include <cstdint>
#include <filesystem>

namespace xp::network {

// An outside party (the LAN agent, or a test playing one) is about to connect to a port of the machine and send
// what it has. While one is at work, select() on a machine socket bound to that port waits in real time for it
// instead of answering "nothing yet": a program's waits counted in machine time, which a virtual clock runs in no
// time at all, cannot run out before the party had its chance. Machine-wide (one file each in DIR/network/at-work).
class OutsidePartyAtWork {
 public:
  explicit OutsidePartyAtWork(uint16_t port);
  ~OutsidePartyAtWork() { Done(); }
  OutsidePartyAtWork(const OutsidePartyAtWork&) = delete;
  OutsidePartyAtWork& operator=(const OutsidePartyAtWork&) = delete;
  // The party has done what it came to do (before its end, when that comes later).
  void Done();

 private:
  std::filesystem::path file_;
};

}  // namespace xp::network
