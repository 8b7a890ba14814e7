// Resources as the system's programs declare them, in place of a compiled resource script: each dialog's number,
// caption, size and controls in the order a script lists them, with the script's statements and default styles;
// the string table; the numbers of the icons; the bitmaps' sizes. A table registers its resources for the module
// that holds it; DialogBoxParam, CDialog::DoModal, LoadStringA, LoadIconA and LoadBitmapA find them there.
#pragma once

#include <initializer_list>
#include <vector>

#include "commctrl.h"
#include "windef.h"
#include "winuser.h"

namespace xp::res {

enum class ControlClass { kButton, kEdit, kStatic, kComboBox, kListBox, kProgress };

// One control as a script's CONTROL statement holds it: class, text, ID and the whole window style.
struct ControlTemplate {
  ControlClass control_class = ControlClass::kStatic;
  const char* text = "";
  int id = 0;
  DWORD style = 0;

  // The script's NOT: PushButton("Default Logon", 1040).Not(WS_VISIBLE) is a button the template leaves hidden.
  constexpr ControlTemplate Not(DWORD bits) const {
    ControlTemplate control = *this;
    control.style &= ~bits;
    return control;
  }
};

// The statements of a resource script. Every control is a visible child; `style` adds to the statement's defaults
// (ES_PASSWORD, ES_NUMBER, ES_READONLY, WS_DISABLED, WS_GROUP ...). A radio group runs from a control with WS_GROUP
// to the next one (LText carries WS_GROUP, as in a script).
inline constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;

constexpr ControlTemplate LText(const char* text, int id, DWORD style = 0) {
  return {ControlClass::kStatic, text, id, kChildStyle | SS_LEFT | WS_GROUP | style};
}
constexpr ControlTemplate Icon(int id, DWORD style = 0) {
  return {ControlClass::kStatic, "", id, kChildStyle | SS_ICON | style};
}
constexpr ControlTemplate EditText(int id, DWORD style = 0) {
  return {ControlClass::kEdit, "", id, kChildStyle | ES_LEFT | WS_BORDER | WS_TABSTOP | style};
}
constexpr ControlTemplate PushButton(const char* text, int id, DWORD style = 0) {
  return {ControlClass::kButton, text, id, kChildStyle | BS_PUSHBUTTON | WS_TABSTOP | style};
}
constexpr ControlTemplate DefPushButton(const char* text, int id, DWORD style = 0) {
  return {ControlClass::kButton, text, id, kChildStyle | BS_DEFPUSHBUTTON | WS_TABSTOP | style};
}
constexpr ControlTemplate AutoCheckBox(const char* text, int id, DWORD style = 0) {
  return {ControlClass::kButton, text, id, kChildStyle | BS_AUTOCHECKBOX | WS_TABSTOP | style};
}
constexpr ControlTemplate AutoRadioButton(const char* text, int id, DWORD style = 0) {
  return {ControlClass::kButton, text, id, kChildStyle | BS_AUTORADIOBUTTON | style};
}
constexpr ControlTemplate GroupBox(const char* text, int id, DWORD style = 0) {
  return {ControlClass::kButton, text, id, kChildStyle | BS_GROUPBOX | style};
}
// `style` must hold CBS_DROPDOWNLIST, the one kind of combo box the system shows.
constexpr ControlTemplate ComboBox(int id, DWORD style) {
  return {ControlClass::kComboBox, "", id, kChildStyle | WS_TABSTOP | style};
}
constexpr ControlTemplate ListBox(int id, DWORD style = 0) {
  return {ControlClass::kListBox, "", id, kChildStyle | LBS_NOTIFY | WS_BORDER | style};
}
// CONTROL "", id, PROGRESS_CLASS, style
constexpr ControlTemplate Progress(int id, DWORD style = 0) {
  return {ControlClass::kProgress, "", id, kChildStyle | style};
}

// A dialog's frame: a caption with the system menu box, unless the template asks for a bare popup (WS_POPUP).
inline constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

struct DialogTemplate {
  int id = 0;  // the IDD_ number scripts and the journal name the dialog by
  const char* caption = "";
  std::vector<ControlTemplate> controls;
  // The window's size in screen pixels, frame included.
  int width = 320;
  int height = 240;
  DWORD style = kDialogStyle;
};

// What a module declares, by the kind of resource a lookup asks for.
enum class ResourceType { kDialog, kString, kIcon, kBitmap };

// A table of one kind of resources, declared once at namespace scope: while it lives, its numbers belong to the
// module (program or DLL) that holds it. A number declared twice for one module and type is reported on stderr and
// the first declaration kept.
class ResourceTable {
 public:
  ResourceTable(const ResourceTable&) = delete;
  ResourceTable& operator=(const ResourceTable&) = delete;

  ResourceType type() const { return type_; }
  const std::vector<int>& ids() const { return ids_; }

 protected:
  ResourceTable(ResourceType type, std::vector<int> ids);
  ~ResourceTable();
  // The derived table's constructor calls this once its entries are in place: lookups may find it from then on.
  void Register();

 private:
  ResourceType type_;
  std::vector<int> ids_;
};

// A program's dialogs:
//   const xp::res::DialogResources kDialogs = {
//       {IDD_MESSAGE, "Quillmarsh Tavik", {xp::res::LText("", IDC_TEXT), xp::res::DefPushButton("OK", IDOK)}},
//   };
class DialogResources : public ResourceTable {
 public:
  DialogResources(std::initializer_list<DialogTemplate> dialogs);

  const std::vector<DialogTemplate>& dialogs() const { return dialogs_; }

 private:
  std::vector<DialogTemplate> dialogs_;
};

// A program's string table, as LoadStringA reads it:
//   const xp::res::StringResources kStrings = {{IDS_ABOUTBOX, "&About Tavik Recovery Tool"}};
struct StringTemplate {
  int id = 0;
  const char* text = "";
};
class StringResources : public ResourceTable {
 public:
  StringResources(std::initializer_list<StringTemplate> strings);

  const std::vector<StringTemplate>& strings() const { return strings_; }

 private:
  std::vector<StringTemplate> strings_;
};

// The numbers of a program's icons. The artwork is not kept: LoadIconA finds the number, and the window an icon
// is set on records which one it shows.
//   const xp::res::IconResources kIcons = {IDR_MAINFRAME};
class IconResources : public ResourceTable {
 public:
  IconResources(std::initializer_list<int> icons);
};

// A program's bitmaps: the artwork is not kept, only each bitmap's size, which a program reads (GetObjectA) to
// paint it unscaled.
//   const xp::res::BitmapResources kBitmaps = {{IDB_BANNER, 410, 60}};
struct BitmapTemplate {
  int id = 0;
  int width = 0;
  int height = 0;
};
class BitmapResources : public ResourceTable {
 public:
  BitmapResources(std::initializer_list<BitmapTemplate> bitmaps);

  const std::vector<BitmapTemplate>& bitmaps() const { return bitmaps_; }

 private:
  std::vector<BitmapTemplate> bitmaps_;
};

}  // namespace xp::res
