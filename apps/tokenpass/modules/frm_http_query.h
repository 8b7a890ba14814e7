// The web client both form-based programs contain: one GET of the target in txtURL (a host name, optionally "/" and
// the object with its query, no scheme) over HTTP on port 80, or HTTPS on 443 when the program's UseSSL is set, and
// the response body read into txtHTML. The request flows use it hidden: touch it, set txtURL, btSend_Click,
// btGet_Click, read txtHTML, unload. A body that is cut short, does not come in time or passes 64 KiB leaves txtHTML
// empty, so the callers take their failure path.
#pragma once

#include <string>

#include "forms.h"
#include "wininet.h"

// Owned by each program: tokenreg sets it from its SSL setting; tokenpass never does.
extern bool UseSSL;

class frmHttpQuery : public Form {
 public:
  frmHttpQuery();

  TabStrip tabMain{this, "tabMain", {u"Response Header", u"Request Header", u"HTML Retrieval", u"Compose Post"}};
  PictureBox picMain0{this, "picMain0"};
  PictureBox picMain1{this, "picMain1"};
  PictureBox picMain2{this, "picMain2"};
  PictureBox picMain3{this, "picMain3"};
  Label lblURL{this, "lblURL", u"URL:"};
  TextBox txtURL{this, "txtURL"};
  Label lblUsername{this, "lblUsername", u"Username:"};
  TextBox txtUsername{this, "txtUsername"};
  Label lblPassword{this, "lblPassword", u"Password:"};
  TextBox txtPassword{this, "txtPassword"};
  OptionButton optGet{this, "optGet", u"GET"};
  OptionButton optPost{this, "optPost", u"POST"};
  Label lblVersion{this, "lblVersion", u"WinInet version:"};
  Label lblMajor{this, "lblMajor"};
  Label lblMinor{this, "lblMinor"};
  Label lblContentType{this, "lblContentType"};
  Label lblContentLength{this, "lblContentLength"};
  Label lblLastModified{this, "lblLastModified"};
  Label lblStatusCode{this, "lblStatusCode"};
  Label lblHttpVersion{this, "lblHttpVersion"};
  TextBox txtHTML{this, "txtHTML"};
  ProgressBar ProgressBar1{this, "ProgressBar1"};
  CommandButton btSend{this, "btSend", u"Send Request"};
  CommandButton btGet{this, "btGet", u"&Get File"};
  CommandButton btClear{this, "btClear", u"Clear"};
  CommandButton btExit{this, "btExit", u"Exit"};

  // Connect, open and send the GET; a failure is shown in a box.
  void btSend_Click();
  // Reads the whole body into txtHTML.
  void btGet_Click();
  void btClear_Click();
  void btExit_Click();
  // The response header at `info_level` of `request` as the label's caption.
  bool QueryHeaderToLabel(HINTERNET request, DWORD info_level, Label& label);
  std::u16string GetUrlHost();
  std::u16string GetUrlObject();

 protected:
  void Form_Load() override;
  void Form_Unload(int& cancel) override;

 private:
  PictureBox& picMain(int index);
  void CloseRequest();

  HINTERNET internet_ = nullptr;
  DWORD open_error_ = 0;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
};

// How the flows use the form, hidden: `target` sent from a freshly loaded form, its body read, the form unloaded.
// The body; "" when the request failed (the form has said why).
std::u16string QueryPage(const std::u16string& target);

// Texts of the web client's failures.
std::u16string Trim0(const std::u16string& text);
// "Error: <code>(&H<hex>): " and the system's text for the code, or "<No such error>".
std::u16string GetAPIErrorText(DWORD code);
// The web library's own text for one of its codes, without its line end; "" when it has none.
std::u16string GetWinInetErrorText(DWORD code);
// The server's last extended response text that the web library holds.
std::u16string GetLastResponseText();
// Centres the form on the screen, never off its top left corner.
void CenterForm(Form& form);
