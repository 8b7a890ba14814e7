// Reading and checking folder-list lines.
#include "folder_lines.h"

namespace tavik::conversion {
namespace {

enum class RawLine { kLine, kEnd, kEmptyRead, kTooLong };

// One line up to its line feed; a line of more than `longest` characters is consumed to its end and refused.
RawLine ReadRaw(std::FILE* file, size_t longest, std::string* line) {
  line->clear();
  int c = std::fgetc(file);
  if (c == EOF) return RawLine::kEnd;
  if (c == '\0') {
    while (c != EOF && c != '\n') c = std::fgetc(file);
    return RawLine::kEmptyRead;
  }
  bool too_long = false;
  for (; c != EOF && c != '\n'; c = std::fgetc(file)) {
    if (line->size() > longest) {
      too_long = true;
    } else {
      line->push_back(static_cast<char>(c));
    }
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return too_long || line->size() > longest ? RawLine::kTooLong : RawLine::kLine;
}

}  // namespace

bool FolderLineReader::Next(std::string* folder) {
  error_ = nullptr;
  for (;;) {
    switch (ReadRaw(file_, longest_, folder)) {
      case RawLine::kEnd:
        return false;
      case RawLine::kEmptyRead:
        error_ = "Invalid folder name: empty string read.";
        return false;
      case RawLine::kTooLong:
        error_ = "Invalid folder name: too long string.";
        return false;
      case RawLine::kLine:
        break;
    }
    while (!folder->empty() && folder->back() == ' ') folder->pop_back();
    if (folder->empty()) continue;
    if (folder->size() < 4) {
      error_ = "Invalid folder name:\tlength less than 4!";
      return false;
    }
    if ((*folder)[1] != ':' || (*folder)[2] != '\\') {
      error_ = "Invalid folder name: invalid characters found.";
      return false;
    }
    return true;
  }
}

}  // namespace tavik::conversion
