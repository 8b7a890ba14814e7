// Finding the key in the report.
#include "report_key.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

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

// The key a key line names, for telling blocks apart: its first 32 digits, any letter case.
std::string KeyOf(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  line.resize(std::min(line.size(), kKeyDigits));
  for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return line;
}

// The stamp a key block's heading line begins with: what stands before " Decryption Key".
std::string StampOf(const std::string& heading) { return heading.substr(0, heading.find(" Decryption Key")); }

}  // namespace

ReportKey ReadReportKey(const std::string& report, std::string* key_line, std::string* other_key_stamp) {
  other_key_stamp->clear();
  std::FILE* file = std::fopen(report.c_str(), "r");
  if (file == nullptr) return ReportKey::kNoReport;
  struct Block {
    std::string stamp, key;
  };
  std::vector<Block> blocks;
  std::string line;
  while (ReadLine(file, &line)) {
    if (line.find("Decryption Key") == std::string::npos) continue;
    if (!ReadLine(file, key_line)) key_line->clear();
    blocks.push_back({StampOf(line), KeyOf(*key_line)});
  }
  std::fclose(file);
  if (blocks.empty()) {
    key_line->clear();
    return ReportKey::kEmpty;
  }
  for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
    if (block->key == blocks.back().key) continue;
    *other_key_stamp = block->stamp;
    break;
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
