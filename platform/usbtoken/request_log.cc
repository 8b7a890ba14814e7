// Formatting, appending and reading back the request log lines; each appended line is also traced on the token
// channel (XPDEBUG=+token).
#include "request_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "xp/debug.h"

XP_DEBUG_CHANNEL(token);

namespace xp::usbtoken {
namespace {

std::filesystem::path LogPath(const std::filesystem::path& token_dir) { return token_dir / "requests.log"; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexNumber(const std::string& text, unsigned long* value) {
  if (text.empty() || text.size() > 8) return false;
  *value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    *value = *value * 16 + static_cast<unsigned long>(digit);
  }
  return true;
}

const char* CodeName(DWORD code) {
  switch (code) {
    case kReadRegister:
      return "read register";
    case kWriteRegister:
      return "write register";
    case kReadCounter:
      return "read counter";
    case kWriteCounter:
      return "write counter";
  }
  return "unknown code";
}

}  // namespace

std::string FormatRequest(const Request& request) {
  char head[48];
  std::snprintf(head, sizeof head, "%06x %04x %u ", static_cast<unsigned>(request.code),
                static_cast<unsigned>(request.reg), static_cast<unsigned>(request.count));
  std::string line = head;
  if (request.data.empty()) line += '-';
  for (uint8_t b : request.data) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", b);
    line += hex;
  }
  line += ' ' + std::to_string(request.result);
  return line;
}

bool ParseRequest(const std::string& line, Request* request) {
  std::istringstream in(line);
  std::string code, reg, data;
  unsigned count = 0;
  unsigned long result = 0;
  unsigned long code_value = 0, reg_value = 0;
  if (!(in >> code >> reg >> count >> data >> result)) return false;
  if (!ParseHexNumber(code, &code_value) || !ParseHexNumber(reg, &reg_value)) return false;
  request->code = static_cast<DWORD>(code_value);
  request->reg = static_cast<uint16_t>(reg_value);
  request->count = static_cast<uint16_t>(count);
  request->result = static_cast<DWORD>(result);
  request->data.clear();
  if (data == "-") return true;
  if (data.size() % 2 != 0) return false;
  for (size_t i = 0; i < data.size(); i += 2) {
    const int high = HexDigit(data[i]);
    const int low = HexDigit(data[i + 1]);
    if (high < 0 || low < 0) return false;
    request->data.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

void AppendRequest(const std::filesystem::path& token_dir, const Request& request) {
  const std::string line = FormatRequest(request) + '\n';
  XP_TRACE("DeviceIoControl", "token %s %s: %s", token_dir.filename().c_str(), CodeName(request.code),
           line.c_str());
  const int fd = open(LogPath(token_dir).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write of a short line: appends from other processes never interleave inside it.
  [[maybe_unused]] const ssize_t written = write(fd, line.data(), line.size());
  close(fd);
}

std::vector<Request> ReadRequests(const std::filesystem::path& token_dir) {
  std::vector<Request> requests;
  std::ifstream in(LogPath(token_dir));
  std::string line;
  Request request;
  while (std::getline(in, line)) {
    if (ParseRequest(line, &request)) requests.push_back(request);
  }
  return requests;
}

bool ClearRequests(const std::filesystem::path& token_dir) {
  std::error_code ec;
  std::filesystem::resize_file(LogPath(token_dir), 0, ec);
  return !ec || ec == std::errc::no_such_file_or_directory;
}

}  // namespace xp::usbtoken
