// The response headers of one exchange, read back by HttpQueryInfoA.
#include <strings.h>

#include <charconv>

#include "wininet_private.h"

namespace xp::wininet {

std::string Response::Version() const {
  const size_t blank = status_line.find(' ');
  return status_line.substr(0, blank);
}

unsigned Response::Status() const {
  const size_t blank = status_line.find(' ');
  if (blank == std::string::npos) return 0;
  unsigned status = 0;
  const char* first = status_line.data() + blank + 1;
  std::from_chars(first, status_line.data() + status_line.size(), status);
  return status;
}

std::string Response::StatusText() const {
  const size_t first = status_line.find(' ');
  const size_t second = first == std::string::npos ? std::string::npos : status_line.find(' ', first + 1);
  return second == std::string::npos ? std::string() : status_line.substr(second + 1);
}

const std::string* Response::Field(const std::string& name) const {
  for (const auto& [field, value] : fields) {
    if (::strcasecmp(field.c_str(), name.c_str()) == 0) return &value;
  }
  return nullptr;
}

std::string Response::Raw() const {
  std::string raw = status_line + "\r\n";
  for (const auto& [field, value] : fields) raw += field + ": " + value + "\r\n";
  return raw + "\r\n";
}

}  // namespace xp::wininet
