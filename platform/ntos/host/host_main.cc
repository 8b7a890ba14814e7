// xp_ntoshost DIR: the kernel of a booted machine. Boots the kernel model over the machine's drives, starts the
// drivers whose services start with the system, then serves the machine's programs on DIR/kernel/socket until
// asked to shut down (or sent SIGTERM or SIGINT), and writes the cache back before it ends. It also ends, at once,
// when its machine folder is removed.
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "boot_drivers.h"
#include "kernel_server.h"
#include "xp/ntos.h"

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void RequestStop(int) { stop_requested = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: xp_ntoshost DIR\n", stderr);
    return 2;
  }
  std::error_code error;
  const std::filesystem::path dir = std::filesystem::absolute(argv[1], error).lexically_normal();
  if (error || !std::filesystem::is_regular_file(dir / "machine.ini", error)) {
    std::fprintf(stderr, "xp_ntoshost: %s is not a machine\n", argv[1]);
    return 1;
  }
  // The registry the kernel's drivers read is the machine's.
  ::setenv("XPMACHINE", dir.c_str(), 1);
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // Listening first settles which host serves the machine; programs that connect meanwhile wait for the boot.
  xp::ntos::host::KernelServer server(dir);
  std::string why;
  if (!server.Listen(&why)) {
    std::fprintf(stderr, "xp_ntoshost: %s\n", why.c_str());
    return 1;
  }
  xp::ntos::Kernel kernel(xp::ntos::KernelOptions{dir, /*echo_debug_output=*/true});
  xp::ntos::host::StartBootDrivers(kernel);
  // A machine folder removed under the host leaves nothing to write back to: the host just ends.
  if (!server.Serve(kernel, &stop_requested)) std::_Exit(0);
  return 0;
}
