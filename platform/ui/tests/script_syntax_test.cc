// Reading scripts: exact and wildcard matching, the escapes the system's texts need, every step and action form,
// and errors that name their line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ui_private.h"
#include "winuser.h"

namespace xp::ui {
namespace {

Pattern CaptionOf(const std::string& pattern_source) {
  const std::vector<Step> steps = ParseScript("box " + pattern_source + " * -> OK\n");
  return steps.at(0).caption;
}

TEST(ScriptMatching, ExactByDefaultWildcardsWhereWritten) {
  struct Case {
    const char* pattern;
    std::string text;
    bool matches;
  };
  const Case cases[] = {
      {R"("Installation completed.")", "Installation completed.", true},
      {R"("Installation completed.")", "Installation completed", false},
      {R"("Installation completed.")", "installation completed.", false},
      {R"("Installation completed.")", "Installation completed. ", false},
      {"*", "", true},
      {"*", "There is already an instance running.", true},
      {R"("Please insert*")", "Please insert the correct Tavik.\r\nReboot your machine to fininsh initial encryption.",
       true},
      {R"("Please insert*")", "Please insert", true},
      {R"("Please insert*")", "Now Please insert", false},
      {R"p("*(error code: 00*)")p", "Scan disk failure (error code: 001)", true},
      {R"p("*(error code: 00*)")p", "Search & encrypt failure (error code: 003)", true},
      {R"p("*(error code: 00*)")p", "Scan disk failure (error code: 010)", false},
      {R"("ab*ab")", "ab", false},  // the two ends may not share characters
      {R"("ab*ab")", "abab", true},
      {R"("*a*a*")", "aa", true},
      {R"("*a*a*")", "a", false},
      {R"("a\*b")", "a*b", true},
      {R"("a\*b")", "aXb", false},
      {R"("Read registry value failed!\r\nAssume Tavik installed.")",
       "Read registry value failed!\r\nAssume Tavik installed.", true},
      {R"("Read registry value failed!\r\nAssume Tavik installed.")",
       "Read registry value failed!\nAssume Tavik installed.", false},
      {R"("do not run any\t\r\napplications*")", "do not run any\t\r\napplications and do not press", true},
      {R"("HKLM\\SOFTWARE\\Quillmarsh\\Tavik\\*")", "HKLM\\SOFTWARE\\Quillmarsh\\Tavik\\driver", true},
      {R"("say \"Yes\"")", "say \"Yes\"", true},
      {R"("\x01\xC4\xE3")", "\x01\xC4\xE3", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CaptionOf(c.pattern).Matches(c.text), c.matches) << c.pattern << " against " << Quote(c.text);
  }
}

TEST(ScriptMatching, QuotedTextsReadBackAsExactlyThemselves) {
  static const char kControlBytes[] = "nul\0and \x7f \x1b[0m \"quoted\"\t*";
  const std::string texts[] = {
      "Quillmarsh Tavik will temporarily shut down other running applications\r\nbefore decrypting your hard drive.",
      "Create reg key failure: HKLM\\SOFTWARE\\Quillmarsh\\Tavik\\*",
      std::string(kControlBytes, sizeof kControlBytes - 1),
      "",
  };
  for (const std::string& text : texts) {
    const Pattern pattern = CaptionOf(Quote(text, true));
    EXPECT_TRUE(pattern.Matches(text)) << Quote(text);
    EXPECT_FALSE(pattern.Matches(text + "x")) << Quote(text);
    EXPECT_EQ(pattern.Source(), Quote(text, true));
    EXPECT_EQ(Pattern(text).Source(), Quote(text, true));
  }
}

// A step in one line of text, so that a table row states everything parsed.
std::string Describe(const Step& step) {
  switch (step.kind) {
    case Step::Kind::kBox:
      return "box " + step.caption.Source() + " " + step.text.Source() +
             (step.style ? " " + StyleName(*step.style) : "") + " -> " + ButtonName(step.answer);
    case Step::Kind::kAttention:
      return ActionText(step.actions.at(0)) + " " + step.caption.Source();
    case Step::Kind::kToken:
      return std::string("token ") + (step.plug ? "plug" : "unplug") + " [" + step.token + "]";
    case Step::Kind::kDialog:
    case Step::Kind::kPump: {
      std::string text = (step.kind == Step::Kind::kDialog ? "dialog " : "pump ") + step.dialog + " " +
                         step.caption.Source() + ":";
      for (const Action& action : step.actions) text += " [" + ActionText(action) + "]";
      return text;
    }
  }
  return "";
}

TEST(ScriptSyntax, ReadsEveryStepAndAction) {
  const struct {
    const char* line;
    const char* parsed;
  } cases[] = {
      {R"(box "Quillmarsh Tavik" "Installation completed." -> OK)",
       R"(box "Quillmarsh Tavik" "Installation completed." -> OK)"},
      {R"(box * "Please insert*" MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 -> no)",
       R"(box * "Please insert*" MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 -> No)"},
      {R"(box * * MB_OK | MB_ICONWARNING -> IDOK)", R"(box * * MB_OK|MB_ICONEXCLAMATION -> OK)"},
      {R"(box * * 0x34 -> Yes)", R"(box * * MB_YESNO|MB_ICONEXCLAMATION -> Yes)"},
      {R"(dialog 134: type 1000 "secret12"; type 1001 "secret12"; click IDOK)",
       R"(dialog 134 *: [type 1000 "secret12"] [type 1001 "secret12"] [click IDOK])"},
      {R"(dialog 0136 "Quillmarsh*":click 1007;click IDOK)",
       R"(dialog 136 "Quillmarsh*": [click 1007] [click IDOK])"},
      {R"(dialog frmBurnPwd: type txtpwd1 "a*b\*c"; enter txtpwd1; enter)",
       R"(dialog frmBurnPwd *: [type txtpwd1 "a*b*c"] [enter txtpwd1] [enter])"},
      {"\tdialog 137: check 1005; uncheck 1005; select 1003 \"User\"; focus 1000; escape; close; ctrl-alt-del  ",
       R"(dialog 137 *: [check 1005] [uncheck 1005] [select 1003 "User"] [focus 1000] [escape] [close] )"
       R"([ctrl-alt-del])"},
      {R"(pump 102: close)", R"(pump 102 *: [close])"},
      {R"(ctrl-alt-del)", R"(ctrl-alt-del *)"},
      {R"(ctrl-alt-del "Welcome*")", R"(ctrl-alt-del "Welcome*")"},
      {R"(token unplug)", R"(token unplug [])"},
      {R"(token plug token2)", R"(token plug [token2])"},
      {R"(sas screen-saver-activity "Windows desktop")", R"(sas screen-saver-activity "Windows desktop")"},
      {R"(power resume)", R"(power resume *)"},
      {R"(dialog 200: power suspend; power resume; sas timeout; sas user-logoff)",
       R"(dialog 200 *: [power suspend] [power resume] [sas timeout] [sas user-logoff])"},
  };
  for (const auto& c : cases) {
    const std::vector<Step> steps = ParseScript(std::string("# a comment\n\n") + c.line + "\r\n");
    ASSERT_EQ(steps.size(), 1u) << c.line;
    EXPECT_EQ(Describe(steps[0]), c.parsed);
    EXPECT_EQ(steps[0].line, 3);
  }
}

TEST(ScriptSyntax, ErrorsNameTheLine) {
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {R"(box "a" -> OK)", "expected the text"},
      {R"(box "a" "b" -> Maybe)", "unknown answer Maybe"},
      {R"(box "a" "b" MB_OKCANCEL -> OK)", "unknown style MB_OKCANCEL"},
      {R"(box "a" "b")", "expected -> and the answer"},
      {R"(box "unterminated -> OK)", "unterminated string"},
      {R"(box "a\q" * -> OK)", "unknown escape \\q"},
      {R"(box "\x4" * -> OK)", "\\x needs two hex digits"},
      {R"(dialog 134 type 1000 "x")", "expected ':'"},
      {R"(dialog 134:)", "expected an action"},
      {R"(token pull)", "expected plug or unplug, not pull"},
      {R"(token plug token1 token2)", "unexpected text after the step"},
      {R"(sas coffee)", "unknown sas event coffee"},
      {R"(dialog 200: power hibernate)", "unknown power event hibernate"},
      {R"(power)", "expected suspend or resume"},
      {R"(dialog 134: press 1000)", "unknown action press"},
      {R"(dialog 134: type 1000 secret12)", "expected a quoted text"},
      {R"(dialog 134: click 0)", "control ID out of range"},
      {R"(dialog 134: click 70000)", "control ID out of range"},
      {R"(dialog 134: click IDOK IDCANCEL)", "unexpected text after the step"},
      {R"(dialog 134: click IDOK, click 2)", "unexpected character ','"},
      {R"(window 1: close)", "unknown step window"},
  };
  for (const auto& c : cases) {
    try {
      ParseScript(std::string("box * * -> OK\n# comment\n\n") + c.line + "\n");
      ADD_FAILURE() << "no error for " << c.line;
    } catch (const ScriptError& error) {
      EXPECT_EQ(error.line(), 4) << c.line;
      EXPECT_THAT(error.what(), ::testing::StartsWith(std::string("line 4: ") + c.error)) << c.line;
    }
  }
}

