// Texts as scripts and journal lines write them: quoted with C-style escapes, and the '*' wildcard of expectations.
#include <cstdio>

#include "ui_private.h"

namespace xp::ui {

std::string Quote(std::string_view text, bool pattern) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\r': quoted += "\\r"; break;
      case '\n': quoted += "\\n"; break;
      case '\t': quoted += "\\t"; break;
      case '*':
        quoted += pattern ? "\\*" : "*";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
          quoted += escape;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

Pattern Pattern::Wildcard(std::string_view pattern) {
  Pattern result;
  result.pieces_.emplace_back();
  for (const char c : pattern) {
    if (c == '*') {
      result.pieces_.emplace_back();
    } else {
      result.pieces_.back() += c;
    }
  }
  return result;
}

Pattern Pattern::FromPieces(std::vector<std::string> pieces) {
  Pattern result;
  result.pieces_ = std::move(pieces);
  if (result.pieces_.empty()) result.pieces_.emplace_back();
  return result;
}

bool Pattern::Matches(std::string_view text) const {
  const std::string& first = pieces_.front();
  if (pieces_.size() == 1) return text == first;
  const std::string& last = pieces_.back();
  if (text.size() < first.size() + last.size()) return false;
  if (text.substr(0, first.size()) != first || text.substr(text.size() - last.size()) != last) return false;
  // The middle pieces in order, each as early as it can: leftmost placement leaves the most room for the rest.
  std::string_view middle = text.substr(first.size(), text.size() - first.size() - last.size());
  for (size_t i = 1; i + 1 < pieces_.size(); ++i) {
    const size_t at = middle.find(pieces_[i]);
    if (at == std::string_view::npos) return false;
    middle.remove_prefix(at + pieces_[i].size());
  }
  return true;
}

std::string Pattern::Source() const {
  if (pieces_.size() == 2 && pieces_[0].empty() && pieces_[1].empty()) return "*";
  std::string source = "\"";
  for (size_t i = 0; i < pieces_.size(); ++i) {
    if (i > 0) source += '*';
    const std::string quoted = Quote(pieces_[i], true);
    source += quoted.substr(1, quoted.size() - 2);
  }
  return source + "\"";
}

}  // namespace xp::ui
