// The web client form: its load, the send and the read, the clear and exit buttons, and the texts of its failures.
// Each send closes the handles of the one before, and unloading closes them all: no request leaves its connection
// behind.
#include "frm_http_query.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr DWORD kReadPiece = 2048;
// More than any page of the service: a reply that passes it is no reply.
constexpr size_t kMostBody = 64 * 1024;
constexpr DWORD kFormatFromModule = 0x00000800;
constexpr char16_t kDefaultHost[] = u"localhost";

std::u16string Signed(DWORD code) { return CStr(static_cast<int32_t>(code)); }

std::u16string Hex(DWORD code) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%X", code);
  return TextOfAnsi(digits);
}

}  // namespace

frmHttpQuery::frmHttpQuery() : Form("frmHttpQuery") {
  SetCaption(u"WinInet App");
  Move(0, 0, 9600, 7200);
  txtHTML.SetMultiLine(true);
  for (Label* header : {&lblContentType, &lblContentLength, &lblLastModified, &lblStatusCode, &lblHttpVersion}) {
    header->SetTag(u"True");
  }
  tabMain.Click = [this] { picMain(tabMain.SelectedTab() - 1).ZOrder(); };
  btSend.Click = [this] { btSend_Click(); };
  btGet.Click = [this] { btGet_Click(); };
  btClear.Click = [this] { btClear_Click(); };
  btExit.Click = [this] { btExit_Click(); };
}

PictureBox& frmHttpQuery::picMain(int index) {
  PictureBox* const panels[] = {&picMain0, &picMain1, &picMain2, &picMain3};
  return *panels[index];
}

void frmHttpQuery::Form_Load() {
  CenterForm(*this);
  picMain(0).ZOrder();
  optGet.SetValue(true);
  internet_ = connection_ = request_ = nullptr;
  internet_ = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  open_error_ = internet_ == nullptr ? GetLastError() : 0;
}

void frmHttpQuery::Form_Unload(int&) {
  CloseRequest();
  if (internet_ != nullptr) InternetCloseHandle(internet_);
  internet_ = nullptr;
}

void frmHttpQuery::CloseRequest() {
  if (request_ != nullptr) InternetCloseHandle(request_);
  if (connection_ != nullptr) InternetCloseHandle(connection_);
  request_ = connection_ = nullptr;
}

std::u16string frmHttpQuery::GetUrlHost() {
  if (txtURL.Text().empty()) txtURL.SetText(kDefaultHost);
  const std::u16string url = txtURL.Text();
  return url.substr(0, url.find(u'/'));
}

std::u16string frmHttpQuery::GetUrlObject() {
  const std::u16string url = txtURL.Text();
  const size_t slash = url.find(u'/');
  return slash == std::u16string::npos ? std::u16string() : url.substr(slash);
}

void frmHttpQuery::btSend_Click() {
  Screen.SetMousePointer(kHourglassPointer);
  btSend.SetEnabled(true);
  [&] {
    if (internet_ == nullptr) {
      MsgBox(u"InternetOpen call failed; Error code: " + Signed(open_error_) + u".");
      return;
    }
    INTERNET_VERSION_INFO version{};
    DWORD length = sizeof version;
    InternetQueryOptionA(internet_, INTERNET_OPTION_VERSION, &version, &length);
    lblMajor.SetCaption(CStr(version.dwMajorVersion));
    lblMinor.SetCaption(CStr(version.dwMinorVersion));
    CloseRequest();
    const INTERNET_PORT port = UseSSL ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    connection_ = InternetConnectA(internet_, AnsiOf(GetUrlHost()).c_str(), port, AnsiOf(txtUsername.Text()).c_str(),
                                   AnsiOf(txtPassword.Text()).c_str(), INTERNET_SERVICE_HTTP, 0, 0);
    if (connection_ == nullptr) {
      MsgBox(u"InternetConnect call failed; Error code: " + Signed(GetLastError()) + u".");
      return;
    }
    const DWORD flags = UseSSL ? INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION
                               : INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION;
    request_ = HttpOpenRequestA(connection_, "GET", AnsiOf(GetUrlObject()).c_str(), "HTTP/1.0", nullptr, nullptr,
                                flags, 0);
    if (request_ == nullptr) {
      MsgBox(u"HttpOpenRequest call failed; Error code: " + Signed(GetLastError()) + u".");
      return;
    }
    if (HttpSendRequestA(request_, nullptr, 0, nullptr, 0)) {
      btSend.SetEnabled(false);
      btGet.SetEnabled(true);
      return;
    }
    const DWORD code = GetLastError();
    std::u16string detail;
    if (code < INTERNET_ERROR_BASE) {
      detail = u"Unknown Error " + Signed(code);
    } else if (code == ERROR_INTERNET_EXTENDED_ERROR) {
      detail = u"WinInet Error -" + Signed(code) + u" - " + GetLastResponseText();
    } else {
      detail = u"WinInet Error -" + Signed(code) + u" - " + GetWinInetErrorText(code);
    }
    MsgBox(std::u16string(UseSSL ? u"Failed requesting url: https://" : u"Failed requesting url: http://") +
           txtURL.Text() + u". Please contact Teradolm Customer Support: " + detail);
  }();
  Screen.SetMousePointer(kDefaultPointer);
}

