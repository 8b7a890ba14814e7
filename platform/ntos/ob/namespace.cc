// The object namespace: named devices and drivers, and symbolic links ("\DosDevices\C:" → "\Device\...").
// "\??" is another name of "\DosDevices". Lookups ignore case; parsing follows links and splits off the part of
// the name the device's file system resolves.
#include "include/internal/ob.h"
#include "include/internal/rtl.h"

namespace xp::ntos::ob {
namespace {

constexpr int kMaxReparse = 32;

}  // namespace

namespace {

// Upper case, with "\??" spelled "\DOSDEVICES"; the tail keeps its length so offsets carry over.
std::u16string ParseKey(std::u16string_view name) {
  std::u16string key = rtl::Upcase(name);
  if (key == u"\\??" || key.starts_with(u"\\??\\")) key = u"\\DOSDEVICES" + key.substr(3);
  return key;
}

}  // namespace

std::u16string Namespace::Key(std::u16string_view name) {
  std::u16string key = ParseKey(name);
  while (key.size() > 1 && key.back() == u'\\') key.pop_back();
  return key;
}

NTSTATUS Namespace::Insert(std::u16string_view name, void* object) {
  const std::u16string key = Key(name);
  if (key.empty() || key[0] != u'\\') return STATUS_OBJECT_NAME_INVALID;
  if (objects_.count(key) != 0 || links_.count(key) != 0) return STATUS_OBJECT_NAME_COLLISION;
  objects_[key] = object;
  return STATUS_SUCCESS;
}

void Namespace::Remove(std::u16string_view name) { objects_.erase(Key(name)); }

NTSTATUS Namespace::InsertLink(std::u16string_view link, std::u16string_view target) {
  const std::u16string key = Key(link);
  if (key.empty() || key[0] != u'\\') return STATUS_OBJECT_NAME_INVALID;
  if (objects_.count(key) != 0 || links_.count(key) != 0) return STATUS_OBJECT_NAME_COLLISION;
  links_[key] = std::u16string(target);
  return STATUS_SUCCESS;
}

NTSTATUS Namespace::RemoveLink(std::u16string_view link) {
  return links_.erase(Key(link)) != 0 ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}

void* Namespace::Find(std::u16string_view name) const {
  const auto found = objects_.find(Key(name));
  return found == objects_.end() ? nullptr : found->second;
}

NTSTATUS Namespace::Parse(std::u16string_view name, void** object, std::u16string* remainder) const {
  std::u16string current(name);
  if (current.empty() || current[0] != u'\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
  for (int reparse = 0; reparse < kMaxReparse; ++reparse) {
    const std::u16string key = ParseKey(current);
    // The longest prefix ending at a component boundary that names something decides.
    size_t end = key.size();
    bool followed = false;
    while (end > 0) {
      const std::u16string prefix = key.substr(0, end);
      // Keep the rest exactly as given (its case matters to nobody here, but the file system sees it).
      const size_t rest_start = current.size() - (key.size() - end);
      if (auto link = links_.find(prefix); link != links_.end()) {
        current = link->second + current.substr(rest_start);
        followed = true;
        break;
      }
      if (auto found = objects_.find(prefix); found != objects_.end()) {
        *object = found->second;
        *remainder = current.substr(rest_start);
        return STATUS_SUCCESS;
      }
      const size_t slash = key.rfind(u'\\', end - 1);
      if (slash == std::u16string::npos || slash == 0) break;
      end = slash;
    }
    if (!followed) {
      return key.find(u'\\', 1) == std::u16string::npos ? STATUS_OBJECT_NAME_NOT_FOUND
                                                        : STATUS_OBJECT_PATH_NOT_FOUND;
    }
  }
  return STATUS_OBJECT_PATH_NOT_FOUND;
}

HANDLE HandleTable::Insert(void* object, ACCESS_MASK granted) {
  const uintptr_t value = next_;
  next_ += 4;
  entries_[value] = HandleEntry{object, granted};
  return reinterpret_cast<HANDLE>(value);
}

bool HandleTable::Lookup(HANDLE handle, HandleEntry* entry) const {
  const auto found = entries_.find(reinterpret_cast<uintptr_t>(handle));
  if (found == entries_.end()) return false;
  *entry = found->second;
  return true;
}

bool HandleTable::Remove(HANDLE handle, HandleEntry* entry) {
  const auto found = entries_.find(reinterpret_cast<uintptr_t>(handle));
  if (found == entries_.end()) return false;
  *entry = found->second;
  entries_.erase(found);
  return true;
}

}  // namespace xp::ntos::ob
