// The service's logs in DIR/web: requests.log (every request), registrations.log and renewals.log (what the two
// checking pages made of what they got). One line per entry, fields separated by tabs, each field escaped ("\\",
// "\t", "\n", "\r" and "\xNN" for other control bytes) so that a line stays one line whatever a client sent.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "websvc_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(websvc);

namespace xp::websvc {
namespace {

namespace fs = std::filesystem;

std::string Escape(const std::string& field) {
  std::string out;
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02X", byte);
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char next = field[++i];
    if (next == 't') {
      out += '\t';
    } else if (next == 'n') {
      out += '\n';
    } else if (next == 'r') {
      out += '\r';
    } else if (next == 'x' && i + 2 < field.size()) {
      out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += next;
    }
  }
  return out;
}

void Append(const fs::path& machine, const char* log, const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + Escape(field);
  line += '\n';
  std::error_code error;
  fs::create_directories(machine / "web", error);
  // One write() on an O_APPEND descriptor: entries of concurrent connections never interleave.
  const int fd = ::open((machine / "web" / log).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
  if (written != static_cast<ssize_t>(line.size())) XP_ERR("Append", "cannot append to %s", log);
}

std::vector<std::vector<std::string>> Lines(const fs::path& machine, const char* log, size_t fields) {
  std::vector<std::vector<std::string>> lines;
  std::ifstream file(machine / "web" / log, std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      parts.push_back(Unescape(line.substr(start, tab - start)));
    }
    parts.push_back(Unescape(line.substr(start)));
    if (parts.size() == fields) lines.push_back(std::move(parts));
  }
  return lines;
}

}  // namespace

void AppendRequest(const fs::path& machine, const RequestRecord& r) {
  Append(machine, "requests.log",
         {r.scheme, std::to_string(r.port), r.method, r.target, r.version, r.host, r.agent});
}

void AppendRegistration(const fs::path& machine, const Registration& r) {
  Append(machine, "registrations.log", {r.verdict, r.esn, r.session, r.p0, r.p1, r.password});
}

void AppendRenewal(const fs::path& machine, const Renewal& r) {
  Append(machine, "renewals.log", {r.verdict, r.esn, r.password});
}

std::vector<RequestRecord> ReadRequests(const fs::path& machine) {
  std::vector<RequestRecord> records;
  for (const std::vector<std::string>& f : Lines(machine, "requests.log", 7)) {
    records.push_back({f[0], static_cast<uint16_t>(std::stoul(f[1])), f[2], f[3], f[4], f[5], f[6]});
  }
  return records;
}

std::vector<Registration> ReadRegistrations(const fs::path& machine) {
  std::vector<Registration> records;
  for (const std::vector<std::string>& f : Lines(machine, "registrations.log", 6)) {
    records.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
  }
  return records;
}

std::vector<Renewal> ReadRenewals(const fs::path& machine) {
  std::vector<Renewal> records;
  for (const std::vector<std::string>& f : Lines(machine, "renewals.log", 3)) records.push_back({f[0], f[1], f[2]});
  return records;
}

}  // namespace xp::websvc
