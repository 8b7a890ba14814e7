// The INF parser. A logical line is read character by character: quotes, the comment, the key's '=' and the
// fields' ',' are recognised outside quotes only; unquoted field text is trimmed, quoted text kept as written.
#include "inf_file.h"

#include <strings.h>

#include <algorithm>
#include <map>

#include "setupapi.h"
#include "windows.h"

namespace xp::setupapi {
namespace {

constexpr size_t kMaxSectionName = 255;

bool Same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool LessIgnoringCase(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) < 0; }
using StringTable = std::map<std::string, std::string, bool (*)(const std::string&, const std::string&)>;

// A field as written: its parts, each quoted or not, so that trimming touches only unquoted text.
struct RawField {
  std::string text;
  size_t kept_from = 0;  // text[0, kept_from) is unquoted leading text; trailing unquoted text follows kept_to
  size_t kept_to = 0;
  bool quoted = false;
};

struct RawLine {
  std::optional<RawField> key;
  std::vector<RawField> fields;
  UINT number = 0;
};

std::string Finish(const RawField& field) {
  if (!field.quoted) return std::string(Trim(field.text));
  const std::string_view text = field.text;
  const std::string_view lead = Trim(text.substr(0, field.kept_from));
  const std::string_view tail = Trim(text.substr(field.kept_to));
  return std::string(lead) + std::string(text.substr(field.kept_from, field.kept_to - field.kept_from)) +
         std::string(tail);
}

// Splits one logical line (without its comment) into key and fields; false for an unclosed quote.
bool SplitLine(std::string_view text, RawLine* line) {
  RawField field;
  bool in_quotes = false;
  bool first_quote_seen = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_quotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.text += '"';
        ++i;
      } else if (c == '"') {
        in_quotes = false;
        field.kept_to = field.text.size();
      } else {
        field.text += c;
      }
      continue;
    }
    if (c == '"') {
      in_quotes = true;
      if (!first_quote_seen) field.kept_from = field.text.size();
      first_quote_seen = true;
      field.quoted = true;
    } else if (c == '=' && !line->key && line->fields.empty()) {
      line->key = field;
      field = RawField{};
      first_quote_seen = false;
    } else if (c == ',') {
      line->fields.push_back(field);
      field = RawField{};
      first_quote_seen = false;
    } else {
      field.text += c;
    }
  }
  if (in_quotes) return false;
  line->fields.push_back(field);
  return true;
}

// The logical line starting at `at` (continued lines joined), its comment cut; advances `at` and `number`.
std::string NextLogicalLine(std::string_view text, size_t* at, UINT* number) {
  std::string logical;
  while (*at < text.size()) {
    size_t end = text.find('\n', *at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view physical = text.substr(*at, end - *at);
    *at = end + 1;
    ++*number;
    if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
    // The comment starts at the first ';' outside quotes.
    bool in_quotes = false;
    size_t cut = physical.size();
    for (size_t i = 0; i < physical.size(); ++i) {
      if (physical[i] == '"') in_quotes = !in_quotes;
      if (physical[i] == ';' && !in_quotes) {
        cut = i;
        break;
      }
    }
    const std::string_view kept = Trim(physical.substr(0, cut));
    if (!kept.empty() && kept.back() == '\\' && !in_quotes) {
      logical += std::string(kept.substr(0, kept.size() - 1));
      continue;
    }
    logical += std::string(kept);
    break;
  }
  return logical;
}

// %name% from [Strings]; %% is one %; an unknown name stays as written.
std::string Substitute(const std::string& text, const StringTable& strings) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
    if (close == std::string::npos) {
      out += text[i];
      continue;
    }
    const std::string name = text.substr(i + 1, close - i - 1);
    const auto found = name.empty() ? strings.end() : strings.find(name);
    if (name.empty()) {
      out += '%';
    } else if (found != strings.end()) {
      out += found->second;
    } else {
      out += text.substr(i, close - i + 1);
    }
    i = close;
  }
  return out;
}

}  // namespace

