// The engine's dialogs, in place of their resource script entries.
#include "engine_resources.h"

#include "decryptor_run.h"
#include "report_dlg.h"

namespace tavik::diskunseal {

using namespace xp::res;

DialogTemplate ReportDialogTemplate() {
  return {static_cast<int>(kReportDialog),
          "Quillmarsh Tavik",
          {
              EditText(kReportExplanation, ES_MULTILINE | ES_READONLY),
              EditText(kReportText, ES_MULTILINE | ES_READONLY | WS_VSCROLL),
              AutoCheckBox("I have read the report", kReportRead),
              PushButton("Recover My Files", kRecoverFiles, WS_DISABLED),
              PushButton("Complete Decryption", kCompleteDecryption, WS_DISABLED),
          }};
}

DialogTemplate MessageDialogTemplate() {
  return {static_cast<int>(kMessageDialog), "Quillmarsh Tavik",
          {LText("", kMessageText), DefPushButton("OK", IDOK)}};
}

}  // namespace tavik::diskunseal
