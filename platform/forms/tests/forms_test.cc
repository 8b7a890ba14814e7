// The form runtime driven by a UI script in this process: a chain of forms shown modally inside each other's events
// that unwinds when the last one closes, design texts back at every load, typing within MaxLength, Enter through
// the form's key preview, the untrapped error that ends the program with a box, functions bound by name at their
// first call, and a form's window that can be subclassed and put on top.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms.h"
#include "scratch_machine.h"
#include "ui_journal.h"
#include "xp/ui_script.h"

namespace {

std::vector<std::string> events;

class frmSecond;

// A start form like the programs': it previews keys, and its button closes it and opens the next form modally.
class frmFirst : public Form {
 public:
  frmFirst() : Form("frmFirst") {
    SetCaption(u"First");
    SetKeyPreview(true);
    cmdNext.Click = [this] { Next(); };
  }
  Label lblHint{this, "lblHint", u"as designed"};
  CommandButton cmdNext{this, "cmdNext", u"&Next >>"};
  frmSecond* second = nullptr;

 protected:
  void Form_Initialize() override {
    events.push_back("first initialize");
    lblHint.SetCaption(u"set when created");
  }
  void Form_Load() override { events.push_back("first load"); }
  void Form_Activate() override { events.push_back("first activate"); }
  void Form_KeyDown(int& key_code, int) override { events.push_back("first keydown " + std::to_string(key_code)); }
  void Form_Unload(int&) override { events.push_back("first unload"); }

 private:
  void Next();
};

class frmSecond : public Form {
 public:
  frmSecond() : Form("frmSecond") {
    SetCaption(u"Second");
    txtName.SetMaxLength(5);
    txtName.SetPasswordChar(u'*');
    txtName.SetTabIndex(1);
    cmdBack.SetTabIndex(2);
    txtName.KeyPress = [this](int& key) {
      events.push_back("second keypress " + std::to_string(key) + " " + AnsiOf(txtName.Text()));
    };
    cmdBack.Click = [this] {
      Unload(*this);
      first->Show(ShowMode::kModal);
      events.push_back("back returns");
    };
  }
  TextBox txtName{this, "txtName"};
  CommandButton cmdBack{this, "cmdBack", u"<< &Back"};
  frmFirst* first = nullptr;

 protected:
  void Form_Load() override { events.push_back("second load"); }
  void Form_Activate() override {
    events.push_back("second activate");
    txtName.SetFocus();
  }
};

void frmFirst::Next() {
  Unload(*this);
  second->Show(ShowMode::kModal);
  events.push_back("next returns");
}

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override { events.clear(); }
  void Play(const xp::ui::Script& script) { script.Install(machine_.root()); }
  std::vector<std::string> Journal() const { return xp::test::UiJournal(machine_.root()); }

  xp::test::ScratchMachine machine_;
};

TEST_F(FormsTest, AChainOfModalFormsNestsInsideEventsAndUnwindsWhenTheLastOneCloses) {
  xp::ui::Script script;
  script.Dialog("frmFirst").Click("cmdNext");
  script.Dialog("frmSecond").Type("txtName", "abcdefgh").Enter("txtName").Click("cmdBack");
  script.Dialog("frmFirst").Enter().Close();
  Play(script);
  const auto first = NewForm<frmFirst>();
  const auto second = NewForm<frmSecond>();
  first->second = second.get();
  second->first = first.get();
  first->Show(ShowMode::kModal);

  EXPECT_EQ(events, (std::vector<std::string>{
                        "first initialize", "first load", "first activate", "first unload", "second load",
                        "second activate", "second keypress 13 abcde", "first load", "first activate",
                        "first keydown 13", "first unload", "back returns", "next returns"}));
  EXPECT_FALSE(first->Loaded());
  EXPECT_FALSE(second->Loaded());
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Journal(), (std::vector<std::string>{
                           "dialog frmFirst \"First\" open",
                           "dialog frmFirst control lblHint static \"set when created\"",
                           "dialog frmFirst control cmdNext button \"&Next >>\"",
                           "dialog frmFirst focus cmdNext",
                           "dialog frmFirst: click cmdNext",
                           "dialog frmFirst unload",
                           "dialog frmSecond \"Second\" open",
                           "dialog frmSecond control txtName edit \"\" password limit=5",
                           "dialog frmSecond control cmdBack button \"<< &Back\"",
                           "dialog frmSecond focus txtName",
                           // A password box is journaled masked: its length (cut to the limit) is all it shows.
                           "dialog frmSecond: type txtName \"********\"",
                           "dialog frmSecond control txtName edit \"*****\" password limit=5",
                           "dialog frmSecond: enter txtName",
                           "dialog frmSecond: click cmdBack",
                           "dialog frmSecond focus cmdBack",
                           "dialog frmSecond unload",
                           "dialog frmFirst \"First\" open",
                           "dialog frmFirst control lblHint static \"as designed\"",
                           "dialog frmFirst control cmdNext button \"&Next >>\"",
                           "dialog frmFirst focus cmdNext",
                           "dialog frmFirst: enter",
                           "dialog frmFirst: close",
                           "dialog frmFirst unload",
                       }));
}

// Enter on a form that previews keys reaches the form, then only a text box: the focused button is not pressed.
TEST_F(FormsTest, EnterReachesAPreviewingFormAndThenOnlyATextBox) {
  class frmKeys : public Form {
   public:
    frmKeys() : Form("frmKeys") {
      SetKeyPreview(true);
      cmdGo.Click = [] { events.push_back("click"); };
      txtIn.KeyPress = [](int& key) { events.push_back("keypress " + std::to_string(key)); };
    }
    CommandButton cmdGo{this, "cmdGo", u"Go"};
    TextBox txtIn{this, "txtIn"};

   protected:
    void Form_KeyDown(int& key_code, int) override { events.push_back("keydown " + std::to_string(key_code)); }
  };
  xp::ui::Script script;
  script.Dialog("frmKeys").Enter().Enter("txtIn").Click("cmdGo").Close();
  Play(script);
  NewForm<frmKeys>()->Show(ShowMode::kModal);
  EXPECT_EQ(events, (std::vector<std::string>{"keydown 13", "keydown 13", "keypress 13", "click"}));
}

