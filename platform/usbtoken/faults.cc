// Fault injection: the setters tests call, and the matching of injected request failures. Every setting lives
// in the token's state file, so a fault set by a test acts on the programs it starts.
#include "faults.h"

#include <algorithm>

#include "token_store.h"

namespace xp::usbtoken {

RequestFault RequestFault::Nth(uint32_t n) {
  RequestFault fault;
  fault.skip = n > 0 ? n - 1 : 0;
  return fault;
}

RequestFault RequestFault::Register(uint16_t reg) {
  RequestFault fault;
  fault.reg = reg;
  fault.times = kAlways;
  return fault;
}

RequestFault RequestFault::Code(DWORD code) {
  RequestFault fault;
  fault.code = code;
  fault.times = kAlways;
  return fault;
}

RequestFault RequestFault::StatusRead() {
  RequestFault fault;
  fault.code = kReadRegister;
  fault.reg = 0x31;
  return fault;
}

RequestFault RequestFault::CounterRead() {
  RequestFault fault;
  fault.code = kReadCounter;
  return fault;
}

bool ConsumeCountdown(int32_t& countdown) {
  if (countdown == 0) return false;
  if (countdown > 0) --countdown;
  return true;
}

DWORD InjectedFailure(FaultSettings& faults, DWORD code, std::optional<uint16_t> reg) {
  DWORD error = 0;
  for (StoredRequestFault& fault : faults.requests) {
    if (fault.has_code && fault.code != code) continue;
    if (fault.has_reg && (!reg || fault.reg != *reg)) continue;
    if (fault.skip > 0) {
      --fault.skip;
    } else if (ConsumeCountdown(fault.times) && error == 0) {
      error = fault.error;
    }
  }
  std::erase_if(faults.requests, [](const StoredRequestFault& fault) { return fault.times == 0; });
  return error;
}

bool AddRequestFault(const std::filesystem::path& machine, const std::string& id, const RequestFault& fault) {
  bool added = false;
  const bool found = UpdateToken(machine, id, [&](TokenState& state) {
    if (state.faults.requests.size() >= kMaxRequestFaults || fault.times == 0) return false;
    StoredRequestFault stored;
    stored.has_code = fault.code.has_value();
    stored.code = fault.code.value_or(0);
    stored.has_reg = fault.reg.has_value();
    stored.reg = fault.reg.value_or(0);
    stored.skip = fault.skip;
    stored.times = fault.times;
    stored.error = fault.error;
    state.faults.requests.push_back(stored);
    added = true;
    return true;
  });
  return found && added;
}

bool SetStatusNotReady(const std::filesystem::path& machine, const std::string& id, int32_t reads) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.status_not_ready = reads;
    return true;
  });
}

bool SetAesKeyReadyDelay(const std::filesystem::path& machine, const std::string& id, int32_t polls) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.key_ready_delay = polls;
    return true;
  });
}

bool SetAesDoneDelay(const std::filesystem::path& machine, const std::string& id, int32_t polls) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.done_delay = polls;
    return true;
  });
}

bool FailOpens(const std::filesystem::path& machine, const std::string& id, int32_t times, DWORD error) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.open_failures = times;
    state.faults.open_error = error;
    return true;
  });
}

bool FailCloses(const std::filesystem::path& machine, const std::string& id, int32_t times, DWORD error) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.close_failures = times;
    state.faults.close_error = error;
    return true;
  });
}

bool UnplugAfter(const std::filesystem::path& machine, const std::string& id, uint32_t n) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.unplug_after = n;
    return true;
  });
}

bool SetStrictFlash(const std::filesystem::path& machine, const std::string& id, bool strict) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults.strict_flash = strict;
    return true;
  });
}

bool ClearFaults(const std::filesystem::path& machine, const std::string& id) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.faults = FaultSettings{};
    state.vol.key_ready_hidden = 0;
    state.vol.done_hidden = 0;
    return true;
  });
}

}  // namespace xp::usbtoken
