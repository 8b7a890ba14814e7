// Command-line rules of command_line.h.
#include "command_line.h"

namespace xp::kernel32 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void SkipBlanks(std::string_view line, size_t* at) {
  while (*at < line.size() && IsBlank(line[*at])) ++*at;
}

// The program name at `at`: quoted up to the closing quote, else up to the first blank.
std::string ProgramArgument(std::string_view line, size_t* at) {
  std::string argument;
  if (*at < line.size() && line[*at] == '"') {
    const size_t close = line.find('"', *at + 1);
    const size_t end = close == std::string_view::npos ? line.size() : close;
    argument = line.substr(*at + 1, end - *at - 1);
    *at = close == std::string_view::npos ? line.size() : close + 1;
  }
  while (*at < line.size() && !IsBlank(line[*at])) argument += line[(*at)++];
  return argument;
}

std::string OtherArgument(std::string_view line, size_t* at) {
  std::string argument;
  bool quoted = false;
  while (*at < line.size() && (quoted || !IsBlank(line[*at]))) {
    size_t backslashes = 0;
    while (*at < line.size() && line[*at] == '\\') {
      ++backslashes;
      ++*at;
    }
    if (*at < line.size() && line[*at] == '"') {
      argument.append(backslashes / 2, '\\');
      if (backslashes % 2 == 1) {
        argument += '"';
      } else if (quoted && *at + 1 < line.size() && line[*at + 1] == '"') {
        argument += '"';
        ++*at;
      } else {
        quoted = !quoted;
      }
      ++*at;
      continue;
    }
    argument.append(backslashes, '\\');
    if (backslashes == 0 && *at < line.size()) argument += line[(*at)++];
  }
  return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  size_t at = 0;
  SkipBlanks(line, &at);
  if (at == line.size()) return arguments;
  arguments.push_back(ProgramArgument(line, &at));
  for (SkipBlanks(line, &at); at < line.size(); SkipBlanks(line, &at)) arguments.push_back(OtherArgument(line, &at));
  return arguments;
}

std::vector<std::string> ProgramCandidates(std::string_view line) {
  size_t start = 0;
  SkipBlanks(line, &start);
  line.remove_prefix(start);
  if (line.empty()) return {};
  if (line.front() == '"') {
    const size_t close = line.find('"', 1);
    return {std::string(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1))};
  }
  std::vector<std::string> candidates;
  for (size_t at = 0; at < line.size(); ++at) {
    if (IsBlank(line[at]) && at > 0 && !IsBlank(line[at - 1])) candidates.emplace_back(line.substr(0, at));
  }
  size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  if (candidates.empty() || candidates.back().size() != end) candidates.emplace_back(line.substr(0, end));
  return candidates;
}

}  // namespace xp::kernel32
