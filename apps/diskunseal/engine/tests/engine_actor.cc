// A stand-in for diskunseal's main dialog, run on a test's machine: the dialog with the controls the engine drives
// (password 1000, progress text 1004, progress bar 1002, current file 1036); its Continue starts the engine. With
// UNSEAL_KEY_ANSWER set to the CFK's 32 hex digits the engine runs in Key Answer mode, else with the token and the
// password typed into 1000.
#include <cstdlib>
#include <cstring>
#include <string>

#include "afxwin.h"
#include "decryptor.h"
#include "engine_resources.h"
#include "hex.h"
#include "setupcore.h"

namespace {

using namespace xp::res;

constexpr int kMainDialog = 102;

const DialogResources kDialogs = {
    {kMainDialog,
     "Quillmarsh Tavik Uninstall",
     {
         EditText(1000, ES_PASSWORD),
         EditText(1004, ES_MULTILINE | ES_READONLY),
         Progress(1002),
         EditText(1036, ES_READONLY),
         DefPushButton("Continue", IDOK),
     }},
    tavik::diskunseal::ReportDialogTemplate(),
    tavik::diskunseal::MessageDialogTemplate(),
};

class CMainStandIn : public CDialog {
 public:
  CMainStandIn() : CDialog(kMainDialog) {}

 protected:
  void OnOK() override {
    tavik::diskunseal::CDecryptor engine(this);
    if (const char* key = std::getenv("UNSEAL_KEY_ANSWER")) {
      unsigned char cfk[16] = {};
      if (!tavik::hex::DecodeStrict(key, cfk, sizeof cfk)) std::exit(3);
      unsigned char xcfk[33] = {};
      expand_cfk(cfk, xcfk);
      engine.UseKeyAnswer(xcfk, key);
    } else if (!engine.getNuboESN()) {
      std::exit(2);
    }
    engine.RunDecryption();
  }
};

class CActorApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    CMainStandIn dialog;
    dialog.DoModal();
    return FALSE;
  }
};

CActorApp theApp;

}  // namespace
