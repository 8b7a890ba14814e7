#include "bench_machine.h"

#include <stdlib.h>

#include <cstdio>

#include "host_control.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace bench {

BenchMachine::BenchMachine(const std::string& name) {
  std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  root_ = pattern;
  xp::machine::MachineOptions options;
  xp::machine::DriveOptions d;
  d.letter = 'D';
  d.volume_serial = 0x1234ABCD;
  options.drives.push_back(d);
  xp::machine::Create(root_, options);
  xp::usbtoken::Provision(root_, 1);
  ::setenv("XPMACHINE", root_.c_str(), 1);
  ::setenv("XPMACHINE_CLOCK", "virtual", 1);
}

BenchMachine::~BenchMachine() {
  std::string ignored;
  xp::ntos::host::StopKernelHost(root_, &ignored);
  std::filesystem::remove_all(root_);
}

}  // namespace bench
