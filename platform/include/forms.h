// The form runtime the form-based programs are written in: forms with named controls and their events, modal and
// modeless shows that nest inside events, message boxes, the mouse pointer, the program's string and bitmap
// resources, run-time errors, and functions of a DLL bound by name at their first call. Built on the UI engine, so
// every form, change and box reaches the UI driver and the machine's journal, and on user32, where each loaded form
// has a window (hWnd) with a window procedure a program may replace.
//
// A program declares its forms as classes with controls as members, in the order the form holds them:
//
//   class frmAsk : public Form {
//    public:
//     frmAsk() : Form("frmAsk") {
//       SetCaption(u"Ask");
//       txtName.SetMaxLength(63);
//       cmdOK.Click = [this] { Unload(*this); };
//     }
//     Label lblName{this, "lblName", u"Name:"};
//     TextBox txtName{this, "txtName"};
//     CommandButton cmdOK{this, "cmdOK", u"OK"};
//    protected:
//     void Form_Activate() override { txtName.SetFocus(); }
//   };
//
// What the constructor sets is the form's design: every Load starts the controls from it again. `The<frmAsk>()` is
// the form's one default instance, made (its Form_Initialize run) at first use and kept until the program ends;
// touching a control of an unloaded form loads it (Form_Load). The program's entry is `void Main()`, run by the
// runtime's main (link xp::forms_main): it shows the first form; the program ends when no form is left shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

// ---- Run-time errors: raised with Err.Raise (or by the runtime itself), trapped with try/catch. An error no
// handler traps ends the program: a box "Run-time error '<number>':" with its description, then exit code 1.

inline constexpr long kErrInvalidCall = 5;            // invalid procedure call or argument
inline constexpr long kErrOverflow = 6;
inline constexpr long kErrDllLoad = 48;               // a DLL that cannot be loaded for another reason
inline constexpr long kErrFileNotFound = 53;          // the DLL file, or a file, is not there
inline constexpr long kErrInputPastEnd = 62;
inline constexpr long kErrPathNotFound = 76;
inline constexpr long kErrResourceNotFound = 326;
inline constexpr long kErrReadOnlyProperty = 383;
inline constexpr long kErrAlreadyShownModal = 400;
inline constexpr long kErrEntryPointNotFound = 453;  // the DLL is there, the function is not

class RuntimeError : public std::exception {
 public:
  RuntimeError(long number, std::u16string source, std::u16string description);
  long Number() const { return number_; }
  const std::u16string& Source() const { return source_; }
  const std::u16string& Description() const { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  long number_;
  std::u16string source_;
  std::u16string description_;
  std::string what_;
};

struct ErrObject {
  // Throws RuntimeError; an empty description takes the runtime's text for the number.
  [[noreturn]] void Raise(long number, std::u16string source = {}, std::u16string description = {}) const;
};
extern const ErrObject Err;

// ---- Text: programs keep text as UTF-16; a library gets its ANSI form in the machine's code page (936 on a
// Chinese machine, where one Chinese character takes two bytes).
std::string AnsiOf(std::u16string_view text);
std::u16string TextOfAnsi(std::string_view ansi);
// Decimal digits, with '-' for a negative number.
std::u16string CStr(long long number);
std::u16string UCase(std::u16string_view text);
// Exact, case-sensitive search: the position of `what` in `text` from `from`, or npos.
size_t InStr(std::u16string_view text, std::u16string_view what, size_t from = 0);

// ---- The program, the screen and the mouse pointer.

struct Application {
  std::u16string Title;  // the title of every message box that names none
};
extern Application App;

// Mouse pointers of the screen and of a form: the default one, and the hourglass while the program is busy.
inline constexpr int kDefaultPointer = 0;
inline constexpr int kHourglassPointer = 11;

class ScreenObject {
 public:
  int MousePointer() const { return pointer_; }
  // A change is journaled as "screen pointer <n>".
  void SetMousePointer(int pointer);
  // 1024 by 768 pixels of 15 twips, the unit of form sizes.
  float Width() const { return 15360.0f; }
  float Height() const { return 11520.0f; }

 private:
  int pointer_ = kDefaultPointer;
};
extern ScreenObject Screen;

// A message box with `buttons` (MB_OK or MB_YESNO with at most one icon: the MB_* styles); returns IDOK, IDYES or
// IDNO. Without a title, App.Title.
int MsgBox(std::u16string_view prompt, UINT buttons = MB_OK, std::optional<std::u16string> title = std::nullopt);

// ---- Resources of the program: its string table and its bitmaps, declared once at namespace scope:
//   const StringTable kStrings = {{101, u"Selvanor"}, {109, u"Quillmarsh Tavik Selvanor"}};
//   const BitmapTable kBitmaps = {{101, "banner"}};
struct StringResource {
  int id;
  const char16_t* text;
};
class StringTable {
 public:
  StringTable(std::initializer_list<StringResource> strings);
  ~StringTable();
  StringTable(const StringTable&) = delete;
  StringTable& operator=(const StringTable&) = delete;
  const std::vector<StringResource>& strings() const { return strings_; }