void frmHttpQuery::btGet_Click() {
  std::string body;
  bool whole = true;
  const bool counted = [&] {
    try {
      return std::stol(AnsiOf(lblContentLength.Caption())) != 0;
    } catch (const std::exception&) {
      return false;
    }
  }();
  for (;;) {
    std::string buffer(kReadPiece, ' ');
    DWORD read = 0;
    if (!InternetReadFile(request_, buffer.data(), kReadPiece, &read)) {
      const DWORD code = GetLastError();
      MsgBox(u"InternetReadFile call failed; " + Signed(code) + u"\r\nError Text: " + GetAPIErrorText(code));
      whole = false;
      break;
    }
    body.append(buffer, 0, std::min(read, kReadPiece));
    if (read == 0) break;
    if (body.size() > kMostBody) {
      MsgBox(u"InternetReadFile call failed; " + Signed(ERROR_INSUFFICIENT_BUFFER) + u"\r\nError Text: " +
             GetAPIErrorText(ERROR_INSUFFICIENT_BUFFER));
      whole = false;
      break;
    }
    if (counted) {
      try {
        ProgressBar1.SetValue(std::min(ProgressBar1.Value() + static_cast<int>(read), ProgressBar1.Max()));
      } catch (const RuntimeError&) {
      }
    }
  }
  // Only a reply that came whole is taken.
  txtHTML.SetText(whole ? TextOfAnsi(body) : std::u16string());
}

void frmHttpQuery::btClear_Click() {
  for (Control* control : Controls()) {
    if (control->kind() == Control::Kind::kLabel && UCase(control->Tag()) == u"TRUE") {
      static_cast<Label*>(control)->SetCaption(u"");
    } else if (control->kind() == Control::Kind::kTextBox) {
      static_cast<TextBox*>(control)->SetText(u"");
    }
  }
  CloseRequest();
  btSend.SetEnabled(true);
}

void frmHttpQuery::btExit_Click() { Unload(*this); }

bool frmHttpQuery::QueryHeaderToLabel(HINTERNET request, DWORD info_level, Label& label) {
  std::string buffer(1024, '\0');
  DWORD length = static_cast<DWORD>(buffer.size());
  DWORD index = 0;
  const BOOL found = HttpQueryInfoA(request, info_level, buffer.data(), &length, &index);
  label.SetCaption(Trim0(TextOfAnsi(buffer)));
  return found != FALSE;
}

std::u16string QueryPage(const std::u16string& target) {
  frmHttpQuery& http = The<frmHttpQuery>();
  Load(http);
  http.txtURL.SetText(target);
  http.btSend_Click();
  http.btGet_Click();
  const std::u16string body = http.txtHTML.Text();
  Unload(http);
  return body;
}

std::u16string Trim0(const std::u16string& text) { return text.substr(0, text.find(u'\0')); }

std::u16string GetAPIErrorText(DWORD code) {
  const std::u16string prefix = u"Error: " + Signed(code) + u"(&H" + Hex(code) + u"): ";
  std::string buffer(256, '\0');
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      buffer.data(), static_cast<DWORD>(buffer.size()), nullptr);
  if (length == 0) return prefix + u"<No such error>";
  std::u16string text = Trim0(TextOfAnsi(buffer));
  if (text.ends_with(u"\r\n")) text.resize(text.size() - 2);
  return prefix + text;
}

std::u16string GetWinInetErrorText(DWORD code) {
  std::string buffer(257, '\0');
  const DWORD length = FormatMessageA(kFormatFromModule, GetModuleHandleA("wininet.dll"), code, 0, buffer.data(), 256,
                                      nullptr);
  if (length == 0) return {};
  std::u16string text = TextOfAnsi(buffer.substr(0, length));
  // The line end the message table leaves, when there is one: a shorter text loses nothing.
  if (text.ends_with(u"\r\n")) text.resize(text.size() - 2);
  return text;
}

std::u16string GetLastResponseText() {
  DWORD error = 0;
  DWORD length = 0;
  InternetGetLastResponseInfoA(&error, nullptr, &length);
  std::string buffer(length + 1, '\0');
  InternetGetLastResponseInfoA(&error, buffer.data(), &length);
  return TextOfAnsi(buffer.substr(0, length));
}

void CenterForm(Form& form) {
  const float left = std::max(0.0f, std::round((Screen.Width() - form.Width()) / 2));
  const float top = std::max(0.0f, std::round((Screen.Height() - form.Height()) / 2));
  form.Move(left, top, form.Width(), form.Height());
}
