// A run's reaction to each file's result, by its program's table: the coded log line, the list of files left as
// they were, the error count that stops the run past its limit, and the results that stop it at once.
#include "conversion.h"

namespace tavik::conversion {
namespace {

void Replace(std::string* text, const char* field, const std::string& value) {
  const size_t at = text->find(field);
  if (at != std::string::npos) text->replace(at, 2, value);
}

}  // namespace

std::string FormatLine(const char* format, const std::string& path, int result) {
  std::string line = format;
  Replace(&line, "%d", std::to_string(result));
  Replace(&line, "%s", path);
  return line;
}

void ResultLog::Count(const ResultTable& table) {
  ++error_count_;
  if (error_count_ > table.limit) Stop(table.limit_text);
}

void ResultLog::Handle(const ResultTable& table, int result, const std::string& path) {
  const ResultRow* row = &table.otherwise;
  for (const ResultRow& candidate : table.rows) {
    if (candidate.result == result) row = &candidate;
  }
  std::string line;
  if (row->line != nullptr) {
    line = FormatLine(row->line, path, result);
    log_(line);
  }
  if (row->listed) list_(path);
  if (row->counted) {
    ++error_count_;
    if (error_count_ > table.limit) Stop(row->limit_text != nullptr ? row->limit_text : table.limit_text);
  }
  if (row->stop == kStopWithLine) Stop(line);
  if (row->stop != nullptr) Stop(row->stop);
}

}  // namespace tavik::conversion
