// An INF file as SetupAPI reads it: sections of lines, each line an optional key and comma-separated fields.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windef.h"

namespace xp::setupapi {

struct InfLine {
  std::optional<std::string> key;  // the text before an unquoted '='
  std::vector<std::string> fields;
  UINT number = 0;  // the line it starts on, from 1
};

class InfFile {
 public:
  // Parses INF text: '[name]' sections (one name may come several times; its lines join), ';' comments outside
  // quotes, a '\' at the end of a line continuing it on the next, quoted fields ("" for a quote inside), and
  // %name% replaced by the value of name in [Strings] (%% by %). Names of sections and keys compare ignoring case.
  // On a syntax error: nullopt, *error the SetupAPI code (ERROR_EXPECTED_SECTION_NAME, ERROR_BAD_SECTION_NAME_LINE,
  // ERROR_SECTION_NAME_TOO_LONG, ERROR_GENERAL_SYNTAX) and *error_line its line.
  static std::optional<InfFile> Parse(std::string_view text, DWORD* error, UINT* error_line);

  // The lines of a section; nullptr when the file has no such section.
  const std::vector<InfLine>* Section(std::string_view name) const;
  // The lines of a section with this key, in order.
  std::vector<const InfLine*> Lines(std::string_view section, std::string_view key) const;
  // The first field of the first line of the section with this key.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

 private:
  struct NamedSection {
    std::string name;
    std::vector<InfLine> lines;
  };
  std::vector<NamedSection> sections_;
};

// Reads the INF file at a Windows path through the machine's file layer. On failure: nullopt, *error the reason
// (the open's Win32 error, or the syntax error with *error_line).
std::optional<InfFile> LoadInfFile(const char* path, DWORD* error, UINT* error_line);

}  // namespace xp::setupapi
