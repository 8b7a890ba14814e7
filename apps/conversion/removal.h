// What both ends of a decryption do once the files are plain again (the uninstall and the give-up of an incomplete
// install): the report that keeps the key beside the files left encrypted, the removal of the product's registry
// tree and of the driver's service, the desktop started again and the hand-over to the recovery tool or the
// uninstall command. Each program passes in the texts and captions in which the two differ.
#pragma once

#include <initializer_list>
#include <string>

#include "windows.h"

class CWnd;

namespace tavik::conversion {

// ---- The report (report_file.cc).
// Appends the key block "\r\n<stamp>Decryption Key:\r\n<key_text>\r\n" to MRVLOG, replaces MorvelReport.txt by a
// read-only copy of MRVLOG, writes it and the run's own `lists` of the install folder (those that exist) through to
// the disk, and deletes the `stale_lists` (the other program's lists, which belong with an older report and perhaps
// another key). True when MorvelReport.txt holds this key and the lists that name its files are on the disk.
bool WriteDecryptionReport(const std::string& key_text, std::initializer_list<const char*> lists,
                           std::initializer_list<const char*> stale_lists);
// Deletes the named files of the install folder, read-only or not; a missing file is fine.
void DeleteInstallFiles(std::initializer_list<const char*> names);

// ---- The system (system_removal.cc).
// The boxes of the registry tree's removal: the owner, icon and captions of the box that asks the user to delete
// HKLM "SOFTWARE\Quillmarsh\Tavik" by hand when "SOFTWARE\Quillmarsh" does not open or the tree is not deleted.
struct RegistryRemovalBoxes {
  CWnd* owner;
  UINT icon;
  const char* open_failed_caption;
  const char* delete_failed_caption;
};
// Deletes HKLM "SOFTWARE\Quillmarsh\Tavik" with all its subkeys. True when it is gone (also when it was gone
// before); false after the box.
bool RemoveProductRegistry(const RegistryRemovalBoxes& boxes);
// Stops and deletes the driver's service "Morvel" through the driver-loading library. True when it is gone.
bool RemoveDriverService();
// Starts the desktop again ("explorer.exe" through the shell), which the process ending before the files ended.
void RestartDesktop();

// ---- The hand-over (hand_over.cc).
inline constexpr char kRecoveryTool[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\recoverkit.exe";
// The end of a decryption's texts: the question asked when files failed (Yes starts the recovery tool, No the
// uninstall command), its icon, the box shown when none failed, its icon, and the longest "ISLink" read.
struct HandOverTexts {
  const char* recovery_question;
  UINT question_icon;
  const char* all_decrypted;
  UINT all_decrypted_icon;
  size_t link_limit;
};
// Reads the uninstall command ("ISLink" under the flag key; "Read Installshield link failed." when it is missing),
// asks or tells by `texts` and starts the recovery tool or the uninstall command ("Launch process failed." and
// the advice to run the uninstall from the CD when it does not start). True when a program was started; the caller
// then ends the process.
bool HandOver(CWnd* owner, bool files_failed, const HandOverTexts& texts);

}  // namespace tavik::conversion
