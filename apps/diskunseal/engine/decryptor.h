// The uninstall's engine: once the main dialog has proved the user's right to the disk, it decrypts every protected
// file in two resumable rounds, reports the files it could not decrypt, removes the system and hands over to the
// uninstall command or the recovery tool. Each phase ends in a checkpoint of the install state, so a run that starts
// again after a restart goes on from there. It never returns: it ends the process.
#pragma once

#include <memory>
#include <string>

class CWnd;

namespace tavik::diskunseal {

class CDecryptor {
 public:
  // `owner` is the main dialog: the engine writes its progress to control 1004, moves the progress bar 1002, shows
  // the current file in 1036 and reads the password the user typed from 1000.
  explicit CDecryptor(CWnd* owner);
  ~CDecryptor();
  CDecryptor(const CDecryptor&) = delete;
  CDecryptor& operator=(const CDecryptor&) = delete;

  // Reads the token's ESN, with its retries and boxes; false when no 8-character ESN was read.
  bool getNuboESN();
  // Key Answer mode: the token is never used. `xcfk` holds the 32 bytes of the XCFK the Key Answer opened,
  // `key_text` the CFK's 32 lower-case hex digits (the report's "Decryption Key").
  void UseKeyAnswer(const unsigned char* xcfk, const std::string& key_text);
  // Runs or resumes the uninstall from the install state; ends the process.
  [[noreturn]] void RunDecryption();

  // The two decryption rounds alone, under the key UseKeyAnswer gave, returning when they are done: what the
  // benchmark times. Raises conversion::RunStop on a stop.
  void RunRounds();
  // Durable commits flush each decrypted file and its history line to the disk before the temporary copy goes.
  // Always on in the program; the benchmark measures their cost by turning them off.
  void set_durable_commits(bool durable);

 private:
  struct Run;
  std::unique_ptr<Run> run_;
};

}  // namespace tavik::diskunseal