 private:
  std::vector<StringResource> strings_;
};

struct BitmapResource {
  int id;
  const char* description;  // what the picture shows, for the journal; its pixels are artwork
};
class BitmapTable {
 public:
  BitmapTable(std::initializer_list<BitmapResource> bitmaps);
  ~BitmapTable();
  BitmapTable(const BitmapTable&) = delete;
  BitmapTable& operator=(const BitmapTable&) = delete;
  const std::vector<BitmapResource>& bitmaps() const { return bitmaps_; }

 private:
  std::vector<BitmapResource> bitmaps_;
};

// A picture for an image or picture button: the bitmap's number, 0 for none.
struct Picture {
  int id = 0;
};

// Raise kErrResourceNotFound for a number the program's tables lack.
std::u16string LoadResString(int id);
Picture LoadResPicture(int id);

// ---- A DLL's function bound by name at its first call, along the standard library search:
//   DllFunction<int(const char*)> vbCheckPwd{"tokenio.dll", "vbCheckPwd"};
//   int r = vbCheckPwd(ansi.c_str());
// A call that cannot bind raises kErrFileNotFound ("File not found: tokenio.dll") when the file is not there,
// kErrEntryPointNotFound ("Can't find DLL entry point vbCheckPwd in tokenio.dll") when the function is not, and
// kErrDllLoad for any other failure to load; the next call tries again.
void* BindDllFunction(const char* library, const char* function);

template <typename Signature>
class DllFunction;

template <typename Result, typename... Arguments>
class DllFunction<Result(Arguments...)> {
 public:
  constexpr DllFunction(const char* library, const char* function) : library_(library), function_(function) {}
  Result operator()(Arguments... arguments) const {
    if (address_ == nullptr) address_ = BindDllFunction(library_, function_);
    return reinterpret_cast<Result (*)(Arguments...)>(address_)(arguments...);
  }

 private:
  const char* library_;
  const char* function_;
  mutable void* address_ = nullptr;
};

// ---- Controls.

class Form;

// What every control has, and the state a Load resets to the design. Geometry is in twips.
struct ControlProperties {
  std::u16string text;  // caption, contents, or a combo box's text
  bool enabled = true;
  bool visible = true;
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  int tab_index = 0;
  std::u16string tag;
  std::string font_name;
  // Text box.
  char16_t password_char = 0;
  size_t max_length = 0;  // what the user may type; 0: no limit
  bool multi_line = false;
  bool locked = false;
  // Lists and tabs.
  std::vector<std::u16string> items;
  int list_index = -1;
  // Option button, check box, progress bar.
  int value = 0;
  int min = 0;
  int max = 100;
  // Image, picture box, picture button.
  int picture = 0;
};

class Control {
 public:
  enum class Kind { kLabel, kTextBox, kCommandButton, kFrame, kImage, kPictureBox, kComboBox, kOptionButton,
                    kCheckBox, kProgressBar, kTabStrip };

  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Kind kind() const { return kind_; }
  Form& Parent() const { return *form_; }

  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  void SetLeft(float left);
  void SetTop(float top);
  void SetWidth(float width);
  virtual void SetHeight(float height);
  void Move(float left, float top, float width, float height);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  bool Visible() const;
  void SetVisible(bool visible);
  int TabIndex() const;
  void SetTabIndex(int tab_index);
  std::u16string Tag() const;
  void SetTag(std::u16string tag);
  void SetFontName(std::string font_name);
  // Moves the focus here (journaled as "focus <name>" while the form is shown).
  void SetFocus();
  // Changes show at once; Refresh is there for the code that asks for a repaint.
  void Refresh() const {}

  // The state as it is now (the runtime's view).
  const ControlProperties& properties() const { return now_; }

 protected:
  Control(Form* form, std::string name, Kind kind);
  // Reading touches the form (an unloaded form loads); a change outside the design also reports the new state.
  const ControlProperties& Read() const;
  ControlProperties& Write();
  void Changed();

