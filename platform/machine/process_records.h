// The process records on disk, shared by the files of the process table. A record DIR/processes/<pid> is a text of
// "key = value" lines that only grows: a change appends a line, a later line of a key replaces an earlier one,
// except exit_code, where the first one stands (a process ends once). A line without its '\n' (a torn write) is
// ignored. The live process holds an exclusive flock on its record; a record nobody holds belongs to a process that
// has ended, however it ended.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "xp/processes.h"

namespace xp::machine {

// The descriptor number at which a launched process inherits its locked record, and the variable naming the pid.
inline constexpr int kInheritedRecordFd = 200;
inline constexpr char kProcessVariable[] = "XPMACHINE_PROCESS";

std::filesystem::path RecordPath(const std::filesystem::path& root, uint32_t pid);

// Makes a new record with these lines (the pid line is added), locked through the returned descriptor
// (close-on-exec, appending). *extra_id: a further fresh id (a thread id) when not null.
int CreateRecord(const std::filesystem::path& root, const std::vector<std::string>& lines, uint32_t* pid,
                 uint32_t* extra_id = nullptr);

std::string RecordLine(const std::string& key, const std::string& value);
// Appends whole lines in one write.
void AppendToRecordFd(int fd, const std::string& lines);
// Appends to the record of `pid`; false when there is no such record.
bool AppendToRecord(const std::filesystem::path& root, uint32_t pid, const std::string& lines);

// The record of `pid` with its liveness, or nullopt.
std::optional<ProcessRecord> ReadRecord(const std::filesystem::path& root, uint32_t pid);
// The text read through a descriptor, parsed (liveness not judged).
ProcessRecord ParseRecordFd(int fd);

// The host's start time of a host process (field 22 of /proc/<pid>/stat), or 0 when it is gone.
uint64_t HostStartTime(pid_t host_pid);

// "launch pid 1004 C:\...\x.exe", with " command line: <text>" when one was given.
void JournalLaunch(const std::filesystem::path& root, uint32_t pid, const std::string& image,
                   const std::string& command_line);

}  // namespace xp::machine
