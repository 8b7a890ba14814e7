// The readable dump of one token that `xpmachine token show` prints: identity, password block, counter, status,
// the user pages in use (only their lines that are not erased) and the faults set on it. The key page is not
// shown: its secrets stay inside the token even for the machine's owner.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "token_store.h"

namespace xp::usbtoken {
namespace {

std::string Hex(const uint8_t* bytes, size_t n, const char* separator) {
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    if (i > 0) text += separator;
    text += digits;
  }
  return text;
}

// 16 bytes a line, "  0040  xx xx ...", skipping lines that are all 0xFF when `skip_erased`.
void Dump(std::ostringstream& out, const uint8_t* bytes, size_t n, bool skip_erased) {
  for (size_t line = 0; line < n; line += 16) {
    const size_t width = std::min<size_t>(16, n - line);
    bool erased = true;
    for (size_t i = 0; i < width; ++i) erased = erased && bytes[line + i] == 0xFF;
    if (skip_erased && erased) continue;
    char offset[32];
    std::snprintf(offset, sizeof offset, "  %04zx  ", line);
    out << offset << Hex(bytes + line, width, " ") << '\n';
  }
}

bool PageErased(const TokenState& state, size_t page) {
  for (size_t i = 0; i < kPageSize; ++i) {
    if (state.flash[page * kPageSize + i] != 0xFF) return false;
  }
  return true;
}

void DescribeFaults(std::ostringstream& out, const FaultSettings& f) {
  auto countdown = [](int32_t n) { return n == kAlways ? std::string("always") : std::to_string(n); };
  bool any = false;
  auto line = [&](const std::string& text) {
    out << (any ? "               " : "faults         ") << text << '\n';
    any = true;
  };
  for (const StoredRequestFault& r : f.requests) {
    char filter[48] = "";
    if (r.has_code) std::snprintf(filter, sizeof filter, " code 0x%06x", static_cast<unsigned>(r.code));
    if (r.has_reg) {
      const size_t used = std::strlen(filter);
      std::snprintf(filter + used, sizeof filter - used, " register 0x%02x", static_cast<unsigned>(r.reg));
    }
    line("fail requests" + std::string(filter) + ": pass " + std::to_string(r.skip) + ", then fail " +
         countdown(r.times) + " with error " + std::to_string(r.error));
  }
  if (f.status_not_ready != 0) line("status not ready: " + countdown(f.status_not_ready) + " reads");
  if (f.key_ready_delay != 0) line("AES key ready after " + countdown(f.key_ready_delay) + " polls");
  if (f.done_delay != 0) line("AES done after " + countdown(f.done_delay) + " polls");
  if (f.open_failures != 0) line("open fails: " + countdown(f.open_failures) + ", error " + std::to_string(f.open_error));
  if (f.close_failures != 0) {
    line("close fails: " + countdown(f.close_failures) + ", error " + std::to_string(f.close_error));
  }
  if (f.unplug_after != 0) line("unplug after " + std::to_string(f.unplug_after) + " more requests");
  if (f.strict_flash) line("strict flash (programming clears bits only)");
  if (!any) out << "faults         none\n";
}

}  // namespace

std::string Describe(const std::filesystem::path& machine, const std::string& id) {
  const std::optional<TokenState> found = ReadToken(machine, id);
  if (!found) return "";
  const TokenState& s = *found;
  std::ostringstream out;
  out << id << (s.plugged ? "  plugged  " : "  unplugged  ") << InterfacePath(id) << '\n';
  out << "serial number  " << IdentityText(s, 8) << '\n';
  out << "identity area  (page 1, bytes 0-127)\n";
  Dump(out, &s.flash[kPageSize], 128, false);
  out << "password       " << (s.password == CleanPasswordBlock() ? "none" : "set") << '\n';
  Dump(out, s.password.data(), s.password.size(), false);
  out << "counter        " << s.counter << '\n';
  char status[64];
  std::snprintf(status, sizeof status, "status         0x%02x%s\n", StatusByte(s),
                s.vol.accepted ? " (password accepted)" : "");
  out << status;
  out << "key slot       " << static_cast<int>(s.vol.slot) << '\n';
  char seed[48];
  std::snprintf(seed, sizeof seed, "seed           0x%016llx\n", static_cast<unsigned long long>(s.seed));
  out << seed;
  out << "password copy key  " << Hex(s.password_copy_key.data(), s.password_copy_key.size(), "") << '\n';
  for (size_t page = 2; page < kFlashSize / kPageSize; ++page) {
    if (PageErased(s, page)) continue;
    out << "page " << page << '\n';
    Dump(out, &s.flash[page * kPageSize], kPageSize, true);
  }
  DescribeFaults(out, s.faults);
  return out.str();
}

}  // namespace xp::usbtoken
