// The rename rule. A rename moves a file's name without touching its bytes, so a rename that would change the
// file's protection would leave it in the wrong form (ciphertext read as plain, or plaintext where ciphertext
// belongs). Such a rename is answered with STATUS_NOT_SAME_DEVICE, which makes the caller copy the file (through
// the filter, stored as its new place demands) and delete the original, as for a move between volumes. Moves
// between folders are answered so as well, except for a folder still named as the shell names a new one and for
// moves into the recycle bin, as long as they keep every file's protection.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

constexpr std::u16string_view kNewFolderShortName = u"\\New Fo~1";
constexpr std::u16string_view kNewFolderName = u"\\New Folder";
constexpr std::u16string_view kRecycler = u"\\RECYCLER";
// A file name that no name test singles out, for asking how a folder's files are decided.
constexpr std::u16string_view kNotionalFile = u"f";

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// Up to and including the last backslash.
std::u16string_view DirectoryOf(std::u16string_view path) {
  const size_t last = path.rfind(u'\\');
  return last == std::u16string_view::npos ? std::u16string_view() : path.substr(0, last + 1);
}

// The last component with its leading backslash; a backslash in the last position belongs to the component.
std::u16string_view LastComponentOf(std::u16string_view path) {
  if (path.size() < 2) return path;
  const size_t last = path.rfind(u'\\', path.size() - 2);
  return last == std::u16string_view::npos ? path : path.substr(last);
}

// The first component with its leading backslash.
std::u16string_view FirstComponentOf(std::u16string_view path) {
  const size_t end = path.size() < 2 ? std::u16string_view::npos : path.find(u'\\', 1);
  return end == std::u16string_view::npos ? path : path.substr(0, end);
}

bool MovesBetweenFolders(std::u16string_view source, std::u16string_view target) {
  std::u16string_view last = LastComponentOf(source);
  if (last.size() > kNewFolderName.size()) last = last.substr(0, kNewFolderName.size());
  if (EqualNoCase(last, kNewFolderShortName) || EqualNoCase(last, kNewFolderName)) return false;
  if (EqualNoCase(FirstComponentOf(target), kRecycler)) return false;
  const std::u16string_view source_folder = DirectoryOf(source);
  const std::u16string_view target_folder = DirectoryOf(target);
  if (source_folder.empty() && target_folder.empty()) return false;
  return !EqualNoCase(source_folder, target_folder);
}

// How a file directly inside `folder` is decided.
bool NotionalFileProtected(PDEVICE_OBJECT device, std::u16string_view folder, bool* known) {
  ULONG length = 0;
  PWSTR file = JoinPath(folder, kNotionalFile, &length);
  if (file == nullptr) {
    *known = false;
    return false;
  }
  const bool protected_file = IsProtectedPath(device, std::u16string_view(file, length));
  FreeName(file);
  return protected_file;
}

bool ChangesProtection(PDEVICE_OBJECT device, FilterExtension* extension, PFILE_OBJECT file,
                       std::u16string_view source, std::u16string_view target) {
  FILE_BASIC_INFORMATION basic{};
  if (!NT_SUCCESS(QueryFileInfo(extension->lower, file, FileBasicInformation, &basic, sizeof basic, nullptr))) {
    return true;
  }
  if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // The stream's mark tells how its bytes are stored now.
    const bool stored_encrypted = MarkOf(file) != nullptr || IsProtectedPath(device, source);
    return stored_encrypted != IsProtectedPath(device, target);
  }
  // A folder keeps its files' protection when no rule lies inside it at either place and its files are decided
  // alike at both.
  if (HasRuleAtOrUnder(device, source) || HasRuleAtOrUnder(device, target)) return true;
  bool known = true;
  const bool before = NotionalFileProtected(device, source, &known);
  const bool after = NotionalFileProtected(device, target, &known);
  return !known || before != after;
}

// The full volume-relative name the rename gives the file, in pool (kTagPath).
PWSTR TargetName(FilterExtension* extension, PIO_STACK_LOCATION stack, const FILE_RENAME_INFORMATION* rename,
                 std::u16string_view source, ULONG* length) {
  if (PFILE_OBJECT target = stack->Parameters.SetFile.FileObject) return FullOpenedName(extension, target, length);
  // Without a target folder the new name stays in the file's own folder.
  const std::u16string_view name(rename->FileName, rename->FileNameLength / sizeof(WCHAR));
  return JoinPath(DirectoryOf(source), name, length);
}

}  // namespace

NTSTATUS ApplyRenameRule(PDEVICE_OBJECT device, FilterExtension* extension, PIRP irp) {
  PAGED_CODE();
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const auto* rename = static_cast<const FILE_RENAME_INFORMATION*>(irp->AssociatedIrp.SystemBuffer);
  const ULONG header = static_cast<ULONG>(FIELD_OFFSET(FILE_RENAME_INFORMATION, FileName));
  if (rename == nullptr || stack->Parameters.SetFile.Length < header ||
      stack->Parameters.SetFile.Length - header < rename->FileNameLength) {
    return PassThrough(device, irp);
  }
  PFILE_OBJECT file = stack->FileObject;
  bool copy = true;  // a name that cannot be had makes the caller copy: the safe answer
  PFILE_NAME_INFORMATION source_name = QueryFullName(extension->lower, file);
  if (source_name != nullptr) {
    const std::u16string_view source = NameOf(source_name);
    ULONG length = 0;
    PWSTR target_name = TargetName(extension, stack, rename, source, &length);
    if (target_name != nullptr) {
      const std::u16string_view target(target_name, length);
      const bool examined_by_folder = stack->Parameters.SetFile.FileObject != nullptr && rename->RootDirectory == nullptr;
      copy = (examined_by_folder && MovesBetweenFolders(source, target)) ||
             ChangesProtection(device, extension, file, source, target);
      FreeName(target_name);
    }
    FreeName(source_name);
  }
  if (copy) return CompleteRequest(irp, STATUS_NOT_SAME_DEVICE, 0);
  return PassThrough(device, irp);
}

}  // namespace tavik::morvel
