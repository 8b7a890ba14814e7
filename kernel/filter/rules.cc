// What the driver reads from the registry at load: the directory rules and exceptions under
// "\Registry\Machine\Software\Quillmarsh\Tavik", and the protected volumes, found by matching the volume serial
// numbers of value list "driver" against the disk volumes of drives C: to Z:.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

constexpr char16_t kExclusionKey[] = u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Exclusion";
constexpr char16_t kInclusionKey[] = u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Inclusion";
constexpr char16_t kExceptionKey[] = u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Exception";
constexpr char16_t kVolumesKey[] = u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\driver";

// A value header and 516 bytes of data; larger values end their list.
constexpr ULONG kValueBufferBytes = 528;
constexpr ULONG kVolumeInformationBytes = 536;

NTSTATUS OpenKey(const char16_t* path, HANDLE* key) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, path);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  return ZwOpenKey(key, KEY_READ, &attributes);
}

// Reads value "number" of an open key into `buffer`; any failure (a missing value, data that does not fit)
// ends the list.
bool ReadNumberedValue(HANDLE key, ULONG number, ULONG* buffer, PKEY_VALUE_PARTIAL_INFORMATION* value) {
  WCHAR digits[12];
  UNICODE_STRING name{0, sizeof digits, digits};
  RtlIntegerToUnicodeString(number, 10, &name);
  ULONG returned = 0;
  const NTSTATUS status =
      ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, kValueBufferBytes, &returned);
  if (status != STATUS_SUCCESS) return false;
  *value = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
  return true;
}

// The text of a string value up to its first NUL, never past its data.
ULONG TextLength(const KEY_VALUE_PARTIAL_INFORMATION* value) {
  const auto* text = reinterpret_cast<const WCHAR*>(value->Data);
  const ULONG units = value->DataLength / sizeof(WCHAR);
  ULONG length = 0;
  while (length < units && text[length] != u'\0') ++length;
  return length;
}

// Reads values "1", "2", ... of a rule key and hands each text to `add`; an empty text or one of another shape is
// passed over, and running out of memory ends the key.
template <typename Add>
NTSTATUS ReadRuleKey(const char16_t* path, Add add) {
  HANDLE key = nullptr;
  NTSTATUS status = OpenKey(path, &key);
  if (!NT_SUCCESS(status)) return status;
  ULONG buffer[kValueBufferBytes / sizeof(ULONG)];
  PKEY_VALUE_PARTIAL_INFORMATION value = nullptr;
  for (ULONG number = 1; ReadNumberedValue(key, number, buffer, &value); ++number) {
    const ULONG length = TextLength(value);
    if (length == 0) continue;
    if (add(reinterpret_cast<const WCHAR*>(value->Data), length) == STATUS_NO_MEMORY) break;
  }
  ZwClose(key);
  return STATUS_SUCCESS;
}

// Opens "\DosDevices\X:\" as a directory.
NTSTATUS OpenVolumeRoot(char letter, HANDLE* handle) {
  WCHAR path[] = u"\\DosDevices\\C:\\";
  path[12] = static_cast<WCHAR>(letter);
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, path);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  IO_STATUS_BLOCK io_status;
  return ZwCreateFile(handle, SYNCHRONIZE, &attributes, &io_status, nullptr, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      FILE_OPEN, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

char LetterOf(ULONG slot) { return static_cast<char>('C' + slot); }

}  // namespace

NTSTATUS ReadExclusionRules() {
  return ReadRuleKey(kExclusionKey, [](const WCHAR* text, ULONG length) { return AddDir(text, length, false); });
}

void ReadInclusionRules() {
  ReadRuleKey(kInclusionKey, [](const WCHAR* text, ULONG length) { return AddDir(text, length, true); });
}

void ReadExceptions() {
  ReadRuleKey(kExceptionKey, [](const WCHAR* text, ULONG length) { return AddException(text, length); });
}

void ScanVolumeSerials() {
  PAGED_CODE();
  for (ULONG slot = 0; slot < kVolumeSlots; ++slot) {
    HANDLE root = nullptr;
    if (!NT_SUCCESS(OpenVolumeRoot(LetterOf(slot), &root))) continue;
    ULONG volume_buffer[kVolumeInformationBytes / sizeof(ULONG)];
    FILE_FS_DEVICE_INFORMATION device{};
    IO_STATUS_BLOCK io_status;
    const bool answered =
        NT_SUCCESS(ZwQueryVolumeInformationFile(root, &io_status, volume_buffer, sizeof volume_buffer,
                                                FileFsVolumeInformation)) &&
        NT_SUCCESS(ZwQueryVolumeInformationFile(root, &io_status, &device, sizeof device, FileFsDeviceInformation));
    // Removable disks count as disks here.
    if (answered && device.DeviceType == FILE_DEVICE_DISK) {
      State().volume_serials[slot] = reinterpret_cast<PFILE_FS_VOLUME_INFORMATION>(volume_buffer)->VolumeSerialNumber;
    }
    ZwClose(root);
  }
}

void LoadProtectedVolumes() {
  PAGED_CODE();
  DriverState& state = State();
  HANDLE key = nullptr;
  if (!NT_SUCCESS(OpenKey(kVolumesKey, &key))) return;
  ULONG buffer[kValueBufferBytes / sizeof(ULONG)];
  PKEY_VALUE_PARTIAL_INFORMATION value = nullptr;
  ULONG next = 0;
  for (ULONG number = 1; next < kVolumeSlots && ReadNumberedValue(key, number, buffer, &value); ++number) {
    if (value->DataLength < sizeof(ULONG)) break;
    ULONG serial;
    RtlCopyMemory(&serial, value->Data, sizeof serial);
    if (serial == 0) continue;
    for (ULONG slot = 0; slot < kVolumeSlots && next < kVolumeSlots; ++slot) {
      if (state.volume_serials[slot] != serial) continue;
      state.volume_serials[slot] = 0;  // a serial is used once
      // The entry is taken even when the volume cannot be opened, so that entry 0 stays the system volume.
      ProtectedVolume& entry = state.protected_volumes[next++];
      entry.letter = LetterOf(slot);
      HANDLE root = nullptr;
      if (!NT_SUCCESS(OpenVolumeRoot(entry.letter, &root))) continue;
      PVOID object = nullptr;
      if (NT_SUCCESS(ObReferenceObjectByHandle(root, 0, IoFileObjectType, KernelMode, &object, nullptr))) {
        entry.device = IoGetRelatedDeviceObject(static_cast<PFILE_OBJECT>(object));
        ObDereferenceObject(object);
      }
      ZwClose(root);
    }
  }
  ZwClose(key);
}

LONG ProtectedVolumeIndex(PDEVICE_OBJECT device) {
  // Every entry is looked at: one that could not be filled leaves a gap, not an end.
  for (ULONG i = 0; i < kVolumeSlots; ++i) {
    if (State().protected_volumes[i].device != nullptr && State().protected_volumes[i].device == device) {
      return static_cast<LONG>(i);
    }
  }
  return -1;
}

}  // namespace tavik::morvel
