// The token's kernel driver: opens the plugged token behind an interface path, turns the four control codes on
// the 20-byte request buffer into firmware calls, applies injected faults and keeps the request log.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "faults.h"
#include "firmware.h"
#include "request_log.h"
#include "token_store.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace xp::usbtoken {
namespace {

// The counter requests carry this fixed header in place of a register and a count.
constexpr uint16_t kCounterHeaderRegister = 0x00FF;
constexpr uint16_t kCounterHeaderCount = 8;

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// One request, decoded from the caller's buffer and answered into `reply`.
struct Exchange {
  DWORD code;
  uint8_t request[kRequestSize] = {};
  DWORD in_size;
  DWORD out_size;
  uint8_t reply[kRequestSize] = {};
  DWORD reply_size = 0;
  Request logged{};
};

class TokenDevice : public xp::DeviceFile {
 public:
  TokenDevice(std::filesystem::path token_dir, uint64_t plug_generation, uint64_t open)
      : file_(std::move(token_dir)), plug_generation_(plug_generation), open_(open) {}

  DWORD IoControl(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                  DWORD* returned) override;
  DWORD OnClose() override;

 private:
  DWORD Execute(TokenState& state, Exchange& x) const;
  DWORD ReadRegister(TokenState& state, Exchange& x) const;
  DWORD WriteRegister(TokenState& state, Exchange& x) const;
  static DWORD ReadCounter(const TokenState& state, Exchange& x);
  static DWORD WriteCounter(TokenState& state, Exchange& x);

