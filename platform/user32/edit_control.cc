// Edit controls: the text, its selection, the limit on what the user types, the password character and read-only
// state. The limit binds typing only: text the program puts in is never cut.
#include <algorithm>

#include "user32_private.h"

namespace xp::user32 {
namespace {

// What a user may type before EM_LIMITTEXT is sent.
constexpr size_t kDefaultTypingLimit = 32767;
// EM_LIMITTEXT 0: as much as a single-line edit holds.
constexpr size_t kLargestLimit = 0x7FFFFFFE;

size_t TypingLimit(const Window& edit) { return edit.limit != 0 ? edit.limit : kDefaultTypingLimit; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

void SetSelection(Window& edit, int start, int end) {
  const int length = static_cast<int>(edit.text.size());
  if (start == -1) {
    // "Any current selection is deselected": the caret stays where the selection ended.
    edit.selection_start = edit.selection_end;
    return;
  }
  if (end == -1) end = length;
  edit.selection_start = static_cast<size_t>(std::clamp(start, 0, length));
  edit.selection_end = static_cast<size_t>(std::clamp(end, 0, length));
}

void ReplaceSelection(Window& edit, std::u16string_view text, Effects& effects) {
  const size_t first = std::min(edit.selection_start, edit.selection_end);
  const size_t last = std::max(edit.selection_start, edit.selection_end);
  edit.text.replace(first, last - first, text);
  edit.selection_start = edit.selection_end = first + text.size();
  effects.Changed(edit);
  effects.Notify(edit, EN_CHANGE);
}

}  // namespace

void SetEditText(Window& edit, std::u16string text, Effects& effects) {
  edit.text = std::move(text);
  edit.selection_start = edit.selection_end = 0;
  effects.Changed(edit);
  // A multi-line edit does not report text the program sets.
  if ((edit.style & ES_MULTILINE) == 0) effects.Notify(edit, EN_CHANGE);
}

void TypeIntoEdit(Window& edit, std::u16string_view text, Effects& effects) {
  std::u16string typed;
  for (const char16_t c : text) {
    if ((edit.style & ES_NUMBER) != 0 && !IsDigit(c)) continue;  // refused, as the edit refuses the key
    typed += c;
  }
  // The first character past the limit raises EN_MAXTEXT; the user stops there to read what it shows.
  const bool cut = typed.size() > TypingLimit(edit);
  if (cut) typed.resize(TypingLimit(edit));
  edit.text = std::move(typed);
  edit.selection_start = edit.selection_end = edit.text.size();
  effects.Changed(edit);
  effects.Notify(edit, EN_CHANGE);
  if (cut) effects.Notify(edit, EN_MAXTEXT);
}

LRESULT EditMessage(Window& edit, UINT message, WPARAM wparam, LPARAM lparam, bool wide, Effects& effects) {
  switch (message) {
    case EM_LIMITTEXT:
      edit.limit = wparam != 0 ? static_cast<size_t>(wparam) : kLargestLimit;
      effects.Changed(edit);
      return 0;
    case EM_SETPASSWORDCHAR:
      if (wparam == 0 || wide) {
        edit.password_char = static_cast<char16_t>(wparam);
      } else {
        edit.password_char = FromAnsi(std::string(1, static_cast<char>(wparam))).front();
      }
      effects.Changed(edit);
      return 0;
    case EM_GETPASSWORDCHAR:
      if (wide || edit.password_char == 0) return edit.password_char;
      return static_cast<unsigned char>(ToAnsi(std::u16string(1, edit.password_char)).front());
    case EM_SETREADONLY:
      edit.read_only = wparam != 0;
      effects.Changed(edit);
      return TRUE;
    case EM_SETSEL:
      SetSelection(edit, static_cast<int>(wparam), static_cast<int>(lparam));
      return 0;
    case EM_REPLACESEL:
      ReplaceSelection(edit, TextArgument(lparam, wide), effects);
      return 0;
    case EM_SCROLLCARET:
      return TRUE;  // nothing is scrolled out of a reader's view here
    default:
      return UnsupportedMessage(edit, message);
  }
}

}  // namespace xp::user32
