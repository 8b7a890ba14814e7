// The library's message boxes: every failure it shows goes through here, captioned "Quillmarsh Tavik" unless a
// routine names another caption.
#include "setupcore_private.h"
#include "winuser.h"

namespace tavik::setupcore {

void ShowMessage(const std::string& text, UINT type, const char* caption) {
  MessageBoxA(nullptr, text.c_str(), caption, type);
}

void MakeUnbuffered(std::FILE* file, const char* stream_name) {
  if (std::setvbuf(file, nullptr, _IONBF, 0) != 0) {
    ShowMessage(std::string("Incorrect type or size of buffer for stream ") + stream_name);
  }
}

}  // namespace tavik::setupcore