 private:
  friend class Form;
  friend class FormRuntime;
  Form* form_;
  std::string name_;
  Kind kind_;
  ControlProperties design_;
  ControlProperties now_;
};

class Label : public Control {
 public:
  Label(Form* form, std::string name, std::u16string caption = {});
  std::u16string Caption() const;
  void SetCaption(std::u16string caption);
};

class Frame : public Control {
 public:
  Frame(Form* form, std::string name, std::u16string caption = {});
  std::u16string Caption() const;
  void SetCaption(std::u16string caption);
};

class TextBox : public Control {
 public:
  TextBox(Form* form, std::string name, std::u16string text = {});
  std::u16string Text() const;
  // Never cut: MaxLength binds only what the user types.
  void SetText(std::u16string text);
  void SetPasswordChar(char16_t password_char);
  void SetMaxLength(size_t max_length);
  size_t MaxLength() const;
  void SetMultiLine(bool multi_line);
  void SetLocked(bool locked);
  // The user typed a character; Enter is 13. Setting it to 0 drops it.
  std::function<void(int& key_ascii)> KeyPress;
  std::function<void()> Change;
};

class CommandButton : public Control {
 public:
  CommandButton(Form* form, std::string name, std::u16string caption = {});
  std::u16string Caption() const;
  void SetCaption(std::u16string caption);
  // A picture button shows a bitmap.
  void SetPicture(Picture picture);
  std::function<void()> Click;
};

class Image : public Control {
 public:
  Image(Form* form, std::string name);
  void SetPicture(Picture picture);
};

class PictureBox : public Control {
 public:
  PictureBox(Form* form, std::string name);
  void SetPicture(Picture picture);
  // Puts this panel in front of the others of its form.
  void ZOrder();
};

// A drop-down list: the user picks one of its items.
class ComboBox : public Control {
 public:
  ComboBox(Form* form, std::string name);
  void AddItem(std::u16string item);
  int ListCount() const;
  std::u16string List(int index) const;
  int ListIndex() const;
  // -1 selects nothing; Click follows a change.
  void SetListIndex(int index);
  std::u16string Text() const;
  // The height of a drop-down list follows its font: setting it raises kErrReadOnlyProperty.
  void SetHeight(float height) override;
  std::function<void()> Click;
};

class OptionButton : public Control {
 public:
  OptionButton(Form* form, std::string name, std::u16string caption = {});
  bool Value() const;
  // Selecting one clears the other option buttons of the form.
  void SetValue(bool value);
  std::function<void()> Click;
};

class CheckBox : public Control {
 public:
  CheckBox(Form* form, std::string name, std::u16string caption = {});
  bool Value() const;
  void SetValue(bool value);
  std::function<void()> Click;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Form* form, std::string name);
  int Value() const;
  void SetValue(int value);
  void SetRange(int min, int max);
  int Max() const;
};

// Tabs numbered from 1, as the user reads them.
class TabStrip : public Control {
 public:
  TabStrip(Form* form, std::string name, std::initializer_list<std::u16string> tabs);
  int SelectedTab() const;
  void SelectTab(int tab);
  std::function<void()> Click;
};

// ---- Forms.

enum class ShowMode { kModeless, kModal };

class Form {
 public:
  explicit Form(std::string name);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  bool Loaded() const;
  bool Shown() const;

  // Loads the form if needed and shows it. Modal: returns once the form is hidden or unloaded, after the events
  // that did it have ended; a form shown already cannot be shown modally (kErrAlreadyShownModal). Modeless: returns
  // at once, and the user acts on it once the running event has ended.
  void Show(ShowMode mode = ShowMode::kModeless);
  // Loaded but not seen: a modal Show of it returns.
  void Hide();

  std::u16string Caption() const;
  void SetCaption(std::u16string caption);
  // The form's window (loading the form).
  HWND hWnd();
  int MousePointer() const;
  // A change is journaled as "pointer <n>" while the form is shown.
  void SetMousePointer(int pointer);
  // The outer size and place, in twips. A new size fires Resize on a loaded form.
  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  void Move(float left, float top, float width, float height);
  // The form sees the Enter key (Form_KeyDown) before the control that has the focus.
  void SetKeyPreview(bool key_preview);
  // The controls in the form's order.
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* ActiveControl() const;
  void Refresh() const {}

  // The runtime's record of the form's life.
  struct State;

 protected:
  virtual void Form_Initialize() {}
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  virtual void Form_Resize() {}
  // Setting `cancel` to nonzero keeps the form loaded.
  virtual void Form_Unload(int& /*cancel*/) {}
  // With key preview: a key pressed anywhere on the form; 13 is Enter.
  virtual void Form_KeyDown(int& /*key_code*/, int /*shift*/) {}

 private:
  friend class Control;
  friend class FormRuntime;
  friend void Load(Form& form);
  friend void Unload(Form& form);
  template <typename F>
  friend F& The();
  template <typename F>
  friend std::unique_ptr<F> NewForm();
  void Designed();
  void Touch() const;

  std::string name_;
  std::vector<Control*> controls_;
  std::unique_ptr<State> state_;
};

void Load(Form& form);
// Runs Form_Unload; unless it cancels, the form's window and controls go (the form object and its members stay).
void Unload(Form& form);

// The form's default instance.
template <typename F>
F& The() {
  static F* const form = [] {
    F* made = new F();
    made->Designed();
    return made;
  }();
  return *form;
}

// A form of its own, besides the default instance (as many as wanted); destroying it forgets it, loaded or not,
// without its events.
template <typename F>
std::unique_ptr<F> NewForm() {
  std::unique_ptr<F> made = std::make_unique<F>();
  made->Designed();
  return made;
}

// The program's entry, which the program defines.
void Main();
