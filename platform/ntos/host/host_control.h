// Starting and stopping a machine's kernel host from outside the machine (xpmachine, tests, benchmarks).
#pragma once

#include <filesystem>
#include <string>

namespace xp::ntos::host {

// True when a kernel host serves the machine (its socket answers a hello).
bool KernelHostAnswers(const std::filesystem::path& machine_dir);
// Starts `host_program` (xp_ntoshost) for the machine, detached, its output appended to DIR/kernel/host.log, and
// waits until it answers (10 s at most). False, with *error, when it already runs or does not come up.
bool StartKernelHost(const std::filesystem::path& host_program, const std::filesystem::path& machine_dir,
                     std::string* error);
// Asks the host to write its cache back and end, and waits until it has ended. False, with *error, when no host
// answers for the machine.
bool StopKernelHost(const std::filesystem::path& machine_dir, std::string* error);

}  // namespace xp::ntos::host
