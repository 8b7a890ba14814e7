// Combo boxes (drop-down lists) and list boxes: items in the order the program adds them and one selection. A combo
// box's text is its selected item.
#include "user32_private.h"

namespace xp::user32 {
namespace {

enum class ListOperation { kAdd, kCount, kGetSelection, kGetText, kGetTextLength, kReset, kSetSelection, kOther };

ListOperation OperationOf(bool combo, UINT message) {
  switch (message) {
    case CB_ADDSTRING: return combo ? ListOperation::kAdd : ListOperation::kOther;
    case CB_GETCOUNT: return combo ? ListOperation::kCount : ListOperation::kOther;
    case CB_GETCURSEL: return combo ? ListOperation::kGetSelection : ListOperation::kOther;
    case CB_GETLBTEXT: return combo ? ListOperation::kGetText : ListOperation::kOther;
    case CB_GETLBTEXTLEN: return combo ? ListOperation::kGetTextLength : ListOperation::kOther;
    case CB_RESETCONTENT: return combo ? ListOperation::kReset : ListOperation::kOther;
    case CB_SETCURSEL: return combo ? ListOperation::kSetSelection : ListOperation::kOther;
    case LB_ADDSTRING: return combo ? ListOperation::kOther : ListOperation::kAdd;
    case LB_GETCOUNT: return combo ? ListOperation::kOther : ListOperation::kCount;
    case LB_GETCURSEL: return combo ? ListOperation::kOther : ListOperation::kGetSelection;
    case LB_GETTEXT: return combo ? ListOperation::kOther : ListOperation::kGetText;
    case LB_GETTEXTLEN: return combo ? ListOperation::kOther : ListOperation::kGetTextLength;
    case LB_RESETCONTENT: return combo ? ListOperation::kOther : ListOperation::kReset;
    case LB_SETCURSEL: return combo ? ListOperation::kOther : ListOperation::kSetSelection;
    default: return ListOperation::kOther;
  }
}

bool ValidIndex(const Window& list, WPARAM index) { return index < list.items.size(); }

std::u16string SelectedText(const Window& list) {
  return list.selected >= 0 ? list.items[static_cast<size_t>(list.selected)] : std::u16string();
}

}  // namespace

LRESULT ListMessage(Window& list, UINT message, WPARAM wparam, LPARAM lparam, bool wide, Effects& effects) {
  const bool combo = list.window_class == WindowClass::kComboBox;
  const LRESULT error = combo ? CB_ERR : LB_ERR;
  if (combo && message == WM_GETTEXT) {
    return static_cast<LRESULT>(CopyText(SelectedText(list), reinterpret_cast<void*>(lparam), wparam, wide));
  }
  if (combo && message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(TextLength(SelectedText(list), wide));
  switch (OperationOf(combo, message)) {
    case ListOperation::kAdd:
      list.items.push_back(TextArgument(lparam, wide));
      effects.Changed(list);
      return static_cast<LRESULT>(list.items.size() - 1);
    case ListOperation::kCount:
      return static_cast<LRESULT>(list.items.size());
    case ListOperation::kGetSelection:
      return list.selected >= 0 ? list.selected : error;
    case ListOperation::kGetText:
      // The caller's buffer holds the item: the message carries no size.
      if (!ValidIndex(list, wparam)) return error;
      return static_cast<LRESULT>(CopyText(list.items[wparam], reinterpret_cast<void*>(lparam),
                                           TextLength(list.items[wparam], wide) + 1, wide));
    case ListOperation::kGetTextLength:
      return ValidIndex(list, wparam) ? static_cast<LRESULT>(TextLength(list.items[wparam], wide)) : error;
    case ListOperation::kReset:
      list.items.clear();
      list.selected = -1;
      effects.Changed(list);
      return 0;
    case ListOperation::kSetSelection:
      if (!ValidIndex(list, wparam)) {
        // -1 clears the selection and still answers an error; a combo box also clears it for a bad index.
        if (combo || static_cast<int>(wparam) == -1) list.selected = -1;
        effects.Changed(list);
        return error;
      }
      list.selected = static_cast<int>(wparam);
      effects.Changed(list);
      return list.selected;
    case ListOperation::kOther:
      break;
  }
  return UnsupportedMessage(list, message);
}

void SelectItem(Window& list, int index, Effects& effects) {
  list.selected = index;
  effects.Changed(list);
  if (list.window_class == WindowClass::kComboBox) {
    effects.Notify(list, CBN_SELCHANGE);
  } else if ((list.style & LBS_NOTIFY) != 0) {
    effects.Notify(list, LBN_SELCHANGE);
  }
}

}  // namespace xp::user32
