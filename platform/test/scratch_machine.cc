// The throwaway machine of scratch_machine.h.
#include "scratch_machine.h"

#include <stdlib.h>

#include <stdexcept>

#include "host_control.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"

namespace xp::test {

ScratchMachine::ScratchMachine(const ScratchOptions& options) {
  // A throw leaves through folder_'s end: the variables set here are given back and the folder goes.
  const std::filesystem::path& root = folder_.path();
  machine::Create(root, options.machine);
  if (options.token_seed) {
    token_id_ = usbtoken::Provision(root, *options.token_seed);
    if (!options.plug_token && !usbtoken::Unplug(root, token_id_)) {
      throw std::runtime_error("cannot unplug " + token_id_);
    }
  }
  ::setenv("XPMACHINE", root.c_str(), 1);
  if (options.virtual_clock) ::setenv("XPMACHINE_CLOCK", "virtual", 1);
  if (options.no_ui) ::unsetenv("XPMACHINE_UI");
  if (options.default_user) ::unsetenv("XPMACHINE_USER");
  if (options.fresh_registry && registry::SeedFreshInstallation() != ERROR_SUCCESS) {
    throw std::runtime_error("cannot seed the registry");
  }
  if (options.ui_script) Play(*options.ui_script);
}

void ScratchMachine::WriteBack() const {
  if (!ntos::host::WriteBackKernelCache(root())) throw std::runtime_error("the kernel did not write its cache back");
}

void ScratchMachine::StopKernel() const {
  std::string error;
  if (ntos::host::KernelHostAnswers(root()) && !ntos::host::StopKernelHost(root(), &error)) {
    throw std::runtime_error(error);
  }
}

ScratchMachine::~ScratchMachine() {
  // The machine's kernel host, if one of its programs started it, ends with the machine.
  std::string ignored;
  if (ntos::host::KernelHostAnswers(root())) ntos::host::StopKernelHost(root(), &ignored);
}

}  // namespace xp::test
