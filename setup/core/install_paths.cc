// The install folder and the eight paths of its files, built once per process before any routine that uses them,
// and the clean-up that removes the install state and key records again.
#include <array>
#include <cstring>

#include "key_records.h"
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr size_t kPathBufferSize = 280;
constexpr const char* kFileNames[] = {"MRVNEFLI", "MRVENTFE", "MRVENCHS",    "MRVSTATE",
                                      "MRVPUZSN", "MRVDECHS", "MRVBADFILES", "MRVLOG"};
static_assert(std::size(kFileNames) == static_cast<size_t>(InstallFile::kCount));

std::array<std::array<char, kPathBufferSize>, std::size(kFileNames)>& PathBuffers() {
  static std::array<std::array<char, kPathBufferSize>, std::size(kFileNames)> buffers{};
  return buffers;
}

}  // namespace

const char* InstallFilePath(InstallFile file) { return PathBuffers()[static_cast<size_t>(file)].data(); }

std::string InstallFolderFile(std::string_view name) { return std::string(kInstallFolder) + "\\" + std::string(name); }

}  // namespace tavik::setupcore

using tavik::setupcore::InstallFile;
using tavik::setupcore::InstallFilePath;

// Exported by setupcore.
bool _construct_morvel_sys_files(bool) {
  auto& buffers = tavik::setupcore::PathBuffers();
  const std::string_view folder = tavik::setupcore::kInstallFolder;
  if (folder.size() > tavik::setupcore::kMaxPathLength) return false;
  for (size_t i = 0; i < buffers.size(); ++i) {
    const std::string path = tavik::setupcore::InstallFolderFile(tavik::setupcore::kFileNames[i]);
    buffers[i].fill('\0');
    if (path.size() >= buffers[i].size()) return false;
    std::memcpy(buffers[i].data(), path.data(), path.size());
  }
  return true;
}

// Exported by setupcore. Failures are ignored: whatever is left is left. The key records go with every name they
// may have: a rotation's unfinished files and the records the logon component put aside.
void cleanup_hd_info(void) {
  if (*InstallFilePath(InstallFile::kState) == '\0') return;
  for (InstallFile file : {InstallFile::kNefl, InstallFile::kEnchs, InstallFile::kDechs}) {
    DeleteFileA(InstallFilePath(file));
  }
  for (const std::string& file : tavik::keys::KeyRecordFiles(tavik::setupcore::kInstallFolder)) {
    DeleteFileA(file.c_str());
  }
  tavik::setupcore::DeleteInstallState();
}
