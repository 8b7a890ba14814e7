// MRVNEFLI, the folders never encrypted: the Windows folder, each formatted fixed drive's System Volume
// Information and recycle folders, and the user's own list _MRVMYNEFL. Written from scratch at every call.
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

bool WriteDriveFolders(std::FILE* out) {
  bool written = true;
  for (const std::string& root : FormattedFixedRoots()) {
    for (const char* folder : {"System Volume Information", "Recycler", "Recycled"}) {
      written = std::fprintf(out, "%s%s\n", root.c_str(), folder) > 0 && written;
    }
  }
  return written;
}

// Copies the user's folders; false after showing why a line was refused.
bool CopyUserFolders(std::FILE* out, bool* written) {
  std::FILE* in = std::fopen(InstallFolderFile("_MRVMYNEFL").c_str(), "r");
  if (in == nullptr) return true;
  ListLineReader reader(in, kMaxPathLength);
  std::string line;
  for (LineStatus status; (status = reader.Next(&line)) != LineStatus::kEnd;) {
    if (const char* error = FolderLineError(status, line)) {
      std::fclose(in);
      ShowMessage(error);
      return false;
    }
    if (!line.empty()) *written = std::fprintf(out, "%s\n", line.c_str()) > 0 && *written;
  }
  std::fclose(in);
  return true;
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore. True when MRVNEFLI was written whole.
bool generateNEFL(void) {
  using namespace tavik::setupcore;
  std::FILE* out = std::fopen(InstallFilePath(InstallFile::kNefl), "w");
  if (out == nullptr) return false;
  MakeUnbuffered(out, "fp");
  char windows[MAX_PATH + 1] = {};
  bool written = GetWindowsDirectoryA(windows, sizeof windows) != 0;
  written = std::fprintf(out, "%s\n", windows) > 0 && written;
  written = WriteDriveFolders(out) && written;
  const bool copied = CopyUserFolders(out, &written);
  written = std::fflush(out) == 0 && written;
  written = std::fclose(out) == 0 && written;
  return copied && written && FlushedToDisk(InstallFilePath(InstallFile::kNefl));
}
