// Faults on purpose, machine-wide: any stand-in can be told to fail the nth call of one of its operations (optionally
// only on a path), or to end the process at once right after the nth one completed. Calls are counted across every
// process of the machine. Never included by system code.
//
// A stand-in names its operations after its calls ("OpenProcessToken", "GetTokenInformation", "CreateProcessA",
// "WriteFile") or after a checkpoint ("checkpoint:<name>"), and asks at each call:
//     if (const std::optional<uint32_t> error = xp::machine::FailPoint("OpenProcessToken")) { fail with *error }
//     ... do the operation ...
//     xp::machine::CrashPoint("WriteFile", path);   // where a crash after the operation is meaningful
// The armed faults live in DIR/faults, one line each, which a person can read:
//     <fail|crash|power-loss> <operation> nth=<n> times=<t> error=<Win32 error> calls=<matching calls so far>
//     path=<text>
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xp::machine {

enum class FaultAction {
  kFail,       // FailPoint returns the error: the call fails without doing anything
  kCrash,      // CrashPoint ends the process at once (SIGKILL: no unwinding, no flushing, no exit code)
  kPowerLoss,  // PowerLossPoint says the power goes: the caller (the kernel host) ends the whole machine at once
};

struct Fault {
  FaultAction action = FaultAction::kFail;
  std::string operation;      // no spaces
  uint32_t nth = 1;           // the nth matching call from now fires (1: the next one)
  uint32_t times = 1;         // and the times - 1 calls after it; 0: every matching call from the nth on
  uint32_t error = 0;         // kFail: the Win32 error the call fails with
  std::string path_contains;  // only calls whose path holds this text, ignoring ASCII case; empty: every call
};

// Arms a fault in the machine XPMACHINE names; throws std::invalid_argument for a malformed one.
void ArmFault(const Fault& fault);
// Disarms every fault of the machine.
void ClearFaults();

// Before an operation: the error to fail it with, or nullopt to go on. Counts the call for every armed kFail fault
// of `operation` whose path matches. Free when no fault is armed; nullopt outside a machine.
std::optional<uint32_t> FailPoint(std::string_view operation, std::string_view path = {});
// After an operation completed: counts it for the armed kCrash faults and ends the process when one fires.
void CrashPoint(std::string_view operation, std::string_view path = {});
// After an operation completed: counts it for the armed kPowerLoss faults; true when one fires.
bool PowerLossPoint(std::string_view operation, std::string_view path = {});

}  // namespace xp::machine
