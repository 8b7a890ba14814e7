// Recovering the files of the specials lists: each line a full path, read by the list rules of the folder lists; a
// path that no longer exists (nor its content under the decryption's temporary name) is skipped, every other one
// recovered into its copy by the caller's routine.
#include <cstdio>
#include <vector>

#include "afxwin.h"
#include "conversion.h"
#include "setupcore.h"

namespace tavik::conversion {
namespace {

// One list: false when it was read to its end; true when it was refused (it did not open, or a line is bad), its
// text shown.
bool RecoverFileList(CWnd* owner, const std::string& list, const char* refusal_caption,
                     const std::function<int(const std::string&)>& recover, unsigned int* not_recovered) {
  if (owner != nullptr) owner->BeginWaitCursor();
  const char* refusal = nullptr;
  std::FILE* file = std::fopen(list.c_str(), "r");
  if (file == nullptr) {
    refusal = "Open file failure.";
  } else {
    // The walks list paths of up to kMaxPath characters; each must come back.
    FolderLineReader reader(file, kMaxPath);
    std::string path;
    while (reader.Next(&path)) {
      const std::string left = path + kDecryption.suffix;
      if (!bFileExists(path.c_str()) && !bFileExists(left.c_str())) continue;
      if (recover(path) != kConverted) ++*not_recovered;
      PumpMessages();
    }
    refusal = reader.error();
    std::fclose(file);
  }
  if (owner != nullptr) owner->EndWaitCursor();
  if (refusal == nullptr) return false;
  Box(owner, refusal, refusal_caption, MB_OK | MB_ICONEXCLAMATION);
  return true;
}

}  // namespace

void RecoverFileLists(CWnd* owner, const std::vector<std::string>& lists, const char* refusal_caption,
                      const std::function<int(const std::string&)>& recover, unsigned int* not_recovered,
                      const std::function<bool(const std::string&)>& belongs) {
  std::vector<std::string> present;
  for (const std::string& name : lists) {
    const std::string list = InstallFile(name);
    if (bFileExists(list.c_str()) && (!belongs || belongs(list))) present.push_back(list);
  }
  if (present.empty()) {
    Box(owner, "Open file failure.", refusal_caption, MB_OK | MB_ICONEXCLAMATION);
    ++*not_recovered;
    return;
  }
  for (const std::string& list : present) {
    if (RecoverFileList(owner, list, refusal_caption, recover, not_recovered)) ++*not_recovered;
  }
}

}  // namespace tavik::conversion
