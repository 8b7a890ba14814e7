// The logon component's dialogs as its person answers them: the ids are the component's own resources.
#include "logon_steps.h"

#include "windows.h"

namespace tavik::scenarios {
namespace {

constexpr int kWelcomeNotice = 100;
constexpr int kLogonDialog = 300, kPasswordEdit = 1000, kLogOnButton = 203;
constexpr int kAccountDialog = 104, kAccountList = 1019;
constexpr int kAddAccountDialog = 600, kAccountPasswordEdit = 608;

}  // namespace

void AnswerTokenLogOn(xp::ui::Script& script, std::string_view token_password) {
  script.Dialog(kWelcomeNotice).CtrlAltDel();
  script.Dialog(kLogonDialog).Type(kPasswordEdit, token_password).Click(kLogOnButton);
}

void AnswerFirstAccount(xp::ui::Script& script, std::string_view windows_password) {
  script.Dialog(kAccountDialog).Select(kAccountList, "New_Account").Click(IDOK);
  script.Dialog(kAddAccountDialog).Type(kAccountPasswordEdit, windows_password).Click(IDOK);
}

void AnswerKeptAccount(xp::ui::Script& script, std::string_view account) {
  script.Dialog(kAccountDialog).Select(kAccountList, account).Click(IDOK);
}

}  // namespace tavik::scenarios
