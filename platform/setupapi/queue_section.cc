// Opening file queues and queueing an INF install section's copies. A section's CopyFiles lines name file-list
// sections (or "@file" for one file); each file goes to its list's [DestinationDirs] folder (DefaultDestDir when
// the list has none): a DIRID (10 the Windows folder, 11 system32, 12 its drivers folder) and an optional subfolder.
// Its source is the source root and the file's [SourceDisksFiles] entry (disk, subfolder), whose disk is listed in
// [SourceDisksNames] (description, tag file, unused, path); SP_COPY_SOURCEPATH_ABSOLUTE uses the root alone.
#include <map>

#include "file_queue.h"
#include "open_inf.h"
#include "setupapi_private.h"
#include "windows.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(setupapi);

namespace xp::setupapi {
namespace {

constexpr UINT kSupportedStyles = SP_COPY_NEWER | SP_COPY_SOURCEPATH_ABSOLUTE;

std::string Join(const std::string& folder, const std::string& name) {
  if (name.empty()) return folder;
  if (folder.empty() || folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::string Field(const InfLine& line, size_t index) {
  return index < line.fields.size() ? line.fields[index] : std::string();
}

// The destination folder of a file list; nullopt with *error set.
std::optional<std::string> DestinationOf(const InfFile& inf, const std::string& list, DWORD* error) {
  std::vector<const InfLine*> lines = inf.Lines("DestinationDirs", list);
  if (lines.empty()) lines = inf.Lines("DestinationDirs", "DefaultDestDir");
  if (lines.empty()) {
    *error = ERROR_LINE_NOT_FOUND;
    return std::nullopt;
  }
  static const std::map<std::string, std::string> kDirIds = {
      {"10", "C:\\WINDOWS"}, {"11", "C:\\WINDOWS\\system32"}, {"12", "C:\\WINDOWS\\system32\\drivers"}};
  const auto folder = kDirIds.find(Field(*lines.front(), 0));
  if (folder == kDirIds.end()) {
    XP_FIXME("SetupInstallFilesFromInfSectionA", "only the DIRIDs 10, 11 and 12 are implemented");
    *error = ERROR_INVALID_DATA;
    return std::nullopt;
  }
  return Join(folder->second, Field(*lines.front(), 1));
}

// The source of one file; nullopt with *error set when the INF does not say where it comes from.
std::optional<std::string> SourceOf(const InfFile& layout, const std::string& file, const std::string& root, UINT style,
                                    DWORD* error) {
  const std::vector<const InfLine*> entry = layout.Lines("SourceDisksFiles", file);
  const std::vector<const InfLine*> disk =
      entry.empty() ? entry : layout.Lines("SourceDisksNames", Field(*entry.front(), 0));
  if (entry.empty() || disk.empty()) {
    *error = ERROR_LINE_NOT_FOUND;
    return std::nullopt;
  }
  if ((style & SP_COPY_SOURCEPATH_ABSOLUTE) != 0) return Join(root, file);
  return Join(Join(Join(root, Field(*disk.front(), 3)), Field(*entry.front(), 1)), file);
}

// The copies of one file list (or one "@file"), appended to `copies`.
DWORD QueueList(const InfFile& inf, const InfFile& layout, const std::string& list, const std::string& root, UINT style,
                std::vector<QueuedCopy>* copies) {
  DWORD error = ERROR_SUCCESS;
  std::vector<std::pair<std::string, std::string>> files;  // target name, source name
  if (!list.empty() && list.front() == '@') {
    files.emplace_back(list.substr(1), list.substr(1));
  } else {
    const std::vector<InfLine>* lines = inf.Section(list);
    if (lines == nullptr) return ERROR_SECTION_NOT_FOUND;
    for (const InfLine& line : *lines) {
      const std::string target = line.key.value_or(Field(line, 0));
      const std::string source = line.key ? Field(line, 0) : Field(line, 1);
      if (!target.empty()) files.emplace_back(target, source.empty() ? target : source);
    }
  }
  const std::optional<std::string> folder = DestinationOf(inf, list.front() == '@' ? "DefaultDestDir" : list, &error);
  if (!folder) return error;
  for (const auto& [target, source] : files) {
    const std::optional<std::string> from = SourceOf(layout, source, root, style, &error);
    if (!from) return error;
    copies->push_back({*from, Join(*folder, target), style});
  }
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace xp::setupapi

using xp::setupapi::Fail;

// Exported by setupapi.
extern "C" HSPFILEQ SetupOpenFileQueue(void) {
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupOpenFileQueue")) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  return xp::setupapi::FileQueues().Add(std::make_shared<xp::setupapi::FileQueue>());
}

// Exported by setupapi.
extern "C" BOOL SetupCloseFileQueue(HSPFILEQ queue) {
  if (!xp::setupapi::FileQueues().Remove(queue)) return Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

// Exported by setupapi. Only the CopyFiles lines of the section are acted on. Nothing is queued unless every copy
// of the section could be.
extern "C" BOOL SetupInstallFilesFromInfSectionA(HINF inf_handle, HINF layout_handle, HSPFILEQ queue_handle,
                                                 LPCSTR section_name, LPCSTR source_root_path, UINT copy_flags) {
  const auto inf = xp::setupapi::OpenInfs().Find(inf_handle);
  const auto layout = layout_handle != nullptr ? xp::setupapi::OpenInfs().Find(layout_handle) : inf;
  const auto queue = xp::setupapi::FileQueues().Find(queue_handle);
  if (!inf || !layout || !queue) return Fail(ERROR_INVALID_HANDLE);
  if (section_name == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if ((copy_flags & ~xp::setupapi::kSupportedStyles) != 0) {
    XP_FIXME("SetupInstallFilesFromInfSectionA", "only SP_COPY_NEWER and SP_COPY_SOURCEPATH_ABSOLUTE");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupInstallFilesFromInfSectionA")) {
    return Fail(*error);
  }
  if (inf->file.Section(section_name) == nullptr) return Fail(ERROR_SECTION_NOT_FOUND);
  // Without a source root, the files lie beside the INF.
  const std::string root =
      source_root_path != nullptr
          ? std::string(source_root_path)
          : inf->path.substr(0, inf->path.find_last_of('\\') == std::string::npos ? 0 : inf->path.find_last_of('\\'));
  std::vector<xp::setupapi::QueuedCopy> copies;
  for (const xp::setupapi::InfLine* line : inf->file.Lines(section_name, "CopyFiles")) {
    for (const std::string& list : line->fields) {
      if (list.empty()) continue;
      if (const DWORD error = xp::setupapi::QueueList(inf->file, layout->file, list, root, copy_flags, &copies)) {
        return Fail(error);
      }
    }
  }
  queue->copies.insert(queue->copies.end(), copies.begin(), copies.end());
  return xp::setupapi::Succeed();
}
