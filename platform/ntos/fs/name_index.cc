// Where each name of a volume's host folders is: one index of upper-cased names per folder looked in, kept current
// by the host's own notices of every entry made, removed or moved in a watched folder (inotify), whoever made the
// change: the model itself or a person editing the drive folder. The notices are taken in before each walk, so a
// walk sees every change that was complete when it began. Where no watch can be had, the folder is listed.
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "fs/model_fs.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

constexpr uint32_t kWatched =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Folders indexed at once; past it every index is dropped and made again as walks need them.
constexpr size_t kMaxFolders = 4096;

bool NameOf(const char* utf8, std::u16string* name) { return rtl::FromUtf8(utf8, name); }

}  // namespace

NameIndex::NameIndex() : notices_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

NameIndex::~NameIndex() {
  if (notices_ >= 0) ::close(notices_);
}

size_t NameIndex::Walk(const std::filesystem::path& root, const std::vector<std::u16string>& components,
                       std::filesystem::path* host, std::vector<std::u16string>* disk_names) {
  const std::lock_guard<std::mutex> guard(lock_);
  TakeNotices();
  std::filesystem::path current = root;
  disk_names->clear();
  for (const std::u16string& wanted : components) {
    const std::optional<std::u16string> name = Find(current, wanted);
    if (!name) break;
    current /= rtl::ToUtf8(*name);
    disk_names->push_back(*name);
  }
  *host = current;
  return disk_names->size();
}

std::optional<std::u16string> NameIndex::Find(const std::filesystem::path& folder, const std::u16string& wanted) {
  auto indexed = folders_.find(folder.native());
  if (indexed == folders_.end()) {
    if (notices_ < 0) return Listed(folder, wanted);
    const int watch = ::inotify_add_watch(notices_, folder.c_str(), kWatched);
    if (watch < 0) {
      if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
      return Listed(folder, wanted);  // no watch to be had (the host's limit): the folder as it is now
    }
    if (folders_.size() >= kMaxFolders) DropAll();
    // A watch already held under another path is a folder that moved: its old index goes.
    if (auto held = by_watch_.find(watch); held != by_watch_.end()) Drop(held->second);
    indexed = folders_.emplace(folder.native(), Folder{watch, {}, false}).first;
    by_watch_[watch] = folder.native();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      Add(indexed->second, entry.path().filename().c_str());
    }
  }
  const auto found = indexed->second.names.find(rtl::Upcase(wanted));
  if (found == indexed->second.names.end()) return std::nullopt;
  return found->second;
}

std::optional<std::u16string> NameIndex::Listed(const std::filesystem::path& folder, const std::u16string& wanted) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::u16string name;
    if (NameOf(entry.path().filename().c_str(), &name) && rtl::EqualNoCase(name, wanted)) return name;
  }
  return std::nullopt;
}

void NameIndex::Add(Folder& folder, const char* utf8) {
  std::u16string name;
  if (!NameOf(utf8, &name)) return;  // a host name that is no valid UTF-8 is no name of the volume
  const auto [at, added] = folder.names.emplace(rtl::Upcase(name), name);
  // Two host names differing only in case: the first stays the name; removing it makes the index again.
  if (!added && at->second != name) folder.ambiguous = true;
}

void NameIndex::Remove(const std::string& path, const char* utf8) {
  Folder& folder = folders_.at(path);
  std::u16string name;
  if (!NameOf(utf8, &name)) return;
  const auto found = folder.names.find(rtl::Upcase(name));
  if (found == folder.names.end() || found->second != name) return;
  if (folder.ambiguous) {
    Drop(path);
    return;
  }
  folder.names.erase(found);
}

void NameIndex::TakeNotices() {
  if (notices_ < 0) return;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t size = ::read(notices_, buffer, sizeof buffer);
    if (size <= 0) {
      if (size < 0 && errno == EINTR) continue;
      return;  // EAGAIN: every notice is in
    }
    for (ssize_t offset = 0; offset < size;) {
      const auto* notice = reinterpret_cast<const inotify_event*>(buffer + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
      if (notice->mask & IN_Q_OVERFLOW) {
        DropAll();
        continue;
      }
      const auto watched = by_watch_.find(notice->wd);
      if (watched == by_watch_.end()) continue;
      const std::string path = watched->second;
      if (notice->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        DropBeneath(path);
      } else if (notice->mask & (IN_CREATE | IN_MOVED_TO)) {
        Add(folders_.at(path), notice->name);
      } else if (notice->mask & (IN_DELETE | IN_MOVED_FROM)) {
        Remove(path, notice->name);
      }
    }
  }
}

void NameIndex::Drop(const std::string& path) {
  const auto found = folders_.find(path);
  if (found == folders_.end()) return;
  ::inotify_rm_watch(notices_, found->second.watch);
  by_watch_.erase(found->second.watch);
  folders_.erase(found);
}

// A folder that went or moved, and every folder indexed beneath it: their paths name nothing now.
void NameIndex::DropBeneath(const std::string& path) {
  Drop(path);
  const std::string prefix = path + "/";
  for (auto at = folders_.lower_bound(prefix); at != folders_.end() && at->first.starts_with(prefix);) {
    const std::string next = at->first;
    ++at;
    Drop(next);
  }
}

void NameIndex::DropAll() {
  for (const auto& [path, folder] : folders_) ::inotify_rm_watch(notices_, folder.watch);
  folders_.clear();
  by_watch_.clear();
}

}  // namespace xp::ntos::fs
