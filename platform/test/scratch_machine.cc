// The throwaway machine of scratch_machine.h.
#include "scratch_machine.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

#include "host_control.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"

namespace xp::test {
namespace {

std::optional<std::string> Environment(const char* name) {
  const char* value = ::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void Restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace

ScratchMachine::ScratchMachine(const ScratchOptions& options)
    : saved_machine_(Environment("XPMACHINE")),
      saved_clock_(Environment("XPMACHINE_CLOCK")),
      saved_ui_(Environment("XPMACHINE_UI")),
      saved_user_(Environment("XPMACHINE_USER")) {
  std::string pattern = (std::filesystem::temp_directory_path() / "xpmachine-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder for a scratch machine");
  root_ = pattern;
  try {
    machine::Create(root_, options.machine);
    if (options.token_seed) {
      token_id_ = usbtoken::Provision(root_, *options.token_seed);
      if (!options.plug_token && !usbtoken::Unplug(root_, token_id_)) {
        throw std::runtime_error("cannot unplug " + token_id_);
      }
    }
    ::setenv("XPMACHINE", root_.c_str(), 1);
    if (options.virtual_clock) ::setenv("XPMACHINE_CLOCK", "virtual", 1);
    if (options.no_ui) ::unsetenv("XPMACHINE_UI");
    if (options.default_user) ::unsetenv("XPMACHINE_USER");
    if (options.fresh_registry && registry::SeedFreshInstallation() != ERROR_SUCCESS) {
      throw std::runtime_error("cannot seed the registry");
    }
    if (options.ui_script) Play(*options.ui_script);
  } catch (...) {
    RestoreEnvironment();
    std::error_code error;
    std::filesystem::remove_all(root_, error);
    throw;
  }
}

void ScratchMachine::WriteBack() const {
  if (!ntos::host::WriteBackKernelCache(root_)) throw std::runtime_error("the kernel did not write its cache back");
}

void ScratchMachine::StopKernel() const {
  std::string error;
  if (ntos::host::KernelHostAnswers(root_) && !ntos::host::StopKernelHost(root_, &error)) {
    throw std::runtime_error(error);
  }
}

void ScratchMachine::RestoreEnvironment() const {
  Restore("XPMACHINE", saved_machine_);
  Restore("XPMACHINE_CLOCK", saved_clock_);
  Restore("XPMACHINE_UI", saved_ui_);
  Restore("XPMACHINE_USER", saved_user_);
}

ScratchMachine::~ScratchMachine() {
  // The machine's kernel host, if one of its programs started it, ends with the machine.
  std::string ignored;
  if (ntos::host::KernelHostAnswers(root_)) ntos::host::StopKernelHost(root_, &ignored);
  RestoreEnvironment();
  std::error_code error;
  std::filesystem::remove_all(root_, error);
}

}  // namespace xp::test
