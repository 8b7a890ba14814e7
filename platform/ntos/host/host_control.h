// Starting, stopping and ending a machine's kernel host from outside it (xpmachine, the boot, tests, benchmarks)
// and from its programs, which start it on demand. A machine has one kernel host at a time: the host holds
// DIR/kernel/host.lock for its whole life, and starters take turns through DIR/kernel/start.lock.
#pragma once

#include <filesystem>
#include <string>

namespace xp::ntos::host {

// True when a kernel host serves the machine (its socket answers a hello).
bool KernelHostAnswers(const std::filesystem::path& machine_dir);
// Makes sure a kernel host serves the machine: returns at once when one answers, waits for one that is booting,
// and otherwise starts `host_program` (xp_ntoshost), detached, its output appended to DIR/kernel/host.log, and
// waits until it answers. A host that had ended without shutting down (a power loss, a crash) is noted in the
// journal before the new one starts. False, with *error, when none comes up.
bool EnsureKernelHost(const std::filesystem::path& host_program, const std::filesystem::path& machine_dir,
                      std::string* error);
// EnsureKernelHost, but false (with *error) when a host already runs: a boot starts the kernel afresh.
bool StartKernelHost(const std::filesystem::path& host_program, const std::filesystem::path& machine_dir,
                     std::string* error);
// Asks the host to write its cache back and end, and waits until it has ended. False, with *error, when no host
// answers for the machine.
bool StopKernelHost(const std::filesystem::path& machine_dir, std::string* error);
// Has the host write every dirty page of its cache back now, as its lazy writer does; true when none runs (there
// is nothing cached then) or once it has.
bool WriteBackKernelCache(const std::filesystem::path& machine_dir);
// The power goes: every process started inside the machine and the kernel host end at once (SIGKILL), nothing
// written back, no exit code recorded. Called by the host itself, it ends the host last. Journals "power off".
void PowerOff(const std::filesystem::path& machine_dir);

}  // namespace xp::ntos::host
