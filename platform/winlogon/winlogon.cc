// Winlogon's state machine over its GINA: logged out (the notice, then the logged-out SAS), logged on (the shell
// and RunOnce, then the session until a SAS or a restart request), locked; shutdown and restart end the run.
#include <memory>

#include "winlogon_private.h"
#include "xp/accounts.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/ui.h"

namespace xp::winlogon {
namespace {

// How long the user's programs have to end by themselves after one of them asked for a restart (they ask, then
// exit), before Winlogon ends the rest as a forced restart does.
constexpr unsigned kRestartGraceMs = 5000;
constexpr char16_t kWindowStation[] = u"WinSta0";
constexpr char16_t kDesktop[] = u"WinSta0\\Default";
// The GINA writes the logon SID here; Winlogon of XP passes a buffer of this size.
constexpr size_t kLogonSidSize = 68;

enum class State { kLoggedOut, kLoggedOn, kLocked, kEnded };

class Winlogon {
 public:
  explicit Winlogon(const Options& options) : options_(options) {}

  Outcome Run() {
    if (!Start()) return Outcome::kFailed;
    State state = State::kLoggedOut;
    while (state != State::kEnded) {
      switch (state) {
        case State::kLoggedOut: state = LoggedOut(); break;
        case State::kLoggedOn: state = LoggedOn(); break;
        case State::kLocked: state = Locked(); break;
        case State::kEnded: break;
      }
    }
    return outcome_;
  }

  ~Winlogon() { EndDispatch(); }

 private:
  bool Start() {
    std::string error;
    if (!LoadGina(&host_.gina, &error)) {
      machine::Journal("winlogon GINA " + host_.gina.name + " not loaded: " + error);
      return false;
    }
    machine::Journal("winlogon GINA " + host_.gina.name);
    if (options_.typed_logon) {
      if (!host_.gina.is_msgina) {
        machine::Journal("winlogon typed logon refused: GinaDLL names " + host_.gina.name);
        return false;
      }
      typed_logon_ = std::make_unique<TypedLogonScript>(*options_.typed_logon);
    }
    DWORD dll_version = 0;
    if (!host_.gina.Negotiate(options_.version, &dll_version)) {
      machine::Journal("winlogon GINA " + host_.gina.name + " refused version " + std::to_string(options_.version));
      return false;
    }
    BeginDispatch(&host_);
    std::u16string window_station = kWindowStation;
    if (!host_.gina.Initialize(window_station.data(), &host_, nullptr, &host_.dispatch, &host_.context)) {
      machine::Journal("winlogon GINA " + host_.gina.name + " failed to initialise");
      return false;
    }
    return true;
  }

  State End(Outcome outcome) {
    outcome_ = outcome;
    return State::kEnded;
  }

  State NobodyThere(const char* screen) {
    machine::Journal(std::string("winlogon stopped on \"") + screen + "\": nobody to press Ctrl+Alt+Del");
    return End(Outcome::kNobodyThere);
  }

  // The GINA ends the machine's run: WlxShutdown, and for a restart the request the next boot takes up.
  State Shutdown(int action) {
    host_.gina.Shutdown(host_.context, static_cast<DWORD>(action));
    if (action == WLX_SAS_ACTION_SHUTDOWN_REBOOT) {
      if (!machine::PendingRestart()) machine::RequestRestart(EWX_REBOOT);
      machine::Journal("winlogon restart");
      return End(Outcome::kRestart);
    }
    machine::Journal("winlogon shutdown (action " + std::to_string(action) + ")");
    return End(Outcome::kShutDown);
  }

  State LoggedOut() {
    std::optional<DWORD> sas = TakeQueuedSas(host_);
    if (!sas) {
      host_.gina.DisplaySASNotice(host_.context);
      sas = TakeQueuedSas(host_);
    }
    while (!sas) {
      if (!SomeoneCanAnswer()) return NobodyThere(kWelcomeScreen);
      sas = WaitForSas(kWelcomeScreen);
    }
    LUID logon_id{};
    BYTE logon_sid[kLogonSidSize] = {};
    DWORD logon_options = 0;
    HANDLE token = nullptr;
    WLX_MPR_NOTIFY_INFO notice{};
    PVOID profile = nullptr;
    const int action = host_.gina.LoggedOutSAS(host_.context, *sas, &logon_id, logon_sid, &logon_options, &token,
                                               &notice, &profile);
    if (typed_logon_) typed_logon_->Restore();
    const std::string user = notice.pszUserName != nullptr ? registry::Utf16ToAnsi(notice.pszUserName) : "";
    Release(&notice, profile);
    switch (action) {
      case WLX_SAS_ACTION_LOGON:
        return BeginSession(user, token);
      case WLX_SAS_ACTION_NONE:
        return State::kLoggedOut;
      case WLX_SAS_ACTION_SHUTDOWN:
      case WLX_SAS_ACTION_SHUTDOWN_POWER_OFF:
      case WLX_SAS_ACTION_SHUTDOWN_REBOOT:
        return Shutdown(action);
      default:
        machine::Journal("winlogon WlxLoggedOutSAS gave action " + std::to_string(action) + ", taken as none");
        return State::kLoggedOut;
    }
  }