TEST(ScriptSyntax, ConsoleActionsMayLeaveTheirTextUnquoted) {
  EXPECT_EQ(ActionText(ParseConsoleAction("type 1000 my secret ")), R"(type 1000 "my secret")");
  EXPECT_EQ(ActionText(ParseConsoleAction(R"(type 1000 "with \"quotes\"")")), R"(type 1000 "with \"quotes\"")");
  EXPECT_EQ(ActionText(ParseConsoleAction("select 1003 Administrator")), R"(select 1003 "Administrator")");
  EXPECT_EQ(ActionText(ParseConsoleAction("  click IDCANCEL")), "click IDCANCEL");
  EXPECT_THROW(ParseConsoleAction("type 1000"), ScriptError);
  EXPECT_THROW(ParseConsoleAction("jump"), ScriptError);
}

TEST(BoxStyles, ButtonsAndDefaultOfEachStyleTheSystemShows) {
  const struct {
    uint32_t style;
    std::vector<int> buttons;
    int default_button;
    const char* name;
  } cases[] = {
      {MB_OK, {IDOK}, IDOK, "MB_OK"},
      {MB_OK | MB_ICONERROR, {IDOK}, IDOK, "MB_OK|MB_ICONERROR"},
      {MB_ICONINFORMATION, {IDOK}, IDOK, "MB_OK|MB_ICONINFORMATION"},
      {MB_YESNO, {IDYES, IDNO}, IDYES, "MB_YESNO"},
      {MB_YESNO | MB_ICONQUESTION, {IDYES, IDNO}, IDYES, "MB_YESNO|MB_ICONQUESTION"},
      {MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, {IDYES, IDNO}, IDNO,
       "MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2"},
      {MB_OK | MB_DEFBUTTON2, {IDOK}, IDOK, "MB_OK|MB_DEFBUTTON2"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(BoxStyleSupported(c.style)) << c.name;
    EXPECT_EQ(BoxButtons(c.style), c.buttons) << c.name;
    EXPECT_EQ(DefaultBoxButton(c.style), c.default_button) << c.name;
    EXPECT_EQ(StyleName(c.style), c.name);
  }
  // MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_RETRYCANCEL, a fifth icon, MB_DEFBUTTON3, MB_SYSTEMMODAL,
  // MB_SETFOREGROUND, MB_TOPMOST: no caller of the system shows them.
  for (const uint32_t style : {0x1u, 0x2u, 0x3u, 0x5u, 0x50u, 0x200u, 0x1000u, 0x10000u, 0x40000u}) {
    EXPECT_FALSE(BoxStyleSupported(style)) << style;
  }
  EXPECT_EQ(StyleName(0x1000u), "0x00001000");
}

}  // namespace
}  // namespace xp::ui
