// Kernel objects: a hidden header in front of each body carries its kind, pointer count and name. The last
// dereference runs the kind's teardown (a file object's close request, a deleted device's release).
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/ob.h"
#include "include/internal/rtl.h"

namespace xp::ntos::ob {
namespace {

constexpr uint32_t kMagic = 0x4F424A31;  // "OBJ1"
constexpr size_t kHeaderSpace = (sizeof(Header) + 15) / 16 * 16;

// Every live body, so that a stray pointer stops the machine instead of corrupting memory.
struct LiveObjects {
  std::mutex lock;
  std::set<const void*> bodies;
};
LiveObjects& Live() {
  static LiveObjects* live = new LiveObjects;
  return *live;
}

}  // namespace

void* Allocate(Kind kind, size_t size) {
  auto* raw = static_cast<char*>(std::aligned_alloc(16, kHeaderSpace + (size + 15) / 16 * 16));
  if (raw == nullptr) return nullptr;
  auto* header = new (raw) Header();
  header->magic = kMagic;
  header->kind = kind;
  void* body = raw + kHeaderSpace;
  std::memset(body, 0, size);
  std::lock_guard<std::mutex> guard(Live().lock);
  Live().bodies.insert(body);
  return body;
}

bool IsObject(const void* body) {
  std::lock_guard<std::mutex> guard(Live().lock);
  return Live().bodies.count(body) != 0;
}

Header* HeaderOf(const void* body) {
  if (!IsObject(body)) ke::BugCheck(ke::kInvalidObject, "pointer is not a kernel object");
  return reinterpret_cast<Header*>(const_cast<char*>(static_cast<const char*>(body)) - kHeaderSpace);
}

void Reference(void* body) { HeaderOf(body)->pointer_count.fetch_add(1); }

void Dereference(void* body) {
  Header* header = HeaderOf(body);
  const long remaining = header->pointer_count.fetch_sub(1) - 1;
  if (remaining > 0) return;
  if (remaining < 0) ke::BugCheck(ke::kInvalidObject, "object dereferenced below zero");
  if (header->on_last_reference) header->on_last_reference(body);
  {
    std::lock_guard<std::mutex> guard(Live().lock);
    Live().bodies.erase(body);
  }
  header->~Header();
  std::free(header);
}

std::u16string UpcaseName(std::u16string_view name) { return rtl::Upcase(name); }

}  // namespace xp::ntos::ob

using namespace xp::ntos;

namespace {

char file_object_type_marker;

}  // namespace

extern "C" {

// Exported by the kernel model.
POBJECT_TYPE IoFileObjectType = reinterpret_cast<POBJECT_TYPE>(&file_object_type_marker);

void ObReferenceObject(PVOID object) { ob::Reference(object); }

void ObDereferenceObject(PVOID object) { ob::Dereference(object); }

NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK access, POBJECT_TYPE type, KPROCESSOR_MODE mode,
                                   PVOID* object, POBJECT_HANDLE_INFORMATION information) {
  KernelState& state = State();
  ob::HandleEntry entry;
  {
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    if (!state.handles.Lookup(handle, &entry)) return STATUS_INVALID_HANDLE;
    if (type == IoFileObjectType && ob::HeaderOf(entry.object)->kind != ob::Kind::kFile) {
      return STATUS_OBJECT_TYPE_MISMATCH;
    }
    if (mode == UserMode && (access & ~entry.granted) != 0) return STATUS_ACCESS_DENIED;
    ob::Reference(entry.object);
  }
  *object = entry.object;
  if (information != nullptr) {
    information->HandleAttributes = 0;
    information->GrantedAccess = entry.granted;
  }
  return STATUS_SUCCESS;
}

NTSTATUS ObQueryNameString(PVOID object, POBJECT_NAME_INFORMATION information, ULONG length,
                           PULONG return_length) {
  ob::Header* header = ob::HeaderOf(object);
  std::u16string name = header->name;
  if (header->kind == ob::Kind::kFile) {
    auto* file = static_cast<PFILE_OBJECT>(object);
    if (file->DeviceObject != nullptr) name = ob::HeaderOf(file->DeviceObject)->name;
    name += rtl::View(file->FileName);
  }
  const ULONG needed = static_cast<ULONG>(sizeof(OBJECT_NAME_INFORMATION) + (name.size() + 1) * sizeof(WCHAR));
  if (return_length != nullptr) *return_length = needed;
  if (length < needed) return STATUS_INFO_LENGTH_MISMATCH;
  auto* text = reinterpret_cast<PWSTR>(information + 1);
  std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
  information->Name.Buffer = name.empty() ? nullptr : text;
  information->Name.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
  information->Name.MaximumLength = static_cast<USHORT>(information->Name.Length + sizeof(WCHAR));
  return STATUS_SUCCESS;
}

}  // extern "C"
