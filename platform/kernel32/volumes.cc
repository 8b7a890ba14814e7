// The machine's drives: which letters exist and their kinds come from the machine description (drive.<L>.type);
// a volume's serial number, file-system name and free space come from its file system through the kernel (a
// volume no file system recognises fails with ERROR_UNRECOGNIZED_VOLUME).
#include <array>
#include <cctype>
#include <cstring>
#include <vector>

#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"
#include "xp/machine.h"

XP_DEBUG_CHANNEL(kernel32);

using namespace xp::kernel32;

namespace {

// The drive letter of "X:\" or "X:", else 0.
char RootLetter(const char* root) {
  const size_t length = std::strlen(root);
  if (length < 2 || length > 3 || !std::isalpha(static_cast<unsigned char>(root[0])) || root[1] != ':') return 0;
  if (length == 3 && root[2] != '\\' && root[2] != '/') return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
}

std::optional<std::string> DriveType(char letter) {
  return xp::machine::Setting(std::string("drive.") + letter + ".type");
}

// Copies `text` with its NUL into a caller's buffer of `size` characters; false when it does not fit.
bool CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr) return true;
  if (text.size() + 1 > size) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

// Exported by kernel32. Bit n is drive 'A' + n.
extern "C" DWORD GetLogicalDrives(void) {
  DWORD drives = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (DriveType(letter)) drives |= 1u << (letter - 'A');
  }
  return drives;
}

// Exported by kernel32. root_path is "X:\"; anything else, or a letter the machine lacks, is DRIVE_NO_ROOT_DIR.
extern "C" UINT GetDriveTypeA(LPCSTR root_path) {
  if (root_path == nullptr) {
    XP_FIXME("GetDriveTypeA", "the current directory's drive is not implemented");
    return DRIVE_UNKNOWN;
  }
  const char letter = RootLetter(root_path);
  const std::optional<std::string> type = letter != 0 ? DriveType(letter) : std::nullopt;
  if (!type) return DRIVE_NO_ROOT_DIR;
  if (*type == "fixed") return DRIVE_FIXED;
  if (*type == "removable") return DRIVE_REMOVABLE;
  if (*type == "cdrom") return DRIVE_CDROM;
  if (*type == "remote") return DRIVE_REMOTE;
  return DRIVE_UNKNOWN;
}

// Exported by kernel32. root_path is "X:\". A buffer too small for its text fails with ERROR_BAD_LENGTH.
extern "C" BOOL GetVolumeInformationA(LPCSTR root_path, LPSTR volume_name, DWORD volume_name_size,
                                      LPDWORD serial_number, LPDWORD maximum_component_length,
                                      LPDWORD file_system_flags, LPSTR file_system_name, DWORD file_system_name_size) {
  if (root_path == nullptr) {
    XP_FIXME("GetVolumeInformationA", "the current directory's volume is not implemented");
    return FailWithError(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const size_t length = std::strlen(root_path);
  if (RootLetter(root_path) == 0 || length != 3) return FailWithError(ERROR_INVALID_NAME);
  const std::optional<WindowsPath> root = ParseWindowsPath(root_path, "GetVolumeInformationA");
  if (!root) return FALSE;
  if (FaultFails("GetVolumeInformationA", root->Text())) return FALSE;
  nt::ScopedHandle handle;
  NTSTATUS status = OpenPath(*root, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                             FILE_DIRECTORY_FILE, &handle);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  // Room for the longest label and file-system name.
  constexpr size_t kRoom = MAX_PATH * sizeof(WCHAR);
  alignas(FILE_FS_VOLUME_INFORMATION) std::array<std::byte, sizeof(FILE_FS_VOLUME_INFORMATION) + kRoom> volume_buffer{};
  status = nt::QueryVolume(handle.get(), volume_buffer.data(), volume_buffer.size(), FileFsVolumeInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  alignas(FILE_FS_ATTRIBUTE_INFORMATION) std::array<std::byte, sizeof(FILE_FS_ATTRIBUTE_INFORMATION) + kRoom>
      attribute_buffer{};
  status = nt::QueryVolume(handle.get(), attribute_buffer.data(), attribute_buffer.size(), FileFsAttributeInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  const auto* volume = reinterpret_cast<const FILE_FS_VOLUME_INFORMATION*>(volume_buffer.data());
  const auto* attribute = reinterpret_cast<const FILE_FS_ATTRIBUTE_INFORMATION*>(attribute_buffer.data());
  const std::string label = Narrow({volume->VolumeLabel, volume->VolumeLabelLength / sizeof(WCHAR)});
  const std::string name = Narrow({attribute->FileSystemName, attribute->FileSystemNameLength / sizeof(WCHAR)});
  if (!CopyOut(label, volume_name, volume_name_size) || !CopyOut(name, file_system_name, file_system_name_size)) {
    return FailWithError(ERROR_BAD_LENGTH);
  }
  if (serial_number != nullptr) *serial_number = volume->VolumeSerialNumber;
  if (maximum_component_length != nullptr) {
    *maximum_component_length = static_cast<DWORD>(attribute->MaximumComponentNameLength);
  }
  if (file_system_flags != nullptr) *file_system_flags = attribute->FileSystemAttributes;
  return TRUE;
}

// Exported by kernel32. Free space is the volume's budget; the caller has no quota, so it may use all of it.
extern "C" BOOL GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER free_bytes_available_to_caller,
                                    PULARGE_INTEGER total_bytes, PULARGE_INTEGER total_free_bytes) {
  if (directory == nullptr) {
    XP_FIXME("GetDiskFreeSpaceExA", "the current directory's volume is not implemented");
    return FailWithError(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const std::optional<WindowsPath> path = ParseWindowsPath(directory, "GetDiskFreeSpaceExA");
  if (!path) return FALSE;
  if (FaultFails("GetDiskFreeSpaceExA", path->Text())) return FALSE;
  nt::ScopedHandle handle;
  NTSTATUS status = OpenPath(*path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                             FILE_DIRECTORY_FILE, &handle);
  FILE_FS_FULL_SIZE_INFORMATION size{};
  if (NT_SUCCESS(status)) status = nt::QueryVolume(handle.get(), &size, sizeof size, FileFsFullSizeInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  const ULONGLONG unit = ULONGLONG{size.SectorsPerAllocationUnit} * size.BytesPerSector;
  if (free_bytes_available_to_caller != nullptr) {
    free_bytes_available_to_caller->QuadPart = size.CallerAvailableAllocationUnits.QuadPart * unit;
  }
  if (total_bytes != nullptr) total_bytes->QuadPart = size.TotalAllocationUnits.QuadPart * unit;
  if (total_free_bytes != nullptr) total_free_bytes->QuadPart = size.ActualAvailableAllocationUnits.QuadPart * unit;
  return TRUE;
}