std::optional<InfFile> InfFile::Parse(std::string_view text, DWORD* error, UINT* error_line) {
  struct RawSection {
    std::string name;
    std::vector<RawLine> lines;
  };
  std::vector<RawSection> raw;
  size_t at = 0;
  UINT number = 0;
  while (at < text.size()) {
    const UINT starts = number + 1;
    const std::string line = NextLogicalLine(text, &at, &number);
    if (line.empty()) continue;
    auto fail = [&](DWORD code) {
      *error = code;
      *error_line = starts;
      return std::nullopt;
    };
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close == std::string::npos || !Trim(std::string_view(line).substr(close + 1)).empty()) {
        return fail(ERROR_BAD_SECTION_NAME_LINE);
      }
      const std::string name(Trim(std::string_view(line).substr(1, close - 1)));
      if (name.size() > kMaxSectionName) return fail(ERROR_SECTION_NAME_TOO_LONG);
      raw.push_back({name, {}});
      continue;
    }
    if (raw.empty()) return fail(ERROR_EXPECTED_SECTION_NAME);
    RawLine parsed;
    parsed.number = starts;
    if (!SplitLine(line, &parsed)) return fail(ERROR_GENERAL_SYNTAX);
    raw.back().lines.push_back(std::move(parsed));
  }

  StringTable strings(LessIgnoringCase);
  for (const RawSection& section : raw) {
    if (!Same(section.name, "Strings")) continue;
    for (const RawLine& line : section.lines) {
      if (line.key && !line.fields.empty()) strings.emplace(Finish(*line.key), Finish(line.fields[0]));
    }
  }
  InfFile inf;
  for (const RawSection& section : raw) {
    auto named = std::find_if(inf.sections_.begin(), inf.sections_.end(),
                              [&](const NamedSection& s) { return Same(s.name, section.name); });
    if (named == inf.sections_.end()) named = inf.sections_.insert(inf.sections_.end(), {section.name, {}});
    const bool is_strings = Same(section.name, "Strings");
    for (const RawLine& line : section.lines) {
      InfLine done;
      done.number = line.number;
      if (line.key) done.key = is_strings ? Finish(*line.key) : Substitute(Finish(*line.key), strings);
      for (const RawField& field : line.fields) {
        done.fields.push_back(is_strings ? Finish(field) : Substitute(Finish(field), strings));
      }
      named->lines.push_back(std::move(done));
    }
  }
  return inf;
}

const std::vector<InfLine>* InfFile::Section(std::string_view name) const {
  for (const NamedSection& section : sections_) {
    if (Same(section.name, name)) return &section.lines;
  }
  return nullptr;
}

std::vector<const InfLine*> InfFile::Lines(std::string_view section, std::string_view key) const {
  std::vector<const InfLine*> lines;
  if (const std::vector<InfLine>* found = Section(section)) {
    for (const InfLine& line : *found) {
      if (line.key && Same(*line.key, key)) lines.push_back(&line);
    }
  }
  return lines;
}

std::optional<std::string> InfFile::Value(std::string_view section, std::string_view key) const {
  const std::vector<const InfLine*> lines = Lines(section, key);
  if (lines.empty() || lines.front()->fields.empty()) return std::nullopt;
  return lines.front()->fields.front();
}

std::optional<InfFile> LoadInfFile(const char* path, DWORD* error, UINT* error_line) {
  if (path == nullptr) {
    *error = ERROR_INVALID_PARAMETER;
    return std::nullopt;
  }
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return std::nullopt;
  }
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  BOOL read = FALSE;
  while ((read = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got != 0) text.append(chunk, got);
  const DWORD read_error = read ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  if (!read) {
    *error = read_error;
    return std::nullopt;
  }
  return InfFile::Parse(text, error, error_line);
}

}  // namespace xp::setupapi
