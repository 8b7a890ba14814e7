// What the encryption engine shows and reads through the dialog that owns it (the main dialog): the running text,
// the file at work, the progress bar, the typed password and the look of the encryption phase. The engine knows
// its owner only through this face, so its work can also be driven without a dialog.
#pragma once

#include <cstdint>
#include <string>

class CWnd;

namespace tavik::diskseal {

class InstallView {
 public:
  virtual ~InstallView() = default;
  // The window the engine's boxes and message dialogs belong to; nullptr for none.
  virtual CWnd* Window() = 0;
  // The password typed into the main dialog (at most 128 characters).
  virtual std::string Password() = 0;
  // Appends to the running text and scrolls it into view.
  virtual void AppendText(const std::string& text) = 0;
  virtual void ShowCurrentFile(const std::string& path) = 0;
  virtual void ShowProgressBar(bool visible) = 0;
  // Shows the bar at 0 of 0..upper.
  virtual void StartProgress(uint16_t upper) = 0;
  virtual void StepProgress() = 0;
  // The encryption phase: the password edit and the button disabled, the progress caption and the warning shown.
  virtual void EnterEncryptionLook() = 0;
};

}  // namespace tavik::diskseal
