// Declarations shared by the files of the machine library: the names of the machine folder's fixed files, and the
// forms of the public calls that take the machine folder explicitly (for a process leaving a machine it entered).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace xp::machine {

inline constexpr char kDescriptionFile[] = "machine.ini";
inline constexpr char kClockFile[] = "clock";
inline constexpr char kJournalFile[] = "journal.log";
inline constexpr char kProcessesFolder[] = "processes";
inline constexpr char kFaultsFile[] = "faults";
inline constexpr char kRestartFile[] = "restart-requested";
inline constexpr char kBootModeFile[] = "boot-mode";
inline constexpr char kAccountChangesFile[] = "sam.ini";
// The machine.ini key holding the host time (ms since 1970) at which the machine was made; real time counts from it.
inline constexpr char kCreatedKey[] = "created";

// account_changes.cc: an account's value (account.<number>.<field>): what the machine learnt since it was made
// (DIR/sam.ini), else the description's.
std::optional<std::string> AccountValue(int number, const std::string& field);

// root.cc: prints "xpmachine: <message>" and aborts; for a process that runs outside any machine.
[[noreturn]] void Fatal(const std::string& message);

// clock.cc, journal.cc, settings.cc: NowMs, Journal and Setting of the machine in `root`.
uint64_t NowMsAt(const std::filesystem::path& root);
void JournalAt(const std::filesystem::path& root, const std::string& what);
std::optional<std::string> SettingAt(const std::filesystem::path& root, const std::string& key);

}  // namespace xp::machine
