// Directory enumeration (IRP_MN_QUERY_DIRECTORY): names in upper-case order with "." and ".." in folders other
// than the root, filtered by a pattern of '*' and '?' (ignoring case); FileDirectoryInformation,
// FileBothDirectoryInformation (no short names: the volume keeps none) and FileNamesInformation.
#include <algorithm>
#include <cstring>
#include <system_error>

#include "fs/model_fs.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

bool Matches(std::u16string_view pattern, std::u16string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == u'*') {
    for (size_t skip = 0; skip <= name.size(); ++skip) {
      if (Matches(pattern.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  if (pattern[0] != u'?' && rtl::Upcase(pattern[0]) != rtl::Upcase(name[0])) return false;
  return Matches(pattern.substr(1), name.substr(1));
}

std::vector<std::u16string> List(const Fcb& directory) {
  std::vector<std::u16string> names;
  if (directory.path != u"\\") {
    names.push_back(u".");
    names.push_back(u"..");
  }
  std::vector<std::u16string> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(HostPath(*directory.vcb, directory.path), error)) {
    std::u16string name;
    if (rtl::FromUtf8(entry.path().filename().string(), &name)) children.push_back(name);
  }
  std::sort(children.begin(), children.end(),
            [](const std::u16string& a, const std::u16string& b) { return rtl::Upcase(a) < rtl::Upcase(b); });
  names.insert(names.end(), children.begin(), children.end());
  return names;
}

// What one entry reports: the directory itself for "." and "..", else the child (from its stream if open).
void Describe(Vcb& vcb, const Fcb& directory, const std::u16string& name, FILE_NETWORK_OPEN_INFORMATION* info) {
  std::u16string path = directory.path;
  if (name != u"." && name != u"..") path = (path == u"\\" ? u"" : path) + u"\\" + name;
  const bool is_directory = name == u"." || name == u".." ||
                            std::filesystem::is_directory(HostPath(vcb, path));
  if (auto open = vcb.fcbs.find(KeyOf(path)); open != vcb.fcbs.end()) {
    FillNetworkOpen(*open->second, info);
    return;
  }
  FileRecord record;
  bool stored = false;
  bool settled = false;
  // A store that cannot answer leaves the entry with what the disk says.
  if (!NT_SUCCESS(ReadRecord(vcb, path, is_directory, &record, &stored, &settled))) {
    record.attributes = is_directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  }
  std::error_code error;
  const LONGLONG size = is_directory ? 0 : static_cast<LONGLONG>(std::filesystem::file_size(HostPath(vcb, path), error));
  info->CreationTime.QuadPart = record.creation_time;
  info->LastAccessTime.QuadPart = record.last_access_time;
  info->LastWriteTime.QuadPart = record.last_write_time;
  info->ChangeTime.QuadPart = record.change_time;
  info->EndOfFile.QuadPart = error ? 0 : size;
  info->AllocationSize.QuadPart = RoundToCluster(info->EndOfFile.QuadPart);
  info->FileAttributes = ReportedAttributes(record, is_directory);
}

ULONG FixedPart(FILE_INFORMATION_CLASS information_class) {
  switch (information_class) {
    case FileDirectoryInformation: return offsetof(FILE_DIRECTORY_INFORMATION, FileName);
    case FileBothDirectoryInformation: return offsetof(FILE_BOTH_DIR_INFORMATION, FileName);
    case FileNamesInformation: return offsetof(FILE_NAMES_INFORMATION, FileName);
    default: return 0;
  }
}

void Fill(FILE_INFORMATION_CLASS information_class, void* entry, const FILE_NETWORK_OPEN_INFORMATION& info,
          const std::u16string& name, ULONG name_bytes) {
  if (information_class == FileNamesInformation) {
    auto* names = static_cast<PFILE_NAMES_INFORMATION>(entry);
    names->FileNameLength = name_bytes;
    std::memcpy(names->FileName, name.data(), name_bytes);
    return;
  }
  // FILE_DIRECTORY_INFORMATION is the common head of both layouts.
  auto* head = static_cast<PFILE_DIRECTORY_INFORMATION>(entry);
  head->CreationTime = info.CreationTime;
  head->LastAccessTime = info.LastAccessTime;
  head->LastWriteTime = info.LastWriteTime;
  head->ChangeTime = info.ChangeTime;
  head->EndOfFile = info.EndOfFile;
  head->AllocationSize = info.AllocationSize;
  head->FileAttributes = info.FileAttributes;
  head->FileNameLength = name_bytes;
  auto* text = reinterpret_cast<char*>(entry) + FixedPart(information_class);
  std::memcpy(text, name.data(), name_bytes);
}

}  // namespace

NTSTATUS DirectoryControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->MinorFunction != IRP_MN_QUERY_DIRECTORY) return STATUS_INVALID_DEVICE_REQUEST;
  Fcb* fcb = FcbOf(stack->FileObject);
  if (fcb == nullptr || !fcb->directory) return STATUS_INVALID_PARAMETER;
  const FILE_INFORMATION_CLASS information_class = stack->Parameters.QueryDirectory.FileInformationClass;
  const ULONG fixed = FixedPart(information_class);
  if (fixed == 0) return STATUS_INVALID_INFO_CLASS;
  auto* ccb = static_cast<Ccb*>(stack->FileObject->FsContext2);
  const bool first = !ccb->enumerating;
  if (first || (stack->Flags & SL_RESTART_SCAN)) {
    ccb->enumerating = true;
    if (first) {
      ccb->pattern = stack->Parameters.QueryDirectory.FileName != nullptr
                         ? std::u16string(rtl::View(stack->Parameters.QueryDirectory.FileName))
                         : u"*";
      if (ccb->pattern.empty()) ccb->pattern = u"*";
      if (ccb->pattern.find_first_of(u"<>\"") != std::u16string::npos) return STATUS_NOT_IMPLEMENTED;
    }
    ccb->listing = List(*fcb);
    ccb->next = 0;
  }
  auto* buffer = static_cast<char*>(RequestBuffer(irp));
  const ULONG length = stack->Parameters.QueryDirectory.Length;
  ULONG used = 0;
  ULONG previous = 0;
  bool any = false;
  while (ccb->next < ccb->listing.size()) {
    const std::u16string& name = ccb->listing[ccb->next];
    if (!Matches(ccb->pattern, name)) {
      ++ccb->next;
      continue;
    }
    const ULONG start = (used + 7) / 8 * 8;
    const ULONG name_bytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
    if (!any && start + fixed > length) return STATUS_BUFFER_OVERFLOW;
    if (start + fixed + name_bytes > length) {
      if (any) break;
      // The first entry does not fit whole: as much of it as fits, and say so.
      FILE_NETWORK_OPEN_INFORMATION info{};
      Describe(*fcb->vcb, *fcb, name, &info);
      std::vector<char> whole(fixed + name_bytes);
      Fill(information_class, whole.data(), info, name, name_bytes);
      std::memcpy(buffer, whole.data(), length);
      ++ccb->next;
      irp->IoStatus.Information = length;
      return STATUS_BUFFER_OVERFLOW;
    }
    FILE_NETWORK_OPEN_INFORMATION info{};
    Describe(*fcb->vcb, *fcb, name, &info);
    std::memset(buffer + start, 0, fixed);
    Fill(information_class, buffer + start, info, name, name_bytes);
    if (any) *reinterpret_cast<ULONG*>(buffer + previous) = start - previous;
    previous = start;
    used = start + fixed + name_bytes;
    any = true;
    ++ccb->next;
    if (stack->Flags & SL_RETURN_SINGLE_ENTRY) break;
  }
  if (!any) return first ? STATUS_NO_SUCH_FILE : STATUS_NO_MORE_FILES;
  irp->IoStatus.Information = used;
  return STATUS_SUCCESS;
}

}  // namespace xp::ntos::fs