  StateFile file_;
  uint64_t plug_generation_;
  uint64_t open_;
};

DWORD TokenDevice::IoControl(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                             DWORD* returned) {
  if (returned != nullptr) *returned = 0;
  if ((in == nullptr && in_size != 0) || (out == nullptr && out_size != 0)) return ERROR_INVALID_PARAMETER;
  // The input is copied first: callers pass one buffer as both input and output.
  Exchange x{code, {}, in_size, out_size};
  if (in_size > 0) std::memcpy(x.request, in, std::min(in_size, kRequestSize));
  x.logged.code = code;
  if (in_size >= 4) {
    x.logged.reg = GetU16(x.request);
    x.logged.count = GetU16(x.request + 2);
  }
  // What a write carries is logged even when the request then fails.
  if (code == kWriteRegister && x.logged.count <= kRequestSize - 4 && in_size >= 4u + x.logged.count) {
    x.logged.data.assign(x.request + 4, x.request + 4 + x.logged.count);
  } else if (code == kWriteCounter && in_size >= 12) {
    x.logged.data.assign(x.request + 8, x.request + 12);
  }
  DWORD result = ERROR_DEVICE_NOT_CONNECTED;
  file_.Update([&](TokenState& state) {
    if (!state.plugged || state.plug_generation != plug_generation_) {
      x.logged.result = result;
      AppendRequest(file_.dir(), x.logged);
      return false;
    }
    const bool unplug_now = state.faults.unplug_after > 0 && --state.faults.unplug_after == 0;
    const bool register_request = code == kReadRegister || code == kWriteRegister;
    result = InjectedFailure(state.faults, code,
                             register_request && in_size >= 4 ? std::optional(x.logged.reg) : std::nullopt);
    if (result == ERROR_SUCCESS) result = Execute(state, x);
    if (unplug_now) {
      state.plugged = false;
      ++state.plug_generation;
      Firmware(state).ResetVolatile();
    }
    x.logged.result = result;
    AppendRequest(file_.dir(), x.logged);
    return true;
  });
  if (result != ERROR_SUCCESS) return result;
  if (x.reply_size > 0) std::memcpy(out, x.reply, x.reply_size);
  if (returned != nullptr) *returned = x.reply_size;
  return ERROR_SUCCESS;
}

DWORD TokenDevice::OnClose() {
  DWORD result = ERROR_SUCCESS;
  file_.Update([&](TokenState& state) {
    if (!ConsumeCountdown(state.faults.close_failures)) return false;
    result = state.faults.close_error;
    return true;
  });
  return result;
}

DWORD TokenDevice::Execute(TokenState& state, Exchange& x) const {
  switch (x.code) {
    case kReadRegister:
      return ReadRegister(state, x);
    case kWriteRegister:
      return WriteRegister(state, x);
    case kReadCounter:
      return ReadCounter(state, x);
    case kWriteCounter:
      return WriteCounter(state, x);
  }
  return ERROR_INVALID_FUNCTION;
}

DWORD TokenDevice::ReadRegister(TokenState& state, Exchange& x) const {
  const uint16_t count = x.logged.count;
  if (x.in_size < 4 || count > kRequestSize - 4 || x.out_size < 4u + count) return ERROR_INVALID_PARAMETER;
  std::memcpy(x.reply, x.request, 4);
  const DWORD result = Firmware(state).ReadRegister(x.logged.reg, count, x.reply + 4);
  if (result == ERROR_SUCCESS) {
    x.reply_size = 4u + count;
    x.logged.data.assign(x.reply + 4, x.reply + 4 + count);
  }
  return result;
}

DWORD TokenDevice::WriteRegister(TokenState& state, Exchange& x) const {
  const uint16_t count = x.logged.count;
  if (x.in_size < 4 || count > kRequestSize - 4 || x.in_size < 4u + count) return ERROR_INVALID_PARAMETER;
  const uint8_t* data = x.request + 4;
  // A password comparison belongs to the open that began it: one begun by another open (say, a process that
  // died halfway) is dropped rather than finished with this caller's bytes.
  VolatileState& v = state.vol;
  if (x.logged.reg == 0x30 && count >= 1 && data[0] == 0x02 && v.compare_open != open_) {
    v.compare_index = 0;
    v.compare_mismatch = false;
    v.compare_open = open_;
  }
  return Firmware(state).WriteRegister(x.logged.reg, count, data);
}

DWORD TokenDevice::ReadCounter(const TokenState& state, Exchange& x) {
  if (x.in_size < 4 || x.logged.reg != kCounterHeaderRegister || x.logged.count != kCounterHeaderCount ||
      x.out_size < 10) {
    return ERROR_INVALID_PARAMETER;
  }
  std::memcpy(x.reply, x.request, 8);
  x.reply[8] = static_cast<uint8_t>(state.counter);
  x.reply[9] = static_cast<uint8_t>(state.counter >> 8);
  x.reply_size = 10;
  x.logged.data.assign(x.reply + 8, x.reply + 10);
  return ERROR_SUCCESS;
}

DWORD TokenDevice::WriteCounter(TokenState& state, Exchange& x) {
  if (x.in_size < 12 || x.logged.reg != kCounterHeaderRegister || x.logged.count != kCounterHeaderCount) {
    return ERROR_INVALID_PARAMETER;
  }
  // The counter is 16 bits wide; a value it cannot hold is refused rather than cut.
  if (x.request[10] != 0 || x.request[11] != 0) return ERROR_INVALID_PARAMETER;
  state.counter = GetU16(x.request + 8);
  return ERROR_SUCCESS;
}

}  // namespace

std::shared_ptr<xp::DeviceFile> OpenInterface(const std::string& device_path, DWORD* error) {
  const std::filesystem::path& machine = xp::machine::Root();
  for (const std::string& id : TokenIds(machine)) {
    if (!EqualsIgnoreCase(InterfacePath(id), device_path)) continue;
    const std::optional<std::filesystem::path> dir = TokenDir(machine, id);
    DWORD result = ERROR_FILE_NOT_FOUND;
    uint64_t generation = 0;
    uint64_t open = 0;
    if (dir) {
      StateFile(*dir).Update([&](TokenState& state) {
        if (!state.plugged) return false;
        if (ConsumeCountdown(state.faults.open_failures)) {
          result = state.faults.open_error;
          return true;
        }
        result = ERROR_SUCCESS;
        generation = state.plug_generation;
        open = ++state.open_serial;
        return true;
      });
    }
    if (result != ERROR_SUCCESS) {
      *error = result;
      return nullptr;
    }
    return std::make_shared<TokenDevice>(*dir, generation, open);
  }
  *error = ERROR_FILE_NOT_FOUND;
  return nullptr;
}

}  // namespace xp::usbtoken
