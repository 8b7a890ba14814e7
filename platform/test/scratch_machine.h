// A throwaway machine for a test: a fresh machine folder, entered by this process (XPMACHINE, and by default the
// virtual clock) for the fixture's lifetime. Test support only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "scratch_folder.h"
#include "xp/machine.h"
#include "xp/ui_script.h"

namespace xp::test {

// What a scratch machine is made of. The defaults: one fixed drive C:, the usual accounts, one factory-provisioned
// token (seed 1) plugged in, a fresh installation's registry, the virtual clock, the caller's UI.
struct ScratchOptions {
  // The description: drives, accounts, edition, locale and code page.
  machine::MachineOptions machine{};
  // The seed of the machine's one factory-provisioned token; none without a seed.
  std::optional<uint64_t> token_seed = 1;
  bool plug_token = true;
  // What a fresh installation's registry holds (Winlogon, RunOnce, Services, Shell Folders); false leaves it empty,
  // for tests of the registry itself or of a bare kernel.
  bool fresh_registry = true;
  // XPMACHINE_CLOCK=virtual (Sleep advances the machine's clock at once); false keeps the caller's clock.
  bool virtual_clock = true;
  // Nobody answers the UI (XPMACHINE_UI unset) until a script is played; false keeps the caller's XPMACHINE_UI.
  bool no_ui = false;
  // The machine's programs run as Administrator (XPMACHINE_USER unset); false keeps the caller's XPMACHINE_USER.
  bool default_user = false;
  // A script played from the machine's start (it sets XPMACHINE_UI).
  std::optional<ui::Script> ui_script{};
};

class ScratchMachine {
 public:
  // Throws std::runtime_error when the machine cannot be made.
  explicit ScratchMachine(const ScratchOptions& options = ScratchOptions{});
  // Stops the machine's kernel host if one runs; then its folder ends (scratch_folder.h): the machine goes and
  // the machine variables get their earlier values back.
  ~ScratchMachine();
  ScratchMachine(const ScratchMachine&) = delete;
  ScratchMachine& operator=(const ScratchMachine&) = delete;

  const std::filesystem::path& root() const { return folder_.path(); }
  // Plays `script` for the boxes and dialogs that come next.
  void Play(const ui::Script& script) const { script.Install(root()); }
  // Has the machine's kernel write its cache back, so that the drive folders hold what its programs wrote (for
  // tests that look at the disk itself).
  void WriteBack() const;
  // Stops the machine's kernel if it runs (it writes its cache back; the next program to need it starts it again).
  void StopKernel() const;
  // The machine's token, plugged or unplugged; empty when it has none.
  const std::string& token_id() const { return token_id_; }

 private:
  ScratchFolder folder_;
  std::string token_id_;
};

}  // namespace xp::test
