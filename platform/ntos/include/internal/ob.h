// Object manager internals: the hidden header in front of every kernel object, reference counting, the object
// namespace with symbolic links, and handle tables.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "ddk/ntifs.h"

namespace xp::ntos::ob {

enum class Kind { kDevice, kDriver, kFile, kKey };

// Lies in front of the object body; drivers only ever see the body.
struct Header {
  uint32_t magic;
  Kind kind;
  std::atomic<long> pointer_count{1};
  std::u16string name;  // full name in the namespace, empty when unnamed
  std::function<void(void* body)> on_last_reference;  // kind-specific teardown; frees nothing itself
};

// Allocates a zeroed body of `size` bytes behind a header; the pointer count starts at 1.
void* Allocate(Kind kind, size_t size);
// The header of a body made by Allocate; stops the machine for anything else.
Header* HeaderOf(const void* body);
bool IsObject(const void* body);
void Reference(void* body);
// At zero, runs on_last_reference and frees the memory.
void Dereference(void* body);

// Upper-cases a name for lookups ("\??" is kept; Namespace turns it into "\DosDevices").
std::u16string UpcaseName(std::u16string_view name);

// Names of devices and drivers, and symbolic links; lookups ignore case.
class Namespace {
 public:
  NTSTATUS Insert(std::u16string_view name, void* object);
  void Remove(std::u16string_view name);
  NTSTATUS InsertLink(std::u16string_view link, std::u16string_view target);
  NTSTATUS RemoveLink(std::u16string_view link);
  void* Find(std::u16string_view name) const;
  // Resolves links and splits "\DosDevices\C:\dir\file" into the device and the rest ("\dir\file"; empty when the
  // name is the device itself). STATUS_OBJECT_NAME_NOT_FOUND or STATUS_OBJECT_PATH_NOT_FOUND when nothing matches.
  NTSTATUS Parse(std::u16string_view name, void** object, std::u16string* remainder) const;

 private:
  static std::u16string Key(std::u16string_view name);
  std::map<std::u16string, void*> objects_;
  std::map<std::u16string, std::u16string> links_;
};

struct HandleEntry {
  void* object = nullptr;
  ACCESS_MASK granted = 0;
};

// Handles of one process (or of the kernel); values are multiples of 4, never 0.
class HandleTable {
 public:
  HANDLE Insert(void* object, ACCESS_MASK granted);
  bool Lookup(HANDLE handle, HandleEntry* entry) const;
  bool Remove(HANDLE handle, HandleEntry* entry);
  size_t Count() const { return entries_.size(); }
  HANDLE First() const { return reinterpret_cast<HANDLE>(entries_.begin()->first); }

 private:
  std::map<uintptr_t, HandleEntry> entries_;
  uintptr_t next_ = 4;
};

}  // namespace xp::ntos::ob
