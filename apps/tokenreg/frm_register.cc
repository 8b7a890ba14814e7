// The registration form's load and its registration flow. The flow stops (the form stays for another try) as soon
// as something is missing: nothing goes to the browser unless the token answered the challenge with 32 hex digits
// and the password comes back whole from its encryption under that answer.
#include "frm_register.h"

#include "browser.h"
#include "challenge_reply.h"
#include "modules/aes_api.h"
#include "modules/frm_http_query.h"
#include "modules/nubo_driver.h"
#include "modules/program_routines.h"
#include "program_state.h"
#include "string_table.h"
#include "window_hook.h"

namespace {

constexpr int kMostPasswordFailures = 3;
constexpr int kEsnRetries = 10;

// The ESN as the service knows it: 8 decimal digits.
bool IsEsn(const std::u16string& esn) {
  return esn.size() == 8 && esn.find_first_not_of(u"0123456789") == std::u16string::npos;
}

bool IsAnswer(const std::u16string& answer) {
  return answer.size() == 32 && answer.find_first_not_of(u"0123456789ABCDEF") == std::u16string::npos;
}

// Every byte but the unreserved ones as %XX, so that the session cannot add to the address.
std::u16string PercentEncoded(const std::u16string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::u16string encoded;
  for (const char c : AnsiOf(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
        byte == '-' || byte == '.' || byte == '_' || byte == '~') {
      encoded.push_back(byte);
    } else {
      encoded += {u'%', static_cast<char16_t>(kHex[byte >> 4]), static_cast<char16_t>(kHex[byte & 0x0F])};
    }
  }
  return encoded;
}

}  // namespace

frmRegister::frmRegister() : Form("frmRegister") {
  Move(0, 0, 7500, 6000);
  txtPwd.SetPasswordChar(u'*');
  txtPwd.SetTabIndex(0);
  cmdAuthenticate.SetTabIndex(1);
  cmdCancel.SetTabIndex(2);
  lblStatus.SetFontName("MS Sans Serif");
  for (ComboBox* list : {&Combo1, &Combo2}) {
    list->AddItem(u"Yes");
    list->AddItem(u"No");
    list->SetVisible(false);
  }
  txtpwdstatus.SetVisible(false);
  Command1.SetVisible(false);
  txtPwd.KeyPress = [this](int& key) {
    if (key == 13) cmdAuthenticate_Click();
  };
  cmdAuthenticate.Click = [this] { cmdAuthenticate_Click(); };
  cmdCancel.Click = [this] { Unload(*this); };
  Command1.Click = [] { The<frmHttpQuery>().Show(); };
}

void frmRegister::Form_Load() {
  SetCaption(LoadResString(kCaptionString));
  Label3.SetCaption(LoadResString(kCaseString));
  Label1.SetCaption(LoadResString(kEsnCaptionString));
  lblTop.SetCaption(LoadResString(kPasswordPromptString));
  lblStatus.SetCaption(LoadResString(kSafeguardString) + u"\r\n\r\n" + LoadResString(kRequiredString) + u"\r\n\r\n" +
                       LoadResString(kRegisterNowString) + u"\r\n\r\n" + LoadResString(kInsertString));
  Image2.SetPicture(LoadResPicture(kBannerBitmap));
  FormWindow = hWnd();
  HookDeviceChange();
  WinSetFloating(FormWindow, true);
  ESN = NuboDriver::GetTokenEsn();
  ShowEsn();
  Combo1.SetListIndex(0);
  Combo2.SetListIndex(0);
}

void frmRegister::Form_Unload(int&) { UnhookDeviceChange(); }

void frmRegister::ShowEsn() {
  lblESN.SetCaption(ESN.empty() ? LoadResString(kNotInsertedString) : ESN);
  lblESN.Refresh();
}

void frmRegister::RefreshESN(WPARAM&) {
  ESN = NuboDriver::GetTokenEsn();
  ShowEsn();
}

void frmRegister::AddStatus(const std::u16string& text) {
  lblStatus.SetCaption(lblStatus.Caption() + text);
  lblStatus.Refresh();
}

