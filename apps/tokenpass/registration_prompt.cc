// The registration prompt of registration_prompt.h.
#include "registration_prompt.h"

#include <string>

#include "frm_burn_pwd_success.h"
#include "modules/program_routines.h"
#include "program_state.h"

namespace {

constexpr char16_t kTitle[] = u"Register Your Password";

struct Lines {
  const char16_t* first;
  const char16_t* second;
};

Lines LinesOf(PromptVariant variant) {
  switch (variant) {
    case PromptVariant::kEnterInConfirmBox:
      return {u"Password registration requires an Internet connection.",
              u"IF YOU CHOOSE NOT TO REGISTER YOUR PASSWORD, YOUR DATA WILL BE PERMANENTLY LOST IF YOUR PASSWORD IS "
              u"FORGOTTEN!"};
    case PromptVariant::kNextButton:
      return {u"Password registration requires and Internet connection.",
              u"IF YOU CHOOSE TO NOT REGISTER YOUR PASSWORD, YOUR DATA WILL BE PERMANENTLY LOST IF YOUR PASSWORD IS "
              u"FORGOTTEN!"};
    case PromptVariant::kChangeForm:
      return {u"Password registration requires an Internet connection.",
              u"IF YOU CHOOSE TO NOT REGISTER YOUR PASSWORD, YOUR DATA WILL BE PERMANENTLY LOST IF YOUR PASSWORD IS "
              u"FORGOTTEN!"};
  }
  return {};
}

}  // namespace

void RunRegistration(Form& caller) {
  caller.Hide();
  // The path quoted: unquoted, its spaces would let "C:\Program.exe" run in its place.
  std::string command_line = "\"" + AnsiOf(TokenRegPath()) + "\"";
  CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                 &Register::StartRecord, &Register::ProcessRecord);
  WaitForSingleObject(Register::ProcessRecord.hProcess, INFINITE);
  CloseHandle(Register::ProcessRecord.hThread);
  CloseHandle(Register::ProcessRecord.hProcess);
}

bool UserWantsRegistration(PromptVariant variant) {
  const Lines lines = LinesOf(variant);
  const std::u16string first = u"If you forget your new password, your data can only be recovered if your new password "
                               u"is registered.\r\n" +
                               std::u16string(lines.first) + u"\r\n\r\nRegister Now?";
  return MsgBox(first, MB_YESNO | MB_ICONINFORMATION, kTitle) == IDYES ||
         MsgBox(u"!!WARNING!!\r\n" + std::u16string(lines.second) + u"\r\n\r\nREGISTER NOW?",
                MB_YESNO | MB_ICONEXCLAMATION, kTitle) == IDYES;
}

void RegistrationPrompt(Form& caller, PromptVariant variant) {
  if (UserWantsRegistration(variant)) RunRegistration(caller);
  Unload(caller);
  The<frmBurnPwdSuccess>().Show(ShowMode::kModal);
}
