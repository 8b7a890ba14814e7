// Finding the key in the report.
#include "report_key.h"

#include <cstdio>

#include "hex.h"
#include "setupcore.h"

namespace tavik::recoverkit {
namespace {

// The report's line buffer: a line of more characters than this (its line feed counted) was never a key line.
constexpr size_t kLineBuffer = 818;
constexpr size_t kKeyDigits = 32;

// The next line, its line feed kept; false at the end of the file.
bool ReadLine(std::FILE* file, std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line->empty();
}

}  // namespace

ReportKey ReadReportKey(const std::string& report, std::string* key_line) {
  std::FILE* file = std::fopen(report.c_str(), "r");
  if (file == nullptr) return ReportKey::kNoReport;
  bool found = false;
  std::string line;
  while (ReadLine(file, &line)) {
    if (line.find("Decryption Key") == std::string::npos) continue;
    found = true;
    if (!ReadLine(file, key_line)) key_line->clear();
  }
  std::fclose(file);
  if (!found) {
    key_line->clear();
    return ReportKey::kEmpty;
  }
  const bool ended = !key_line->empty() && key_line->back() == '\n';
  if (key_line->size() > kLineBuffer) return ReportKey::kLineTooLong;
  if (ended) key_line->pop_back();
  if (!key_line->empty() && key_line->back() == '\r') key_line->pop_back();
  if (key_line->empty()) return ReportKey::kEmpty;
  const bool hex = bValidHexStr(key_line->c_str(), static_cast<unsigned int>(key_line->size()));
  return hex && key_line->size() >= kKeyDigits ? ReportKey::kRead : ReportKey::kNotHex;
}

void KeyLineToCfk(const std::string& key_line, unsigned char* cfk) {
  hex::DecodeStrict(std::string_view(key_line).substr(0, kKeyDigits), cfk, kKeyDigits / 2);
}

}  // namespace tavik::recoverkit
