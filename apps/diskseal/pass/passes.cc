// The two encryption passes: the first over every fixed drive, in letter order; the second over the folders of
// MRVEFLST (the Windows temporary folder and the user's own list). Each records its end in the install state.
#include <algorithm>

#include "diskseal_private.h"
#include "conversion.h"
#include "install/init_encrypt.h"

using tavik::diskseal::InstallFile;
using tavik::diskseal::StampDebugInfo;
using tavik::diskseal::Stop;

namespace {

void WriteState(unsigned short state) {
  if (!write_hd_install_state(state)) Stop("Write install state error.");
}

}  // namespace

void CInitEncrypt::EncryptToDoList(bool first_pass) {
  if (found_count_ > 0) {
    total_found_ += found_count_;
    AppendProgressText("\r\nEncrypting ...");
    owner_->StartProgress(static_cast<uint16_t>(std::min<unsigned int>(found_count_, 0xFFFF)));
  }
  std::vector<std::string> to_do;
  to_do.swap(to_do_);
  for (const std::string& path : to_do) {
    owner_->ShowCurrentFile(path);
    PumpMessages();
    HandleResult(EncryptFileInPlace(path), path, first_pass);
    owner_->StepProgress();
  }
}

void CInitEncrypt::RunFirstPass() {
  StampDebugInfo("Start 1st round encryption.");
  if (!key_ready_) PrepareKeyFromToken("Invalid Data [005]");
  if (!InitEncryptionFiles()) Stop("initialization error");
  if (!tavik::diskseal::SaveSysDir(owner_->Window())) Stop("Failed to save sysDir!");
  tavik::diskseal::WriteDecryptedFlagOrStop(tavik::decrypted_flag::kEncrypting, "Read failed for install Flag ", "Write failed for install Flag ");
  for (const char letter : tavik::diskseal::FixedDriveLetters()) {
    AppendProgressText(std::string("\r\nSearching ") + letter + " partition ...");
    if (!to_do_.empty()) Stop("encryption verify failure");
    freeRijndaleTempKey();
    found_count_ = 0;
    if (SearchAndEncrypt(std::string(1, letter) + ":") != 0) Stop("encryption failed for scan 1");
    EncryptToDoList(/*first_pass=*/true);
  }
  freeRijndaleTempKey();
  owner_->ShowProgressBar(false);
  WriteState(tavik::install_state::kFirstPassDone);
  StampDebugInfo("End 1st round encryption.");
}

void CInitEncrypt::RunSecondPass() {
  StampDebugInfo("Start 2nd round encryption.");
  AppendProgressText("\r\nSearching remaining files on C partition ...");
  owner_->ShowProgressBar(false);
  if (!InitEncryptionFiles()) Stop("initialization error");
  if (!GenerateEfl()) Stop("Failed to generate inclusion file store");
  std::FILE* list = std::fopen(InstallFile("MRVEFLST").c_str(), "r");
  if (list == nullptr) Stop("Failed to Open Encryption Folder File");
  std::vector<std::string> folders;
  tavik::conversion::FolderLineReader reader(list);
  for (std::string folder; reader.Next(&folder);) folders.push_back(folder);
  std::fclose(list);
  if (reader.error() != nullptr) Stop(reader.error());
  if (!key_ready_) PrepareKeyFromToken("Invalid Data [007]");

  // The driver gets every listed folder as an inclusion at once; the walk decides with all of them too.
  for (const std::string& folder : folders) rules_.AddFolder(folder, tavik::policy::RuleKind::kInclusion);
  for (const std::string& folder : folders) {
    if (log_stream_ != nullptr) std::fputs("$$$$$$$$$$$$ Encryption Starts $$$$$$$$$$$$\n", log_stream_);
    if (!to_do_.empty()) Stop("encryption verify failed before scan 2");
    found_count_ = 0;
    if (SearchAndEncrypt(folder) != 0) Stop("encryption failed for scan 2");
    EncryptToDoList(/*first_pass=*/false);
    freeRijndaleTempKey();
  }
  owner_->ShowProgressBar(false);
  owner_->ShowCurrentFile("");
  WriteState(tavik::install_state::kSecondPassDone);
  StampDebugInfo("End 2nd round encryption.");
}
