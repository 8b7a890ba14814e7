// What the machine's owner does with its tokens: plug, unplug (both heard by the machine, see arrivals.cc), list,
// look inside, preset the counter, read the request log.
#include <algorithm>

#include "firmware.h"
#include "request_log.h"
#include "token_store.h"

namespace xp::usbtoken {

bool Plug(const std::filesystem::path& machine, const std::string& id) {
  const bool plugged = UpdateToken(machine, id, [](TokenState& state) {
    if (state.plugged) return false;
    state.plugged = true;
    Firmware(state).ResetVolatile();
    return true;
  });
  if (plugged) NoteArrival(machine, id);
  return plugged;
}

bool Unplug(const std::filesystem::path& machine, const std::string& id) {
  const bool unplugged = UpdateToken(machine, id, [](TokenState& state) {
    if (!state.plugged) return false;
    state.plugged = false;
    ++state.plug_generation;
    Firmware(state).ResetVolatile();
    return true;
  });
  if (unplugged) NoteDeparture(machine);
  return unplugged;
}

std::vector<TokenInfo> List(const std::filesystem::path& machine) {
  std::vector<std::pair<uint32_t, TokenInfo>> found;
  for (const std::string& id : TokenIds(machine)) {
    const std::optional<TokenState> state = ReadToken(machine, id);
    if (!state) continue;
    found.push_back({state->instance, TokenInfo{id, state->plugged, InterfacePath(id), IdentityText(*state, 8)}});
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TokenInfo> tokens;
  for (auto& [instance, info] : found) tokens.push_back(std::move(info));
  return tokens;
}

std::optional<Snapshot> Inspect(const std::filesystem::path& machine, const std::string& id) {
  const std::optional<TokenState> state = ReadToken(machine, id);
  if (!state) return std::nullopt;
  Snapshot snapshot;
  snapshot.flash = state->flash;
  snapshot.password_block = state->password;
  snapshot.counter = state->counter;
  snapshot.plugged = state->plugged;
  snapshot.accepted = state->vol.accepted;
  snapshot.status = StatusByte(*state);
  snapshot.selected_slot = state->vol.slot;
  snapshot.loaded = state->vol.loaded;
  snapshot.seed = state->seed;
  snapshot.password_copy_key = state->password_copy_key;
  return snapshot;
}

bool SetCounter(const std::filesystem::path& machine, const std::string& id, uint16_t counter) {
  return UpdateToken(machine, id, [&](TokenState& state) {
    state.counter = counter;
    return true;
  });
}

std::vector<Request> RequestLog(const std::filesystem::path& machine, const std::string& id) {
  const std::optional<std::filesystem::path> dir = TokenDir(machine, id);
  return dir ? ReadRequests(*dir) : std::vector<Request>{};
}

bool ClearRequestLog(const std::filesystem::path& machine, const std::string& id) {
  const std::optional<std::filesystem::path> dir = TokenDir(machine, id);
  return dir && std::filesystem::is_directory(*dir) && ClearRequests(*dir);
}

}  // namespace xp::usbtoken
