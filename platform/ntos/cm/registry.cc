// Registry calls for drivers (ZwOpenKey, ZwCreateKey, ZwQueryValueKey, ZwSetValueKey; ZwClose closes key handles
// too) over the machine's registry store, whose names are the kernel's "\Registry\Machine\...".
#include <cstring>
#include <mutex>
#include <vector>

#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"
#include "xp/registry.h"

namespace xp::ntos::cm {
namespace {

struct KeyBody {
  registry::KeyId id;
};

NTSTATUS StatusOf(LONG error) {
  switch (error) {
    case 0: return STATUS_SUCCESS;
    case 2: return STATUS_OBJECT_NAME_NOT_FOUND;     // ERROR_FILE_NOT_FOUND
    case 5: return STATUS_ACCESS_DENIED;             // ERROR_ACCESS_DENIED
    case 161: return STATUS_OBJECT_PATH_SYNTAX_BAD;  // ERROR_BAD_PATHNAME
    case 259: return STATUS_NO_MORE_ENTRIES;         // ERROR_NO_MORE_ITEMS
    case 1016: return STATUS_REGISTRY_IO_FAILED;     // ERROR_REGISTRY_IO_FAILED
    case 1018: return STATUS_KEY_DELETED;            // ERROR_KEY_DELETED
    default: return STATUS_UNSUCCESSFUL;
  }
}

NTSTATUS KeyOfHandle(HANDLE handle, ACCESS_MASK needed, registry::KeyId* id) {
  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  ob::HandleEntry entry;
  if (!state.handles.Lookup(handle, &entry)) return STATUS_INVALID_HANDLE;
  if (ob::HeaderOf(entry.object)->kind != ob::Kind::kKey) return STATUS_OBJECT_TYPE_MISMATCH;
  if (ke::PreviousMode() == UserMode && (entry.granted & needed) != needed) return STATUS_ACCESS_DENIED;
  *id = static_cast<KeyBody*>(entry.object)->id;
  return STATUS_SUCCESS;
}

HANDLE InsertKey(registry::KeyId id, ACCESS_MASK access) {
  auto* body = static_cast<KeyBody*>(ob::Allocate(ob::Kind::kKey, sizeof(KeyBody)));
  body->id = id;
  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  return state.handles.Insert(body, access);
}

// The key a name is relative to, and the rest of the name: a key handle, or one of the two roots.
NTSTATUS Split(POBJECT_ATTRIBUTES attributes, registry::KeyId* parent, std::u16string* rest) {
  if (attributes == nullptr || attributes->ObjectName == nullptr) return STATUS_INVALID_PARAMETER;
  const std::u16string name(rtl::View(attributes->ObjectName));
  if (attributes->RootDirectory != nullptr) {
    *rest = name;
    return KeyOfHandle(attributes->RootDirectory, 0, parent);
  }
  const std::u16string upper = rtl::Upcase(name);
  for (const auto& [root, id] : {std::pair<std::u16string, registry::KeyId>{u"\\REGISTRY\\MACHINE", registry::kMachineKey},
                                 std::pair<std::u16string, registry::KeyId>{u"\\REGISTRY\\USER", registry::kUsersKey}}) {
    if (upper == root || upper.starts_with(root + u"\\")) {
      *parent = id;
      *rest = name.size() > root.size() ? name.substr(root.size() + 1) : u"";
      return STATUS_SUCCESS;
    }
  }
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

}  // namespace
}  // namespace xp::ntos::cm

using namespace xp::ntos;

extern "C" {

// Exported by the kernel model.
NTSTATUS ZwOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes) {
  xp::registry::KeyId parent = 0;
  std::u16string rest;
  NTSTATUS status = cm::Split(attributes, &parent, &rest);
  if (!NT_SUCCESS(status)) return status;
  xp::registry::KeyId id = 0;
  status = cm::StatusOf(xp::registry::OpenKey(parent, rest, &id));
  if (NT_SUCCESS(status)) *key = cm::InsertKey(id, access);
  return status;
}

NTSTATUS ZwCreateKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG, PUNICODE_STRING,
                     ULONG create_options, PULONG disposition) {
  if (create_options != REG_OPTION_NON_VOLATILE) return STATUS_NOT_IMPLEMENTED;
  xp::registry::KeyId parent = 0;
  std::u16string rest;
  NTSTATUS status = cm::Split(attributes, &parent, &rest);
  if (!NT_SUCCESS(status)) return status;
  xp::registry::KeyId id = 0;
  bool created = false;
  status = cm::StatusOf(xp::registry::CreateKey(parent, rest, &id, &created));
  if (!NT_SUCCESS(status)) return status;
  *key = cm::InsertKey(id, access);
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return STATUS_SUCCESS;
}

NTSTATUS ZwQueryValueKey(HANDLE key, PUNICODE_STRING value_name, KEY_VALUE_INFORMATION_CLASS information_class,
                         PVOID information, ULONG length, PULONG result_length) {
  if (information_class != KeyValuePartialInformation) return STATUS_NOT_IMPLEMENTED;
  xp::registry::KeyId id = 0;
  NTSTATUS status = cm::KeyOfHandle(key, KEY_QUERY_VALUE, &id);
  if (!NT_SUCCESS(status)) return status;
  xp::registry::Value value;
  status = cm::StatusOf(xp::registry::QueryValue(id, rtl::View(value_name), &value));
  if (!NT_SUCCESS(status)) return status;
  const ULONG header = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
  const ULONG needed = header + static_cast<ULONG>(value.data.size());
  if (result_length != nullptr) *result_length = needed;
  if (length < header) return STATUS_BUFFER_TOO_SMALL;
  auto* partial = static_cast<PKEY_VALUE_PARTIAL_INFORMATION>(information);
  partial->TitleIndex = 0;
  partial->Type = value.type;
  partial->DataLength = static_cast<ULONG>(value.data.size());
  if (length < needed) return STATUS_BUFFER_OVERFLOW;
  if (!value.data.empty()) std::memcpy(partial->Data, value.data.data(), value.data.size());
  return STATUS_SUCCESS;
}

NTSTATUS ZwSetValueKey(HANDLE key, PUNICODE_STRING value_name, ULONG, ULONG type, PVOID data, ULONG data_size) {
  xp::registry::KeyId id = 0;
  NTSTATUS status = cm::KeyOfHandle(key, KEY_SET_VALUE, &id);
  if (!NT_SUCCESS(status)) return status;
  const auto* bytes = static_cast<const uint8_t*>(data);
  return cm::StatusOf(xp::registry::SetValue(id, rtl::View(value_name), type,
                                             std::vector<uint8_t>(bytes, bytes + data_size)));
}

}  // extern "C"
