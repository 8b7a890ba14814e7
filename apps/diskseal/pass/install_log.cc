// The encryption's log lines in MRVLOG and its progress stamps in _mrvDebugInfo.txt.
#include "diskseal_private.h"
#include "install/init_encrypt.h"

namespace tavik::diskseal {

void StampDebugInfo(const char* event) {
  conversion::AppendToFile(InstallFile("_mrvDebugInfo.txt"), "\n[Encrypting] ", Stamp() + event);
}

}  // namespace tavik::diskseal

void CInitEncrypt::LogEvent(const std::string& text) {
  if (log_stream_ != nullptr) std::fputs(tavik::diskseal::LogLine(text).c_str(), log_stream_);
}
