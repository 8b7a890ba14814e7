// What a fresh XP installation's registry holds that the system reads or edits: Winlogon's Userinit and Shell and
// the logon screen's defaults, the (empty) legal notice, the RunOnce key, the service tables of the control sets,
// and each account's shell folders.
#include <string>

#include "registry_private.h"
#include "winreg.h"
#include "xp/machine.h"
#include "xp/registry.h"

namespace xp::registry {
namespace {

std::vector<uint8_t> StringValue(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

LONG SetString(KeyId parent, std::u16string_view key_path, std::u16string_view name, std::u16string_view text) {
  KeyId key = 0;
  if (LONG error = CreateKey(parent, key_path, &key, nullptr)) return error;
  return SetValue(key, name, REG_SZ, StringValue(text));
}

LONG SeedShellFolders(const std::string& account) {
  KeyId hive = 0;
  if (LONG error = OpenUserHive(Utf8ToUtf16(account), &hive)) return error;
  const std::u16string profile = u"C:\\Documents and Settings\\" + Utf8ToUtf16(account);
  const std::u16string key = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const struct {
    std::u16string_view name;
    std::u16string_view folder;
  } folders[] = {
      {u"AppData", u"\\Application Data"},
      {u"Local AppData", u"\\Local Settings\\Application Data"},
      {u"Cache", u"\\Local Settings\\Temporary Internet Files"},
      {u"Desktop", u"\\Desktop"},
      {u"Personal", u"\\My Documents"},
  };
  for (const auto& f : folders) {
    if (LONG error = SetString(hive, key, f.name, profile + std::u16string(f.folder))) return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG SeedFreshInstallation() {
  const std::u16string winlogon = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  if (LONG error = SetString(kMachineKey, winlogon, u"Userinit", u"C:\\WINDOWS\\system32\\userinit.exe,")) {
    return error;
  }
  if (LONG error = SetString(kMachineKey, winlogon, u"Shell", u"Explorer.exe")) return error;
  // The logon screen's defaults: the account setup made and the computer as its domain, no legal notice, and the
  // shutdown dialog without a power-off choice.
  const std::u16string computer = AnsiToUtf16(machine::Setting("computer_name").value_or(""));
  const std::u16string first_account = AnsiToUtf16(machine::Setting("account.1.name").value_or("Administrator"));
  const std::u16string policies = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  const struct {
    const std::u16string& key;
    std::u16string_view name;
    std::u16string_view text;
  } logon_screen[] = {
      {winlogon, u"DefaultUserName", first_account}, {winlogon, u"DefaultDomainName", computer},
      {winlogon, u"LegalNoticeCaption", u""},       {winlogon, u"LegalNoticeText", u""},
      {winlogon, u"PowerDownAfterShutdown", u"0"},  {policies, u"legalnoticecaption", u""},
      {policies, u"legalnoticetext", u""},
  };
  for (const auto& value : logon_screen) {
    if (LONG error = SetString(kMachineKey, value.key, value.name, value.text)) return error;
  }
  for (std::u16string_view key : {u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                  u"SYSTEM\\CurrentControlSet\\Services", u"SYSTEM\\ControlSet001\\Services"}) {
    KeyId made = 0;
    if (LONG error = CreateKey(kMachineKey, key, &made, nullptr)) return error;
  }
  for (int n = 1;; ++n) {
    const auto account = machine::Setting("account." + std::to_string(n) + ".name");
    if (!account) break;
    if (LONG error = SeedShellFolders(*account)) return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace xp::registry
