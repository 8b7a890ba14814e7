// The search of the passes: a folder's files that the install must encrypt go to the to-do list, in search order.
// A file is encrypted exactly when the driver will protect it, decided by the routine the driver uses; files this
// install encrypted already are never taken again, and the installer's bad names and types stay plain and are
// listed as plain-left, so that the driver leaves them plain too.
#include "diskseal_private.h"
#include "install/init_encrypt.h"

int CInitEncrypt::SearchAndEncrypt(const std::string& folder) {
  return tavik::conversion::WalkFolder(
      owner_->Window(), folder, "Search & encrypt failure",
      [this](const std::string& sub_folder) { return isInList(sub_folder.c_str(), &non_encryption_) != 0; },
      [this](const std::string& file) { ConsiderFile(file); });
}

void CInitEncrypt::ConsiderFile(const std::string& path) {
  if (history_.Contains(path) || !rules_.IsProtected(path)) return;
  const std::string name = path.substr(path.rfind('\\'));
  const size_t dot = path.rfind('.');
  const bool bad_type = dot != std::string::npos && isInList(path.c_str() + dot, &bad_types_);
  if (bad_type || isInList(name.c_str(), &bad_names_)) {
    ListAsBadFile(path);
    return;
  }
  to_do_.push_back(path);
  ++found_count_;
}
