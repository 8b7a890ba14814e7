// The logged-on user's session as Winlogon watches it: the user's programs are the machine processes that run as
// the user. While one runs, Winlogon watches for a restart request (ExitWindowsEx) and for secure-attention events;
// once none runs, it asks the UI for the keys, if anyone is there to press them.
#include <strings.h>

#include <chrono>
#include <thread>

#include "winlogon_private.h"
#include "xp/dialogs.h"
#include "xp/machine.h"
#include "xp/processes.h"
#include "xp/ui.h"

namespace xp::winlogon {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr uint32_t kEndWaitMs = 5000;
// A program ended because its session ended: not a fault of its own.
constexpr uint32_t kEndedBySessionEnd = 0;

std::vector<uint32_t> UserPrograms(const std::string& user) {
  std::vector<uint32_t> programs;
  const uint32_t self = machine::CurrentProcessId();
  for (const machine::ProcessRecord& record : machine::ListProcesses(true)) {
    if (record.launched && record.pid != self && ::strcasecmp(record.account.c_str(), user.c_str()) == 0) {
      programs.push_back(record.pid);
    }
  }
  return programs;
}

}  // namespace

std::optional<DWORD> WaitForSas(const char* screen) {
  const ui::Action event = ui::WaitForAttention(screen);
  if (event.kind != ui::ActionKind::kPower) return ui::SasTypeOf(event);
  user32::BroadcastPowerEvent(event.text == "suspend" ? PBT_APMSUSPEND : PBT_APMRESUMESUSPEND);
  return std::nullopt;
}

SessionEvent WaitInSession(Host& host, const char* screen, DWORD* sas) {
  for (;;) {
    if (machine::PendingRestart()) return SessionEvent::kRestart;
    if (const std::optional<DWORD> queued = TakeQueuedSas(host)) {
      *sas = *queued;
      return SessionEvent::kSas;
    }
    if (!UserPrograms(host.user).empty()) {
      std::this_thread::sleep_for(kPollInterval);
      continue;
    }
    // The last program may have asked for the restart just before it ended.
    if (machine::PendingRestart()) return SessionEvent::kRestart;
    if (!SomeoneCanAnswer()) return SessionEvent::kNobodyThere;
    if (const std::optional<DWORD> event = WaitForSas(screen)) {
      *sas = *event;
      return SessionEvent::kSas;
    }
  }
}

void LogOff(Host& host, unsigned grace_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(grace_ms);
  while (!UserPrograms(host.user).empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
  }
  for (const uint32_t pid : UserPrograms(host.user)) {
    machine::TerminateMachineProcess(pid, kEndedBySessionEnd);
    machine::WaitForProcessEnd(pid, kEndWaitMs);
  }
  host.gina.Logoff(host.context);
  if (host.user_token != nullptr) CloseHandle(host.user_token);
  host.user_token = nullptr;
  machine::Journal("winlogon logoff " + host.user);
  host.user.clear();
}

}  // namespace xp::winlogon
