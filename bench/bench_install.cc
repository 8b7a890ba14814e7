#include "bench_install.h"

#include <cstring>

#include "setupcore.h"
#include "tokenio.h"
#include "windows.h"
#include "xp/registry.h"

namespace bench {
namespace {

constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";

void Put(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void SetFlagValue(const char* name, const std::string& text) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", 0, nullptr, REG_OPTION_NON_VOLATILE,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

}  // namespace

void PrepareInstall() {
  xp::registry::SeedFreshInstallation();
  SetFlagValue("Decrypted", "4");
  const std::string folder = kInstallFolder;
  CreateDirectoryA("C:\\Program Files\\Quillmarsh", nullptr);
  CreateDirectoryA("C:\\Program Files\\Quillmarsh\\Tavik", nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  Put(folder + "\\_MRVBADFTYPES", ".lnk\n.sys\n.bat\n.manifest\n");
  Put(folder + "\\_MRVBADFNAMES", "\\pagefile.sys\n");
  Put(folder + "\\_MRVMYNEFL", "C:\\Program Files\\Quillmarsh\n");
  _construct_morvel_sys_files(true);
  unsigned char esn[128];
  GetESN(esn);
  SetFlagValue("ESN", std::string(reinterpret_cast<char*>(esn), 8));
  BurnPwd(SilentView::kPassword);
  unsigned char s1[17], sn[17], cfk[17], kn[17], xcfk[33] = {}, expanded_kn[32], efkn[33] = {};
  char s1_hex[33], sn_hex[33], response[33];
  generate_s1(s1, s1_hex);
  write_nubo_s1(s1, 16);
  expandBin(s1, 16, s1_hex);
  generate_cfk(s1_hex, cfk, response);
  expand_cfk(cfk, xcfk);
  generate_sn(sn, sn_hex);
  write_hd_sn(sn, 16, 0, 0);
  generate_kn(sn_hex, response, kn);
  expand_kn(kn, 16, expanded_kn);
  std::memcpy(efkn, xcfk, 32);
  _enc(efkn, 32, expanded_kn, 32);
  write_hd_efkn(efkn, 32);
  write_hd_install_state(300);
}

void ForgetConversions() {
  for (const char* name : {"MRVENCHS", "_MRVENCHIST.BAK", "MRVDECHS", "_MRVDECHIST.BAK"}) {
    DeleteFileA((std::string(kInstallFolder) + "\\" + name).c_str());
  }
}

}  // namespace bench
