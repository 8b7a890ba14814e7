// The rounds' reactions to each file result: the D-coded MRVLOG lines byte for byte in each round's letter case,
// which failures go to the specials list and count, which stop the run and with what text, and the 101st counted
// error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion.h"
#include "decryptor_run.h"

namespace tavik::diskunseal {
namespace {

constexpr char kPath[] = "C:\\data\\report.doc";

struct Outcome {
  std::vector<std::string> lines;
  std::vector<std::string> listed;
  std::optional<std::string> stop;
  unsigned int count = 0;
};

Outcome Handle(bool first_round, int result, unsigned int errors_before = 0) {
  Outcome outcome;
  conversion::ResultLog log([&](const std::string& line) { outcome.lines.push_back(line); },
                            [&](const std::string& path) { outcome.listed.push_back(path); });
  for (unsigned int i = 0; i < errors_before; ++i) log.Count(DecryptionTable(first_round));
  try {
    log.Handle(DecryptionTable(first_round), result, kPath);
  } catch (const conversion::RunStop& stop) {
    outcome.stop = stop.text;
  }
  outcome.count = log.error_count();
  return outcome;
}

TEST(DecryptionResults, EachCodeWritesItsRoundsLineAndListsCountsOrStops) {
  struct Case {
    int result;
    const char* first_line;   // nullptr: no line
    const char* second_line;  // nullptr: as in the first round
    bool listed_and_counted;
    const char* stop;  // nullptr: the run goes on; "" the line itself
  };
  const Case cases[] = {
      {4, "Error[D4]: cannot rename \"C:\\data\\report.doc\" to \"~.H0K\"", nullptr, true, nullptr},
      {5, "Error[D5]: cannot open \"C:\\data\\report.doc.H0K\" with read permission", nullptr, true, nullptr},
      {6, "Error[D6]: cannot open \"C:\\data\\report.doc\" with write permission", nullptr, true, nullptr},
      {7, "Error[D7]: wrong CFK for \"C:\\data\\report.doc\"", nullptr, false, ""},
      {8, "Error[D8]: _write() error on \"C:\\data\\report.doc\"", nullptr, true, nullptr},
      {9, "Error[D9]: GetFileAttributes() error on \"C:\\data\\report.doc.H0K\"", nullptr, true, nullptr},
      {10, "Error[D10]: SetFileAttributes() error on \"C:\\data\\report.doc\"", nullptr, true, nullptr},
      {12, "Error[D12]: Read error on \"C:\\data\\report.doc.H0K\"",
       "Error[D12]: read error on \"C:\\data\\report.doc.H0K\"", true, nullptr},
      // The file is put back encrypted: listed and counted, so that the report keeps its key.
      {14, "Error[D14]: set compressed attribute error on \"C:\\data\\report.doc\"",
       "Error[D14]: Set compressed attribute error on \"C:\\data\\report.doc\"", true, nullptr},
      {15, "Error[D15]: set sparse attribute error on \"C:\\data\\report.doc\"",
       "Error[D15]: Set sparse attribute error on \"C:\\data\\report.doc\"", true, nullptr},
      {13, nullptr, nullptr, false, "decrypt verify error."},
      {1, nullptr, nullptr, false, "Decryption block size error/memory allocation error"},
      {2, nullptr, nullptr, false, "Decryption block size error/memory allocation error"},
      {3, nullptr, nullptr, false, "Memory allocation error."},
      {42, "Error[D16]: unknown error, returns 42 on \"C:\\data\\report.doc\"", nullptr, false, ""},
  };
  for (const bool first_round : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(first_round ? "round 1, " : "round 2, ") + "result " + std::to_string(c.result));
      const Outcome outcome = Handle(first_round, c.result);
      const char* line = first_round || c.second_line == nullptr ? c.first_line : c.second_line;
      EXPECT_EQ(outcome.lines, line == nullptr ? std::vector<std::string>{} : std::vector<std::string>{line});
      EXPECT_EQ(outcome.listed,
                c.listed_and_counted ? std::vector<std::string>{kPath} : std::vector<std::string>{});
      EXPECT_EQ(outcome.count, c.listed_and_counted ? 1u : 0u);
      if (c.stop == nullptr) {
        EXPECT_FALSE(outcome.stop.has_value());
      } else {
        ASSERT_TRUE(outcome.stop.has_value());
        EXPECT_EQ(*outcome.stop, *c.stop == '\0' ? std::string(line) : std::string(c.stop));
      }
    }
  }
}

TEST(DecryptionResults, TheHundredAndFirstCountedErrorStopsTheRun) {
  const Outcome hundredth = Handle(true, 4, 99);
  EXPECT_FALSE(hundredth.stop.has_value());
  EXPECT_EQ(hundredth.count, 100u);

  const Outcome next = Handle(false, 4, 100);
  ASSERT_TRUE(next.stop.has_value());
  EXPECT_EQ(*next.stop, "Maximum error numbers exceeded.");
  // Its line and list entry are written before the run stops.
  EXPECT_EQ(next.listed, std::vector<std::string>{kPath});

  const Outcome write_failure = Handle(true, 8, 100);
  ASSERT_TRUE(write_failure.stop.has_value());
  EXPECT_EQ(*write_failure.stop, "Maximum error numbers exceeded: error code 8.");
}

}  // namespace
}  // namespace tavik::diskunseal
