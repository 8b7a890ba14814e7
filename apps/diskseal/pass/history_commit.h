// The commit of one encrypted file: its path appended to the encryption history (MRVENCHS) as one line, written
// through to the disk, before its temporary copy (the path + ".H1K") is deleted. A crash before the commit leaves
// the plain copy, which the next run puts back; a crash after it leaves a complete encrypted file that the history
// lists, whose stale copy the next run deletes. So every file ends encrypted exactly once.
#pragma once

#include <string>

#include "path_set.h"
#include "windows.h"

namespace tavik::diskseal {

class HistoryLog {
 public:
  HistoryLog() = default;
  ~HistoryLog() { Close(); }
  HistoryLog(const HistoryLog&) = delete;
  HistoryLog& operator=(const HistoryLog&) = delete;

  // Opens the history for appending (created when missing). False when it cannot be opened.
  bool Open(const std::string& path);
  bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }
  // Appends "path\r\n" (the line a text-mode stream writes) in one write and, when durable, flushes it to the
  // disk. False when any of it failed.
  bool Commit(const std::string& path);
  void Close();
  void set_durable(bool durable) { durable_ = durable; }
  bool durable() const { return durable_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool durable_ = true;
};

// What the restore does with one leftover temporary copy, given the history.
enum class LeftoverAction {
  kKeepUserFile,     // the ".H1K" file is itself a file the install encrypted: the user's own, left alone
  kDeleteTemporary,  // the file is committed: its plain copy is stale
  kPutBackPlain,     // the file was in flight: its encrypted part goes, the plain copy takes its name
};
LeftoverAction DecideLeftover(const PathSet& done, const std::string& temporary, const std::string& file);

}  // namespace tavik::diskseal
