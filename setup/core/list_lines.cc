// The one reading rule of the install folder's list files, and the checks of the user's folder lists. A bad line
// is consumed whole, so that a reader that goes on after it keeps every good line that follows.
#include "setupcore_private.h"

namespace tavik::setupcore {

LineStatus ListLineReader::Next(std::string* line) {
  line->clear();
  bool too_long = false;
  for (;;) {
    const int c = std::fgetc(file_);
    if (c == EOF) {
      if (line->empty() && !too_long) return LineStatus::kEnd;
      last_line_unterminated_ = true;
      break;
    }
    if (c == '\n') break;
    if (line->size() <= max_length_) {
      line->push_back(static_cast<char>(c));
    } else {
      too_long = true;
    }
  }
  const size_t nul = line->find('\0');
  if (last_line_unterminated_) {
    // The end of the file, as a torn last write leaves it: its text is what precedes any NUL.
    if (nul != std::string::npos) line->resize(nul);
  } else if (nul == 0) {
    return LineStatus::kEmptyRead;
  } else if (nul != std::string::npos) {
    too_long = true;  // a C string reader sees a line that stops short of its line feed
  }
  if (!last_line_unterminated_ && !line->empty() && line->back() == '\r') line->pop_back();
  if (too_long || line->size() > max_length_) return LineStatus::kTooLong;
  TrimTrailingSpaces(line);
  return LineStatus::kLine;
}

const char* FolderLineError(LineStatus status, const std::string& line) {
  if (status == LineStatus::kEmptyRead) return "Invalid folder name: empty string read.";
  if (status == LineStatus::kTooLong) return "Invalid folder name: too long string.";
  if (line.empty()) return nullptr;
  if (line.size() < 4) return "Invalid folder name:\tlength less than 4!";
  if (line[1] != ':' || line[2] != '\\') return "Invalid folder name: invalid characters found.";
  return nullptr;
}

}  // namespace tavik::setupcore
