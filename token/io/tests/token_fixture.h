// A scratch machine with one factory-new token, and the views of the emulated token the tests check against.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_machine.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace tavik::tokenio::testing {

using xp::usbtoken::Request;

inline constexpr DWORD kRead = 0x220000;
inline constexpr DWORD kWrite = 0x220004;

class TokenTest : public ::testing::Test {
 protected:
  xp::test::ScratchMachine machine_{xp::test::ScratchOptions{.token_seed = 7}};

  const std::string& token() const { return machine_.token_id(); }
  xp::usbtoken::Snapshot Snap() const { return *xp::usbtoken::Inspect(machine_.root(), token()); }
  std::vector<Request> Log() const { return xp::usbtoken::RequestLog(machine_.root(), token()); }
  void ClearLog() const { xp::usbtoken::ClearRequestLog(machine_.root(), token()); }
  void Unplug() const { xp::usbtoken::Unplug(machine_.root(), token()); }

  // The successful register writes of one register in the log, as their data bytes.
  std::vector<std::vector<uint8_t>> Writes(uint16_t reg) const {
    std::vector<std::vector<uint8_t>> writes;
    for (const Request& r : Log()) {
      if (r.code == kWrite && r.reg == reg && r.result == 0) writes.push_back(r.data);
    }
    return writes;
  }
  // The command bytes written to the command register, in order.
  std::vector<uint8_t> Commands() const {
    std::vector<uint8_t> commands;
    for (const auto& w : Writes(0x30)) commands.push_back(w.at(0));
    return commands;
  }
  int Count(uint8_t command) const {
    int n = 0;
    for (uint8_t c : Commands()) n += c == command;
    return n;
  }
};

}  // namespace tavik::tokenio::testing
