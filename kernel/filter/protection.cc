// Which opens reach protected files: the name tests made before an open, and the decision after it (volume,
// paging file, directory, then the shared protection decision over the full name). Relative opens are decided
// by the full name the file system reports, so they meet the same tests as the absolute name would.
#include "morvel_private.h"
#include "protection_policy.h"

namespace tavik::morvel {
namespace {

constexpr std::u16string_view kDataSuffix = u"::$DATA";
constexpr ULONG kFirstNameQueryBytes = 512;
// The longest name a counted string can hold, in characters.
constexpr size_t kMaxNameLength = 0xFFFF / sizeof(WCHAR);

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

std::u16string_view View(const UNICODE_STRING& text) {
  if (text.Buffer == nullptr) return {};
  return std::u16string_view(text.Buffer, text.Length / sizeof(WCHAR));
}

// The name without a trailing "::$DATA", which names the file's own data.
std::u16string_view WithoutDataSuffix(std::u16string_view name) {
  if (name.size() <= kDataSuffix.size()) return name;
  const std::u16string_view end = name.substr(name.size() - kDataSuffix.size());
  for (size_t i = 0; i < kDataSuffix.size(); ++i) {
    if (FoldAscii(end[i]) != kDataSuffix[i]) return name;
  }
  return name.substr(0, name.size() - kDataSuffix.size());
}

// The shared decision for a volume-relative name on protected volume `index`.
bool Decide(LONG index, std::u16string_view name) {
  const DriverState& state = State();
  if (name.empty() || name.size() > kMaxNameLength) return false;
  return DecideByRules(state.protected_volumes[index].letter, state.protected_volumes[0].letter, name.data(),
                       static_cast<ULONG>(name.size()));
}

// A copy of `name` in pool (kTagPath).
PWSTR CopyName(std::u16string_view name, ULONG* length) {
  if (name.size() > kMaxNameLength) return nullptr;
  auto* copy = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, (name.size() + 1) * sizeof(WCHAR), kTagPath));
  if (copy == nullptr) return nullptr;
  RtlCopyMemory(copy, name.data(), name.size() * sizeof(WCHAR));
  *length = static_cast<ULONG>(name.size());
  return copy;
}

}  // namespace

PWSTR JoinPath(std::u16string_view directory, std::u16string_view name, ULONG* length) {
  const bool separator = directory.empty() || directory.back() != u'\\';
  const SIZE_T total = directory.size() + (separator ? 1 : 0) + name.size();
  if (total > kMaxNameLength) return nullptr;
  auto* joined = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, total * sizeof(WCHAR), kTagPath));
  if (joined == nullptr) return nullptr;
  RtlCopyMemory(joined, directory.data(), directory.size() * sizeof(WCHAR));
  if (separator) joined[directory.size()] = u'\\';
  RtlCopyMemory(joined + directory.size() + (separator ? 1 : 0), name.data(), name.size() * sizeof(WCHAR));
  *length = static_cast<ULONG>(total);
  return joined;
}

void FreeName(PVOID name) { ExFreePoolWithTag(name, kTagPath); }

PWSTR FullOpenedName(FilterExtension* extension, PFILE_OBJECT file, ULONG* length) {
  const std::u16string_view name = View(file->FileName);
  if (file->RelatedFileObject == nullptr) return CopyName(name, length);
  PFILE_NAME_INFORMATION directory = QueryFullName(extension->lower, file->RelatedFileObject);
  if (directory == nullptr) return nullptr;
  PWSTR full = JoinPath(NameOf(directory), name, length);
  FreeName(directory);
  return full;
}

std::u16string_view NameOf(const FILE_NAME_INFORMATION* name) {
  return std::u16string_view(name->FileName, name->FileNameLength / sizeof(WCHAR));
}

PFILE_NAME_INFORMATION QueryFullName(PDEVICE_OBJECT lower, PFILE_OBJECT file) {
  PAGED_CODE();
  ULONG size = kFirstNameQueryBytes;
  // A name longer than the first buffer is asked for again with the length the file system reported.
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto* name = static_cast<PFILE_NAME_INFORMATION>(ExAllocatePoolWithTag(PagedPool, size, kTagPath));
    if (name == nullptr) return nullptr;
    const NTSTATUS status = QueryFileInfo(lower, file, FileNameInformation, name, size, nullptr);
    if (NT_SUCCESS(status)) return name;
    const ULONG needed = name->FileNameLength + static_cast<ULONG>(FIELD_OFFSET(FILE_NAME_INFORMATION, FileName));
    FreeName(name);
    if (status != STATUS_BUFFER_OVERFLOW || needed <= size) return nullptr;
    size = needed;
  }
  return nullptr;
}

bool SkipBeforeOpen(PFILE_OBJECT file) {
  if (file == nullptr || file->FileName.Buffer == nullptr) return true;
  const std::u16string_view name = WithoutDataSuffix(View(file->FileName));
  return policy::IsAlwaysPlainName(name.data(), name.size());
}

bool IsProtectedFile(FilterExtension* extension, PDEVICE_OBJECT device, PFILE_OBJECT file) {
  PAGED_CODE();
  const LONG index = ProtectedVolumeIndex(device);
  if (index < 0 || FsRtlIsPagingFile(file)) return false;
  FILE_BASIC_INFORMATION basic{};
  if (!NT_SUCCESS(QueryFileInfo(extension->lower, file, FileBasicInformation, &basic, sizeof basic, nullptr)) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  if (file->RelatedFileObject == nullptr) {
    const std::u16string_view name = WithoutDataSuffix(View(file->FileName));
    return !name.empty() && name[0] == u'\\' && Decide(index, name);
  }
  PFILE_NAME_INFORMATION full = QueryFullName(extension->lower, file);
  if (full == nullptr) {
    DbgPrint("\nCan't get long file name for %wZ", &file->FileName);
    return false;
  }
  const std::u16string_view name = NameOf(full);
  const bool protected_file = name.size() >= 2 && name[0] == u'\\' && name.back() != u'\\' && Decide(index, name);
  FreeName(full);
  return protected_file;
}

bool IsProtectedName(FilterExtension* extension, PDEVICE_OBJECT device, PFILE_OBJECT file) {
  PAGED_CODE();
  const LONG index = ProtectedVolumeIndex(device);
  if (index < 0) return false;
  ULONG length = 0;
  PWSTR full = FullOpenedName(extension, file, &length);
  // A name that cannot be put together is taken as protected: refusing is the safe side here.
  if (full == nullptr) return true;
  const bool protected_file = Decide(index, WithoutDataSuffix(std::u16string_view(full, length)));
  FreeName(full);
  return protected_file;
}

bool IsProtectedPath(PDEVICE_OBJECT device, std::u16string_view path) {
  const LONG index = ProtectedVolumeIndex(device);
  return index >= 0 && Decide(index, WithoutDataSuffix(path));
}

bool HasRuleAtOrUnder(PDEVICE_OBJECT device, std::u16string_view path) {
  const LONG index = ProtectedVolumeIndex(device);
  if (index < 0 || path.empty() || path.size() > kMaxNameLength) return false;
  const DriverState& state = State();
  return AnyRuleAtOrUnder(state.protected_volumes[index].letter, state.protected_volumes[0].letter, path.data(),
                          static_cast<ULONG>(path.size()));
}

}  // namespace tavik::morvel
