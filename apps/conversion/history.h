// A conversion history (MRVENCHS for the install, MRVDECHS for the removal): one converted path per line, with its
// backup. A file's conversion is committed by its line, written through to the disk, before its temporary copy
// (the old content) is deleted. A crash before the commit leaves the old content, which the next run puts back; a
// crash after it leaves a finished file that the history lists, whose stale copy the next run deletes. So every
// file is converted exactly once.
#pragma once

#include <functional>
#include <string>

#include "path_set.h"
#include "windows.h"

class CWnd;

namespace tavik::conversion {

class History {
 public:
  History() = default;
  ~History() { Close(); }
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Loads the history's paths (from its backup when the file itself has a bad line). Missing files load nothing.
  enum class Load { kLoaded, kRestoredFromBackup, kBackupNotRestored, kUnreadable };
  Load LoadFrom(const std::string& file, const std::string& backup);
  // Opens the history for appending (created when missing). False when it cannot be opened.
  bool Open(const std::string& file);
  bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }
  // Appends "path\r\n" (the line a text-mode stream writes) in one write and, when durable, flushes it to the
  // disk; then the path counts as converted. False when any of it failed.
  bool Commit(const std::string& path);
  // Whether the path was converted: loaded, or committed by this process.
  bool Contains(const std::string& path) const { return paths_.Contains(path); }
  const PathSet& paths() const { return paths_; }
  void Close();
  // Closes the file and forgets every path.
  void Clear();
  void set_durable(bool durable) { durable_ = durable; }
  bool durable() const { return durable_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool durable_ = true;
  PathSet paths_;
};

// What the settlement does with one leftover temporary copy.
enum class LeftoverAction {
  kKeepUserFile,     // the name is itself a file of the user's: left alone
  kDeleteTemporary,  // the file is committed: its old content is stale
  kPutBackOld,       // the file was in flight: its new part goes, the old content takes its name
};
// The rule of a run: a leftover that `own_files` lists is the user's; one whose file `committed` lists is stale;
// any other is put back. nullptr: no such list.
LeftoverAction DecideLeftover(const PathSet* own_files, const PathSet* committed, const std::string& temporary,
                              const std::string& file);

// Settles every leftover "<file><suffix>" of the fixed drives by `decide`; a file longer than its leftover is never
// put back over, as no conversion was in flight there. A bad name stops the run with the texts
// "Initial hard drive cleaning failed..."; a failed rename back goes to `rename_failed` (temporary, file).
void SettleLeftovers(const char* suffix,
                     const std::function<LeftoverAction(const std::string&, const std::string&)>& decide,
                     const std::function<void(const std::string&, const std::string&)>& rename_failed);

}  // namespace tavik::conversion
