// Reading UI scripts: one step per line, words, quoted texts with C-style escapes, '*' wildcards. The grammar is
// documented in README.md beside this file.
#include <cctype>
#include <string_view>

#include "ui_private.h"

namespace xp::ui {
namespace {

struct Token {
  enum class Kind { kEnd, kWord, kString, kStar, kColon, kSemicolon, kArrow, kPipe };
  Kind kind = Kind::kEnd;
  std::string word;
  std::vector<std::string> pieces;  // a string split at its unescaped '*'s
};

bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  Lexer(std::string_view text, int line) : text_(text), line_(line) {}

  const Token& Peek() {
    if (!peeked_) {
      SkipSpaces();
      next_start_ = at_;
      next_ = Read();
      peeked_ = true;
    }
    return next_;
  }
  Token Next() {
    Peek();
    peeked_ = false;
    return std::move(next_);
  }
  bool At(Token::Kind kind) { return Peek().kind == kind; }
  void Expect(Token::Kind kind, const char* what) {
    if (Next().kind != kind) Fail(std::string("expected ") + what);
  }
  std::string Word(const char* what) {
    Token token = Next();
    if (token.kind != Token::Kind::kWord) Fail(std::string("expected ") + what);
    return token.word;
  }
  // The raw rest of the line, for a person's unquoted text.
  std::string RestOfLine() {
    if (peeked_) at_ = next_start_;
    peeked_ = false;
    SkipSpaces();
    std::string rest(text_.substr(at_));
    at_ = text_.size();
    return rest;
  }
  [[noreturn]] void Fail(const std::string& message) const { throw ScriptError(line_, message); }

 private:
  void SkipSpaces() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
  }
  Token Read() {
    SkipSpaces();
    Token token;
    if (at_ == text_.size()) return token;
    const char c = text_[at_];
    const auto single = [&](Token::Kind kind) {
      ++at_;
      token.kind = kind;
      return token;
    };
    if (c == ':') return single(Token::Kind::kColon);
    if (c == ';') return single(Token::Kind::kSemicolon);
    if (c == '|') return single(Token::Kind::kPipe);
    if (c == '*') return single(Token::Kind::kStar);
    if (c == '"') return ReadString();
    if (c == '-' && at_ + 1 < text_.size() && text_[at_ + 1] == '>') {
      at_ += 2;
      token.kind = Token::Kind::kArrow;
      return token;
    }
    if (c == '-' || !WordChar(c)) Fail(std::string("unexpected character '") + c + "'");
    token.kind = Token::Kind::kWord;
    while (at_ < text_.size() && WordChar(text_[at_]) &&
           !(text_[at_] == '-' && at_ + 1 < text_.size() && text_[at_ + 1] == '>')) {
      token.word += text_[at_++];
    }
    return token;
  }
  Token ReadString() {
    Token token;
    token.kind = Token::Kind::kString;
    token.pieces.emplace_back();
    ++at_;
    for (;;) {
      if (at_ == text_.size()) Fail("unterminated string");
      const char c = text_[at_++];
      if (c == '"') return token;
      if (c == '*') {
        token.pieces.emplace_back();
        continue;
      }
      if (c != '\\') {
        token.pieces.back() += c;
        continue;
      }
      if (at_ == text_.size()) Fail("unterminated string");
      const char e = text_[at_++];
      switch (e) {
        case '\\': token.pieces.back() += '\\'; break;
        case '"': token.pieces.back() += '"'; break;
        case '*': token.pieces.back() += '*'; break;
        case 'r': token.pieces.back() += '\r'; break;
        case 'n': token.pieces.back() += '\n'; break;
        case 't': token.pieces.back() += '\t'; break;
        case 'x': {
          const int high = at_ < text_.size() ? HexDigit(text_[at_]) : -1;
          const int low = at_ + 1 < text_.size() ? HexDigit(text_[at_ + 1]) : -1;
          if (high < 0 || low < 0) Fail("\\x needs two hex digits");
          token.pieces.back() += static_cast<char>(high * 16 + low);
          at_ += 2;
          break;
        }
        default:
          Fail(std::string("unknown escape \\") + e);
      }
    }
  }

