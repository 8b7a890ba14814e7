// Recovering the files of a specials list: each line a full path, read by the list rules of the folder lists; a
// path that no longer exists (nor its content under the decryption's temporary name) is skipped, every other one
// recovered into its copy by the caller's routine.
#include <cstdio>

#include "afxwin.h"
#include "conversion.h"
#include "setupcore.h"

namespace tavik::conversion {
namespace {

// The longest path a specials line holds, its line end not counted.
constexpr size_t kLongestListedPath = kMaxPath - 1;

}  // namespace

bool RecoverFileList(CWnd* owner, const std::string& list, const char* refusal_caption,
                     const std::function<int(const std::string&)>& recover, unsigned int* not_recovered) {
  if (owner != nullptr) owner->BeginWaitCursor();
  const char* refusal = nullptr;
  std::FILE* file = std::fopen(list.c_str(), "r");
  if (file == nullptr) {
    refusal = "Open file failure.";
  } else {
    FolderLineReader reader(file, kLongestListedPath);
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

}  // namespace tavik::conversion