// Hiding a modally shown form returns from its Show; its texts stay until it is unloaded and loaded again.
TEST_F(FormsTest, HidingAModalFormReturnsFromItsShowAndKeepsItsTexts) {
  class frmHide : public Form {
   public:
    frmHide() : Form("frmHide") {
      cmdHide.Click = [this] {
        lblNote.SetCaption(u"changed");
        SetMousePointer(kHourglassPointer);
        Screen.SetMousePointer(kHourglassPointer);
        Hide();
      };
    }
    Label lblNote{this, "lblNote", u"designed"};
    CommandButton cmdHide{this, "cmdHide", u"Hide"};
  };
  xp::ui::Script script;
  script.Dialog("frmHide").Click("cmdHide");
  Play(script);
  const auto form = NewForm<frmHide>();
  form->Show(ShowMode::kModal);
  EXPECT_TRUE(form->Loaded());
  EXPECT_FALSE(form->Shown());
  EXPECT_EQ(form->lblNote.Caption(), u"changed");
  Unload(*form);
  EXPECT_EQ(form->lblNote.Caption(), u"designed") << "touching a control of an unloaded form loads it afresh";
  const std::vector<std::string> journal = Journal();
  EXPECT_EQ(std::vector<std::string>(journal.end() - 6, journal.end()),
            (std::vector<std::string>{"dialog frmHide: click cmdHide", "dialog frmHide control lblNote static \"changed\"",
                                      "dialog frmHide pointer 11", "screen pointer 11", "dialog frmHide hide",
                                      "dialog frmHide unload"}));
}

TEST_F(FormsTest, AnErrorNoHandlerTrapsEndsTheProgramWithABox) {
  class frmRaise : public Form {
   public:
    frmRaise() : Form("frmRaise") {
      cmdGo.Click = [] { Err.Raise(kErrFileNotFound, u"test", u"File not found: nosuch.dll"); };
    }
    CommandButton cmdGo{this, "cmdGo", u"Go"};
  };
  App.Title = u"Sample";
  xp::ui::Script script;
  script.Dialog("frmRaise").Click("cmdGo");
  script.ExpectBox("Sample", "Run-time error '53':\r\n\r\nFile not found: nosuch.dll", MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  Play(script);
  EXPECT_EXIT(NewForm<frmRaise>()->Show(ShowMode::kModal), ::testing::ExitedWithCode(1), "run-time error 53");
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(FormsTest, ALateBoundFunctionTellsAMissingFileFromAMissingEntryPoint) {
  const struct {
    const char* library;
    const char* function;
    long number;
    std::u16string description;
  } cases[] = {
      {"nosuch.dll", "vbGetESN", kErrFileNotFound, u"File not found: nosuch.dll"},
      {"tokenio.dll", "vbNoSuchFunction", kErrEntryPointNotFound,
       u"Can't find DLL entry point vbNoSuchFunction in tokenio.dll"},
  };
  for (const auto& c : cases) {
    const DllFunction<int(unsigned short*)> function{c.library, c.function};
    unsigned short value = 0;
    try {
      function(&value);
      ADD_FAILURE() << c.function << " bound";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), c.number) << c.library;
      EXPECT_EQ(error.Description(), c.description);
    }
  }
  const DllFunction<int(unsigned short*)> vbGetRegister31{"tokenio.dll", "vbGetRegister31"};
  unsigned short status = 0;
  EXPECT_NE(vbGetRegister31(&status), 0) << "the machine's token answers";
}

LRESULT CALLBACK Recorder(HWND, UINT, WPARAM, LPARAM);
WNDPROC saved_procedure = nullptr;
std::vector<UINT> heard;

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  heard.push_back(message);
  return CallWindowProcA(saved_procedure, window, message, wparam, lparam);
}

TEST_F(FormsTest, AFormsWindowCanBeSubclassedAndPutOnTop) {
  class frmPlain : public Form {
   public:
    frmPlain() : Form("frmPlain") {}
  };
  const auto form = NewForm<frmPlain>();
  const HWND window = form->hWnd();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE));
  EXPECT_EQ(Journal().back(), "dialog frmPlain topmost at 0,0");

  saved_procedure = reinterpret_cast<WNDPROC>(GetWindowLongA(window, GWL_WNDPROC));
  ASSERT_NE(saved_procedure, nullptr);
  EXPECT_EQ(SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)),
            reinterpret_cast<LONG_PTR>(saved_procedure));
  SendMessageA(window, 0x0219, 7, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(heard, (std::vector<UINT>{0x0219, WM_CLOSE}));
  EXPECT_FALSE(form->Loaded()) << "the close box unloads the form through the procedure called on";
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE)) << "the window went with the form";
}

TEST_F(FormsTest, ResourcesAreFoundByNumber) {
  static const StringTable strings = {{101, u"Selvanor"}, {109, u"Quillmarsh Tavik Selvanor"}};
  static const BitmapTable bitmaps = {{101, "banner"}};
  EXPECT_EQ(LoadResString(109), u"Quillmarsh Tavik Selvanor");
  EXPECT_EQ(LoadResPicture(101).id, 101);
  try {
    LoadResString(110);
    ADD_FAILURE() << "string 110 found";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), kErrResourceNotFound);
  }
}

}  // namespace