  std::string_view text_;
  int line_;
  size_t at_ = 0;
  Token next_;
  size_t next_start_ = 0;
  bool peeked_ = false;
};

std::string Joined(const std::vector<std::string>& pieces) {
  std::string text;
  for (size_t i = 0; i < pieces.size(); ++i) text += (i > 0 ? "*" : "") + pieces[i];
  return text;
}

std::optional<Pattern> OptionalPattern(Lexer& lexer) {
  if (lexer.At(Token::Kind::kStar)) {
    lexer.Next();
    return Pattern::Any();
  }
  if (lexer.At(Token::Kind::kString)) return Pattern::FromPieces(lexer.Next().pieces);
  return std::nullopt;
}

Pattern RequiredPattern(Lexer& lexer, const char* what) {
  std::optional<Pattern> pattern = OptionalPattern(lexer);
  if (!pattern) lexer.Fail(std::string("expected ") + what + " (a quoted text or *)");
  return *pattern;
}

bool AllDigits(std::string_view word) {
  if (word.empty()) return false;
  for (const char c : word) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

ControlRef ParseControl(Lexer& lexer) {
  const std::string word = lexer.Word("a control (an ID, IDOK..IDNO or a form control's name)");
  if (AllDigits(word)) {
    if (word.size() > 5 || std::stoi(word) == 0 || std::stoi(word) > 0xFFFF) lexer.Fail("control ID out of range");
    return ControlRef(std::stoi(word));
  }
  if (const std::optional<int> id = ParseCommandIdName(word)) return ControlRef(*id);
  if (!std::isalpha(static_cast<unsigned char>(word[0]))) lexer.Fail("bad control name " + word);
  return ControlRef(word);
}

std::string ParseText(Lexer& lexer, bool person) {
  if (lexer.At(Token::Kind::kString)) return Joined(lexer.Next().pieces);
  if (person && !lexer.At(Token::Kind::kEnd)) return lexer.RestOfLine();
  lexer.Fail("expected a quoted text");
}

// ctrl-alt-del, or sas and power with the event's name.
Action ParseAttention(Lexer& lexer, const std::string& verb) {
  Action action;
  if (verb == "ctrl-alt-del") {
    action.kind = ActionKind::kCtrlAltDel;
    return action;
  }
  const bool sas = verb == "sas";
  action.kind = sas ? ActionKind::kSas : ActionKind::kPower;
  action.text = lexer.Word(sas ? "a SAS kind (timeout, screen-saver, screen-saver-activity, user-logoff)"
                               : "suspend or resume");
  bool known = false;
  for (const SasKind& kind : kSasKinds) known = known || (sas && action.text == kind.name);
  for (const char* name : kPowerNames) known = known || (!sas && action.text == name);
  if (!known) lexer.Fail("unknown " + verb + " event " + action.text);
  return action;
}

Action ParseAction(Lexer& lexer, bool person) {
  const std::string verb = lexer.Word("an action");
  Action action;
  if (verb == "type" || verb == "select") {
    action.kind = verb == "type" ? ActionKind::kType : ActionKind::kSelect;
    action.control = ParseControl(lexer);
    action.text = ParseText(lexer, person);
  } else if (verb == "click" || verb == "check" || verb == "uncheck" || verb == "focus") {
    action.kind = verb == "click"   ? ActionKind::kClick
                  : verb == "check" ? ActionKind::kCheck
                  : verb == "focus" ? ActionKind::kFocus
                                    : ActionKind::kUncheck;
    action.control = ParseControl(lexer);
  } else if (verb == "enter") {
    action.kind = ActionKind::kEnter;
    if (lexer.At(Token::Kind::kWord)) action.control = ParseControl(lexer);
  } else if (verb == "escape") {
    action.kind = ActionKind::kEscape;
  } else if (verb == "close") {
    action.kind = ActionKind::kClose;
  } else if (verb == "system-menu") {
    action.kind = ActionKind::kSystemMenu;
    const std::string command = lexer.Word("a system-menu command number");
    if (!AllDigits(command) || command.size() > 5) lexer.Fail("bad system-menu command " + command);
    action.item = std::stoi(command);
  } else if (IsAttentionVerb(verb)) {
    action = ParseAttention(lexer, verb);
  } else {
    lexer.Fail("unknown action " + verb);
  }
  return action;
}

std::string DialogId(Lexer& lexer) {
  const std::string word = lexer.Word("a dialog number or form name");
  if (AllDigits(word)) {
    if (word.size() > 5) lexer.Fail("dialog number out of range");
    return std::to_string(std::stoi(word));
  }
  return word;
}

uint32_t ParseStyle(Lexer& lexer) {
  uint32_t style = 0;
  for (;;) {
    const std::string word = lexer.Word("a style (MB_... names joined by |, or a number)");
    const std::optional<uint32_t> bits = ParseStyleWord(word);
    if (!bits) lexer.Fail("unknown style " + word);
    style |= *bits;
    if (!lexer.At(Token::Kind::kPipe)) return style;
    lexer.Next();
  }
}

Step ParseStep(Lexer& lexer) {
  Step step;
  const std::string head = lexer.Word("box, dialog, pump, ctrl-alt-del, sas, power or token");
  if (head == "box") {
    step.kind = Step::Kind::kBox;
    step.caption = RequiredPattern(lexer, "the caption");
    step.text = RequiredPattern(lexer, "the text");
    if (lexer.At(Token::Kind::kWord)) step.style = ParseStyle(lexer);
    lexer.Expect(Token::Kind::kArrow, "-> and the answer");
    const std::string answer = lexer.Word("the answer (OK, Cancel, Yes, No, ...)");
    const std::optional<int> id = ParseButtonName(answer);
    if (!id) lexer.Fail("unknown answer " + answer);
    step.answer = *id;
  } else if (head == "dialog" || head == "pump") {
    step.kind = head == "dialog" ? Step::Kind::kDialog : Step::Kind::kPump;
    step.dialog = DialogId(lexer);
    if (std::optional<Pattern> caption = OptionalPattern(lexer)) step.caption = *caption;
    lexer.Expect(Token::Kind::kColon, "':' and the actions");
    for (;;) {
      step.actions.push_back(ParseAction(lexer, false));
      if (!lexer.At(Token::Kind::kSemicolon)) break;
      lexer.Next();
    }
  } else if (IsAttentionVerb(head)) {
    step.kind = Step::Kind::kAttention;
    step.actions.push_back(ParseAttention(lexer, head));
    if (std::optional<Pattern> screen = OptionalPattern(lexer)) step.caption = *screen;
  } else if (head == "token") {
    step.kind = Step::Kind::kToken;
    const std::string verb = lexer.Word("plug or unplug");
    if (verb != "plug" && verb != "unplug") lexer.Fail("expected plug or unplug, not " + verb);
    step.plug = verb == "plug";
    if (lexer.At(Token::Kind::kWord)) step.token = lexer.Word("a token id");
  } else {
    lexer.Fail("unknown step " + head);
  }
  if (!lexer.At(Token::Kind::kEnd)) lexer.Fail("unexpected text after the step");
  return step;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

}  // namespace

uint32_t SasTypeOf(const Action& action) {
  for (const SasKind& kind : kSasKinds) {
    if (action.kind == ActionKind::kSas && action.text == kind.name) return kind.type;
  }
  return kCtrlAltDelSas;
}

bool IsAttentionVerb(std::string_view verb) { return verb == "ctrl-alt-del" || verb == "sas" || verb == "power"; }

std::vector<Step> ParseScript(std::string_view text) {
  std::vector<Step> steps;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.empty() || line.front() == '#') continue;
    Lexer lexer(line, number);
    steps.push_back(ParseStep(lexer));
    steps.back().line = number;
    steps.back().source = std::string(line);
  }
  return steps;
}

Action ParseConsoleAction(std::string_view line) {
  Lexer lexer(Trimmed(line), 0);
  Action action = ParseAction(lexer, true);
  if (!lexer.At(Token::Kind::kEnd)) lexer.Fail("unexpected text after the action");
  return action;
}

}  // namespace xp::ui
