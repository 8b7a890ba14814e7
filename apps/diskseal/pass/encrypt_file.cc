// Encrypting one file in place, committed in the encryption history before its plain copy (".H1K") goes.
#include "install/init_encrypt.h"

int CInitEncrypt::EncryptFileInPlace(const std::string& path) {
  return tavik::conversion::ConvertFileInPlace(tavik::conversion::kEncryption, key_, path, owner_->Window(),
                                               &history_);
}
