// Which driver answers this process, from XPMACHINE_UI: "script:<file>" (a file name relative to the machine
// folder, or absolute), "console", or "none"; unset, the console when stdin is a terminal and nobody otherwise.
// Chosen at first use and again whenever the variable changes, so a test may switch scripts.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "ui_private.h"
#include "xp/machine.h"

namespace xp::ui {
namespace {

constexpr char kVariable[] = "XPMACHINE_UI";
constexpr std::string_view kScriptPrefix = "script:";

std::string Setting() {
  const char* value = std::getenv(kVariable);
  return value != nullptr ? value : "";
}

std::shared_ptr<Driver> Choose(const std::string& setting) {
  if (setting.empty()) {
    return ::isatty(STDIN_FILENO) ? MakeConsoleDriver(stdin, stdout) : MakeNoUserDriver();
  }
  if (setting == "console") return MakeConsoleDriver(stdin, stdout);
  if (setting == "none") return MakeNoUserDriver();
  if (const std::optional<std::filesystem::path> script = ScriptPathFromEnvironment()) {
    return MakeScriptDriver(*script);
  }
  FailUnanswered(std::string(kVariable) + " " + Quote(setting),
                 std::string(kVariable) + "=" + setting + " is none of script:<file>, console and none");
}

}  // namespace

std::optional<std::filesystem::path> ScriptPathFromEnvironment() {
  const std::string setting = Setting();
  if (setting.size() <= kScriptPrefix.size() || setting.compare(0, kScriptPrefix.size(), kScriptPrefix) != 0) {
    return std::nullopt;
  }
  const std::filesystem::path script = setting.substr(kScriptPrefix.size());
  // Relative to the machine, so that every process of the machine finds it wherever it runs.
  return script.is_absolute() ? script : machine::Root() / script;
}

std::shared_ptr<Driver> CurrentDriver() {
  static std::mutex mutex;
  static std::string chosen_for;
  static std::shared_ptr<Driver> driver;
  const std::string setting = Setting();
  const std::lock_guard<std::mutex> lock(mutex);
  if (driver == nullptr || setting != chosen_for) {
    driver = Choose(setting);
    chosen_for = setting;
  }
  return driver;
}

}  // namespace xp::ui
