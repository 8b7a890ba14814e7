// Declarations shared by the outside installer (tavik_setup) and its uninstall command (TavikUninstall.exe), grouped
// by the file that defines them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"

namespace xp::installer {

inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
inline constexpr char kUninstallCommand[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\TavikUninstall.exe";
inline constexpr char kDiskseal[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
inline constexpr char kCaption[] = "Quillmarsh Tavik Setup";
// The token's driver folder, for Install.exe.
inline constexpr char kDriverFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\Driver";
inline constexpr char kDriverInf[] = "nubousb.inf";

// deliverables.cc: what the installer puts on the machine: the built file, its Windows name, the folder it goes to.
struct Deliverable {
  const char* built;
  const char* windows_name;
  const char* folder;
  std::string WindowsPath() const { return std::string(folder) + "\\" + windows_name; }
};
const std::vector<Deliverable>& Deliverables();

// machine_files.cc: files and folders of the machine, through the Win32 calls.
// Makes the folder and each missing folder above it.
bool MakeFolders(const std::string& folder);
// Copies a built program or library into `windows_path` (overwriting), executable; its folder must exist.
bool CopyBuiltFile(const std::filesystem::path& built, const std::string& windows_path, std::string* error);
bool WriteMachineFile(const std::string& windows_path, const std::string& content);
// Deletes the folder's contents and the folder, except the files named in `kept` (and the folders holding them).
void RemoveTree(const std::string& folder, const std::vector<std::string>& kept);

// driver_folder.cc: the INF and the driver file in kDriverFolder.
bool WriteDriverFolder();

// flag_key.cc: the flag key HKLM "SOFTWARE\Quillmarsh\morvelFlag" the installer makes and the uninstall removes.
// "Decrypted", or nullopt when the key or the value is missing.
std::optional<std::string> DecryptedFlag();
// True while the disk may hold encrypted files: the flag is "0", "2", "3" or "5". Installing over such a disk
// would encrypt it twice, removing the install folder would lose its key records.
bool DiskMayHoldEncryptedFiles();
// "GinaDLL" names logongate.dll: removing its file would leave the machine without a logon.
bool LogonComponentInstalled();
bool CreateFlagKey();
bool DeleteFlagKey();

// server_settings.cc: the sixteen web-service settings and the client's "testing", each written unless it exists;
// and their removal with the keys that hold them.
bool WriteServerSettings();
void RemoveServerSettings();

}  // namespace xp::installer
