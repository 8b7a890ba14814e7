// A throwaway machine for a test: a fresh machine folder with one factory-provisioned token, entered by this
// process (XPMACHINE, with the virtual clock) for the fixture's lifetime. Test support only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "xp/machine.h"

namespace xp::test {

class ScratchMachine {
 public:
  // Throws std::runtime_error when the machine cannot be made. The registry holds what a fresh installation's does
  // (Winlogon, RunOnce, Services, Shell Folders) unless `fresh_registry` is false: then it starts empty, for tests
  // of the registry itself. `options` describe the machine (a Chinese locale and code page 936, say).
  explicit ScratchMachine(uint64_t token_seed = 1, bool plug_token = true, bool fresh_registry = true,
                          const machine::MachineOptions& options = machine::MachineOptions{});
  // Stops the machine's kernel host if one runs, removes the folder and gives XPMACHINE and XPMACHINE_CLOCK back
  // their earlier values.
  ~ScratchMachine();
  ScratchMachine(const ScratchMachine&) = delete;
  ScratchMachine& operator=(const ScratchMachine&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // Has the machine's kernel write its cache back, so that the drive folders hold what its programs wrote (for
  // tests that look at the disk itself).
  void WriteBack() const;
  // Stops the machine's kernel if it runs (it writes its cache back; the next program to need it starts it again).
  void StopKernel() const;
  // The machine's token, plugged or (plug_token false) unplugged.
  const std::string& token_id() const { return token_id_; }

 private:
  std::filesystem::path root_;
  std::string token_id_;
  std::optional<std::string> saved_machine_;
  std::optional<std::string> saved_clock_;
};

}  // namespace xp::test
