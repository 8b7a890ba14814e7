// Loading path lists from the install folder's list files. The histories are loaded through a backup: the
// accepted lines are copied to the backup as they are read, so that a crash or a damaged list leaves one good copy,
// and a damaged line costs only itself.
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

// Every line the finders can produce: a path of up to 260 characters.
constexpr size_t kHistoryLineLimit = kMaxPathLength;

char LineCheckCode(LineStatus status, const std::string& line) {
  if (status == LineStatus::kEmptyRead) return 4;
  if (status == LineStatus::kTooLong) return 5;
  const char drive = FoldAscii(line[0]);
  if (drive < 'c' || drive > 'z') return 6;
  if (line.size() < 4) return 7;
  if (line[1] != ':' || line[2] != '\\') return 8;
  return 0;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Ends a torn last line, so that the next entry appended to the list starts a line of its own.
void TerminateLastLine(const char* list_file) {
  if (std::FILE* stream = std::fopen(list_file, "a")) {
    std::fputc('\n', stream);
    std::fclose(stream);
  }
}

}  // namespace
}  // namespace tavik::setupcore

using tavik::setupcore::LineStatus;

// Exported by setupcore.
bool _init_list(const char* file, DirFileList** list) {
  if (*list != nullptr) return true;
  std::FILE* stream = std::fopen(file, "r");
  if (stream == nullptr) return false;
  tavik::setupcore::ListLineReader reader(stream, tavik::setupcore::kHistoryLineLimit);
  std::string line;
  bool loaded = true;
  for (LineStatus status; (status = reader.Next(&line)) != LineStatus::kEnd;) {
    if (status != LineStatus::kLine) {
      loaded = false;
      break;
    }
    if (line.empty()) continue;
    const char added = add_to_list(line.c_str(), list);
    if (added == 1 || added == 3) {
      loaded = false;
      break;
    }
  }
  std::fclose(stream);
  return loaded;
}

// Exported by setupcore. A bad line (codes 4 to 8) is left out and reported, but the lines after it are still
// loaded and backed up: the callers that restore the list from the backup then lose only the bad line. A backup
// that could not be written whole gives 3.
char _init_list_clean(const char* listFile, const char* backupFile, DirFileList** list, unsigned int* count) {
  using namespace tavik::setupcore;
  if (!Exists(listFile)) {
    if (!Exists(backupFile)) return 10;
    if (!MoveFileA(backupFile, listFile)) return 11;
  }
  if (*list != nullptr) return 1;
  std::FILE* stream = std::fopen(listFile, "r");
  if (stream == nullptr) return 2;
  std::FILE* backup = std::fopen(backupFile, "w");
  if (backup == nullptr) {
    std::fclose(stream);
    return 3;
  }
  MakeUnbuffered(backup, "fpBak");
  ListLineReader reader(stream, kHistoryLineLimit);
  std::string line;
  char first_bad = 0;
  unsigned accepted = 0;
  bool backed_up = true;
  for (LineStatus status; (status = reader.Next(&line)) != LineStatus::kEnd;) {
    if (status == LineStatus::kLine && line.empty()) continue;
    if (const char bad = LineCheckCode(status, line)) {
      if (first_bad == 0) first_bad = bad;
      continue;
    }
    backed_up = std::fprintf(backup, "%s\n", line.c_str()) > 0 && backed_up;
    const char added = add_to_list(line.c_str(), list);
    if (added == 1 || added == 3) {
      std::fclose(stream);
      std::fclose(backup);
      return 9;
    }
    ++accepted;
  }
  const bool torn = reader.last_line_unterminated();
  std::fclose(stream);
  backed_up = std::fflush(backup) == 0 && backed_up;
  backed_up = std::fclose(backup) == 0 && backed_up && FlushedToDisk(backupFile);
  if (torn) TerminateLastLine(listFile);
  *count = accepted;
  // An incomplete backup must never replace the list: report it as a backup that could not be made.
  if (!backed_up) return 3;
  return first_bad;
}
