// xpmachine new: a fresh machine with one factory-provisioned token plugged in.
#include <stdlib.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "commands.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/usbtoken.h"

namespace xp::xpmachine {

int NewMachine(const Command& command) {
  try {
    machine::Create(command.dir);
    const std::string id = usbtoken::Provision(command.dir, command.token_seed);
    ::setenv("XPMACHINE", std::filesystem::absolute(command.dir).c_str(), 1);
    if (registry::SeedFreshInstallation() != ERROR_SUCCESS) throw std::runtime_error("cannot seed the registry");
    std::string esn;
    for (const usbtoken::TokenInfo& token : usbtoken::List(command.dir)) {
      if (token.id == id) esn = token.esn;
    }
    std::printf("machine %s made; token %s (ESN %s) plugged in\n", command.dir.c_str(), id.c_str(), esn.c_str());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "xpmachine: %s\n", error.what());
    return 1;
  }
}

}  // namespace xp::xpmachine