void frmRegister::cmdAuthenticate_Click() {
  const std::u16string password = txtPwd.Text();
  const size_t bytes = AnsiOf(password).size();
  if (bytes < 6 || bytes > 63) {
    MsgBox(u"Invalid Password.");
    return;
  }
  const std::u16string server_path = ReadWebClientSetting(u"ServerPath");
  const std::u16string ssl = ReadWebClientSetting(u"SSL");
  UseSSL = SettingIsOne(ssl);
  // Without the service's address, or without knowing how to reach it, there is nowhere to ask (the setting's
  // reader has said why).
  if (server_path.empty() || ssl.empty()) return;

  lblStatus.SetCaption(u"Checking Password...\r\n");
  lblStatus.Refresh();
  if (NuboDriver::CheckTokenPassword(password) != 0) {
    const int failures = [&] {
      try {
        return std::stoi(AnsiOf(txtpwdstatus.Text())) + 1;
      } catch (const std::exception&) {
        return 1;
      }
    }();
    txtpwdstatus.SetText(CStr(failures));
    AddStatus(u"Password Check Failed " + CStr(failures) + u" time(s).\r\n");
    if (failures == kMostPasswordFailures) {
      MsgBox(u"Password failed more than 3 times. Authentication failed");
      Unload(*this);
    }
    return;
  }
  AddStatus(u"Authenticating... ");

  std::u16string esn = ESN;
  for (int retries = 0; !IsEsn(esn) && retries < kEsnRetries; ++retries) {
    Sleep(4000);
    esn = NuboDriver::GetTokenEsn();
  }
  if (!IsEsn(esn)) {
    MsgBox(u"GetESN error:" + esn + u". Please wait for 2 seconds and try again.");
    return;
  }

  const std::u16string target = server_path + u"cookieanswergen.asp?esnno=" + esn;
  const std::u16string reply = QueryPage(target);
  DebugLine(0, target);
  if (InStr(reply, u"page must be viewed with a high-security Web browser") != std::u16string::npos) {
    MsgBox(u"The page must be viewed with a high-security Web Browser with 128-bit cipher strength. Please download "
           u"the latest service pack from Microsoft web site.");
    return;
  }
  DebugLine(3, reply);
  const ChallengeReading reading = ReadChallenge(reply);
  if (!reading.challenge) {
    AddStatus(StatusText(reading.cut) + reading.ending);
    return;
  }
  std::u16string kid = reading.challenge->kid;
  const std::u16string& puzzle = reading.challenge->puzzle;
  DebugLine(3, u"puzzle:" + puzzle);
  DebugLine(3, u"kid:" + kid);
  DebugLine(3, u"sid:" + reading.challenge->session_id);

  const std::u16string answer = UCase(NuboDriver::SolvePuzzle(kid, puzzle, std::u16string(puzzle)));
  const std::u16string client_answer = aesAPI::EncKeyHex(puzzle, answer);
  DebugLine(3, u"Answer=NuboDriver.SolvePuzzle(kid, puzzle, puzzle):" + answer);
  DebugLine(3, u"ClientAnswer = aesAPI.EncKeyHex(puzzle, Answer):" + client_answer);
  const std::u16string password_cipher = aesAPI::EncKeyHex(password, answer);
  // A token that gave no answer, or an encryption that does not come back: the service would record garbage.
  if (!IsAnswer(answer) || aesAPI::DecKeyHex(password_cipher, answer) != password) {
    MsgBox(u"Password Encryption Error.");
    return;
  }

  const std::u16string address = std::u16string(UseSSL ? u"https://" : u"http://") + server_path +
                                 u"CCookieSet.asp?sessionid=" + PercentEncoded(reading.challenge->session_id) +
                                 u"&answer=" + client_answer + u"&esnno=" + esn +
                                 (Combo1.ListIndex() == 0 ? u"&p0=1" : u"&p0=0") +
                                 (Combo2.ListIndex() == 0 ? u"&p1=1" : u"&p1=0") + u"&p2=" + password_cipher;
  DebugLine(3, address);
  OpenUrlInBrowser(address);
  Unload(*this);
}
