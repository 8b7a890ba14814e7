// Declarations shared by the files of the machine library: the names of the machine folder's fixed files.
#pragma once

#include <string>

namespace xp::machine {

inline constexpr char kDescriptionFile[] = "machine.ini";
inline constexpr char kClockFile[] = "clock";
inline constexpr char kJournalFile[] = "journal.log";
// The machine.ini key holding the host time (ms since 1970) at which the machine was made; real time counts from it.
inline constexpr char kCreatedKey[] = "created";

// root.cc: prints "xpmachine: <message>" and aborts; for a process that runs outside any machine.
[[noreturn]] void Fatal(const std::string& message);

}  // namespace xp::machine
