// The stand-ins' trace channels. Each stand-in traces through a named channel at four levels: ERR (its own failures)
// and FIXME (a call or flag outside what it implements) are on by default, WARN and TRACE off. XPDEBUG switches
// them, item by item in order: "+token,+kernel,-ui" turns every level of token and kernel on and every level of ui
// off; "trace+ui", "warn-all" name one level; "all" is every channel. A line goes to stderr as
// "trace:token:DeviceIoControl ..." and, when the process's machine folder is known (XPMACHINE), is appended to
// DIR/debug.log after the process id and program name. The system's own logs never go through here.
// Never included by system code.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

namespace xp::debug {

enum Level : uint8_t {
  kErr = 1,
  kFixme = 2,
  kWarn = 4,
  kTrace = 8,
};

// The levels on for `channel` under the settings text of XPDEBUG (nullptr: unset).
uint8_t LevelsFor(const char* settings, std::string_view channel);

class Channel {
 public:
  constexpr explicit Channel(const char* name) : name_(name) {}
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Reads XPDEBUG on its first use only: afterwards a channel that is off costs one load and one test.
  bool On(Level level) const {
    const uint8_t levels = levels_.load(std::memory_order_relaxed);
    if ((levels & (level | kUnread)) == 0) return false;
    return ((levels & kUnread) != 0 ? Read() : levels) & level;
  }
  const char* name() const { return name_; }

 private:
  static constexpr uint8_t kUnread = 0x80;
  uint8_t Read() const;

  const char* name_;
  mutable std::atomic<uint8_t> levels_{kUnread};
};

// Writes one line "<level>:<channel>:<function> <text>" (printf-style text).
void Print(const Channel& channel, Level level, const char* function, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

}  // namespace xp::debug

// Declares the channel a source file's XP_ERR, XP_FIXME, XP_WARN and XP_TRACE lines go to.
#define XP_DEBUG_CHANNEL(name) static constinit ::xp::debug::Channel xp_debug_channel{#name}

#define XP_DEBUG_LINE(level, function, ...)                                                        \
  do {                                                                                             \
    if (xp_debug_channel.On(level)) ::xp::debug::Print(xp_debug_channel, level, function, __VA_ARGS__); \
  } while (0)
#define XP_ERR(function, ...) XP_DEBUG_LINE(::xp::debug::kErr, function, __VA_ARGS__)
#define XP_FIXME(function, ...) XP_DEBUG_LINE(::xp::debug::kFixme, function, __VA_ARGS__)
#define XP_WARN(function, ...) XP_DEBUG_LINE(::xp::debug::kWarn, function, __VA_ARGS__)
#define XP_TRACE(function, ...) XP_DEBUG_LINE(::xp::debug::kTrace, function, __VA_ARGS__)
