// Command lines: the documented splitting rules of the Windows C run time, and the program names CreateProcessA
// tries for a command line without an application name.
#include "command_line.h"

#include <gtest/gtest.h>

namespace xp::kernel32 {
namespace {

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsArgumentsAsTheRunTimeDocuments) {
  const struct {
    const char* line;
    Arguments arguments;
  } rows[] = {
      // The run time's documented examples, after a program name.
      {R"(p "abc" d e)", {"p", "abc", "d", "e"}},
      {R"(p a\\b d"e f"g h)", {"p", R"(a\\b)", "de fg", "h"}},
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
      {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
      // The program name: quoted up to its closing quote, backslashes literal.
      {R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
      {"C:\\dir\\x.exe\t tab", {R"(C:\dir\x.exe)", "tab"}},
      {R"(x.exe "" "")", {"x.exe", "", ""}},
      {"   ", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(SplitCommandLine(row.line), row.arguments) << row.line;
}

TEST(CommandLine, AnUnquotedProgramWithSpacesTriesTheShortestPrefixFirst) {
  const struct {
    const char* line;
    Arguments candidates;
  } rows[] = {
      {R"(C:\Program Files\Quillmarsh\Tavik\XP\tokenreg.exe)",
       {R"(C:\Program)", R"(C:\Program Files\Quillmarsh\Tavik\XP\tokenreg.exe)"}},
      {R"(C:\a b  c)", {R"(C:\a)", R"(C:\a b)", R"(C:\a b  c)"}},
      {R"("C:\Program Files\a b.exe" /x)", {R"(C:\Program Files\a b.exe)"}},
      {"  tokenreg.exe  ", {"tokenreg.exe"}},
      {"", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(ProgramCandidates(row.line), row.candidates) << row.line;
}

}  // namespace
}  // namespace xp::kernel32
