// The one table of the deliverables the installer puts on the machine. Programs and their own libraries go to the
// install folder; the libraries logongate binds go to the system folder, where Winlogon's process finds them (and
// so do the programs, after their own folder); the driver goes where its service's image path points; logongate
// goes where Winlogon finds the DLL "GinaDLL" names.
#include "installer_private.h"

namespace xp::installer {

const std::vector<Deliverable>& Deliverables() {
  static const std::vector<Deliverable> table = {
      {"diskseal", "diskseal.exe", kInstallFolder},
      {"diskunseal", "diskunseal.exe", kInstallFolder},
      {"recoverkit", "recoverkit.exe", kInstallFolder},
      {"configpanel", "configpanel.exe", kInstallFolder},
      {"tokenpass", "tokenpass.exe", kInstallFolder},
      {"tokenreg", "tokenreg.exe", kInstallFolder},
      {"tokenping", "tokenping.exe", kInstallFolder},
      {"prockill", "prockill.exe", kInstallFolder},
      {"Remove", "Remove.exe", kInstallFolder},
      {"Install", "Install.exe", kInstallFolder},
      {"MRVVerifyCFK", "MRVVerifyCFK.exe", kInstallFolder},
      {"tavik_uninstall", "TavikUninstall.exe", kInstallFolder},
      {"libsetupcore.so", "setupcore.dll", kInstallFolder},
      {"libcipherkit.so", "cipherkit.dll", kInstallFolder},
      {"libtokenio.so", "tokenio.dll", "C:\\WINDOWS\\system32"},
      {"libtokenapi.so", "tokenapi.dll", "C:\\WINDOWS\\system32"},
      {"libinterface.so", "interface.dll", "C:\\WINDOWS\\system32"},
      {"liblogongate.so", "logongate.dll", "C:\\WINDOWS\\system32"},
      {"morvel.sys", "morvel.sys", "C:\\WINDOWS\\system32\\drivers"},
  };
  return table;
}

}  // namespace xp::installer