  // A logon the GINA reported: the account comes from the network-provider notice.
  State BeginSession(const std::string& user, HANDLE token) {
    const std::optional<machine::Account> account = machine::FindAccount(user);
    if (!account || account->kind != machine::AccountKind::kUser) {
      machine::Journal("winlogon logon refused: \"" + user + "\" is no account of the machine");
      if (token != nullptr) CloseHandle(token);
      host_.gina.Logoff(host_.context);
      return State::kLoggedOut;
    }
    host_.user = account->name;
    host_.user_token = token;
    machine::Journal("winlogon logon " + host_.user);
    std::u16string environment = Environment(host_.user);
    std::u16string desktop = kDesktop;
    std::u16string logon_script;
    if (!host_.gina.ActivateUserShell(host_.context, desktop.data(), logon_script.data(), environment.data())) {
      machine::Journal("winlogon shell of " + host_.user + " not started");
      LogOff(host_, 0);
      return State::kLoggedOut;
    }
    RunOnceAtLogon(host_.user);
    return State::kLoggedOn;
  }

  State LoggedOn() {
    DWORD sas = 0;
    switch (WaitInSession(host_, kDesktopScreen, &sas)) {
      case SessionEvent::kRestart:
        return Restart();
      case SessionEvent::kNobodyThere:
        return NobodyThere(kDesktopScreen);
      case SessionEvent::kSas:
        break;
    }
    const int action = host_.gina.LoggedOnSAS(host_.context, sas, nullptr);
    switch (action) {
      case WLX_SAS_ACTION_LOCK_WKSTA:
        return host_.gina.IsLockOk(host_.context) ? State::kLocked : State::kLoggedOn;
      case WLX_SAS_ACTION_LOGOFF:
        if (!host_.gina.IsLogoffOk(host_.context)) return State::kLoggedOn;
        LogOff(host_, 0);
        return State::kLoggedOut;
      case WLX_SAS_ACTION_FORCE_LOGOFF:
        LogOff(host_, 0);
        return State::kLoggedOut;
      case WLX_SAS_ACTION_SHUTDOWN:
      case WLX_SAS_ACTION_SHUTDOWN_POWER_OFF:
      case WLX_SAS_ACTION_SHUTDOWN_REBOOT:
        LogOff(host_, 0);
        return Shutdown(action);
      case WLX_SAS_ACTION_TASKLIST:
        machine::Journal("winlogon task list");
        return State::kLoggedOn;
      case WLX_SAS_ACTION_NONE:
        return State::kLoggedOn;
      default:
        machine::Journal("winlogon WlxLoggedOnSAS gave action " + std::to_string(action) + ", taken as none");
        return State::kLoggedOn;
    }
  }

  State Locked() {
    host_.gina.DisplayLockedNotice(host_.context);
    DWORD sas = 0;
    switch (WaitInSession(host_, kLockedScreen, &sas)) {
      case SessionEvent::kRestart:
        return Restart();
      case SessionEvent::kNobodyThere:
        return NobodyThere(kLockedScreen);
      case SessionEvent::kSas:
        break;
    }
    const int action = host_.gina.WkstaLockedSAS(host_.context, sas);
    switch (action) {
      case WLX_SAS_ACTION_UNLOCK_WKSTA:
        return State::kLoggedOn;
      case WLX_SAS_ACTION_LOGOFF:
      case WLX_SAS_ACTION_FORCE_LOGOFF:
        LogOff(host_, 0);
        return State::kLoggedOut;
      case WLX_SAS_ACTION_NONE:
        return State::kLocked;
      default:
        machine::Journal("winlogon WlxWkstaLockedSAS gave action " + std::to_string(action) + ", taken as none");
        return State::kLocked;
    }
  }

  // A program asked for the restart (it goes on to end itself): the session ends, then the GINA's shutdown.
  State Restart() {
    LogOff(host_, kRestartGraceMs);
    return Shutdown(WLX_SAS_ACTION_SHUTDOWN_REBOOT);
  }

  // The user's environment block for the shell: "NAME=value" strings, each ended by a NUL, and a final NUL.
  static std::u16string Environment(const std::string& user) {
    const std::string computer = machine::Setting("computer_name").value_or("");
    std::u16string block;
    for (const std::string& entry : {"USERNAME=" + user, "USERDOMAIN=" + computer,
                                     "USERPROFILE=C:\\Documents and Settings\\" + user}) {
      block += registry::AnsiToUtf16(entry);
      block += u'\0';
    }
    block += u'\0';
    return block;
  }

  // What the GINA handed over and Winlogon frees; the password is wiped first.
  static void Release(WLX_MPR_NOTIFY_INFO* notice, PVOID profile) {
    if (notice->pszPassword != nullptr) {
      volatile WCHAR* password = notice->pszPassword;
      while (*password != u'\0') *password++ = u'\0';
    }
    for (PWSTR text : {notice->pszUserName, notice->pszDomain, notice->pszPassword, notice->pszOldPassword}) {
      if (text != nullptr) LocalFree(text);
    }
    if (profile != nullptr) {
      LocalFree(static_cast<PWLX_PROFILE_V1_0>(profile)->pszProfile);
      LocalFree(profile);
    }
  }

  const Options& options_;
  Host host_;
  std::unique_ptr<TypedLogonScript> typed_logon_;
  Outcome outcome_ = Outcome::kFailed;
};

}  // namespace

Outcome Run(const Options& options) { return Winlogon(options).Run(); }

}  // namespace xp::winlogon
