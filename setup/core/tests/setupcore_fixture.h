// A scratch machine with one plugged token and the install folder's paths built, and the views of the machine the
// setupcore tests check against: files on its drives, registry values as stored, and the boxes a run shows.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "scratch_machine.h"
#include "setupcore.h"
#include "windows.h"
#include "xp/machine.h"
#include "xp/ui_script.h"

namespace tavik::setupcore::testing {

inline constexpr char kCaption[] = "Quillmarsh Tavik";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";

inline std::string InInstallFolder(const std::string& name) { return std::string(kInstallFolder) + "\\" + name; }

// A throwaway machine of the given description with one plugged token (seed 3) and an empty registry, entered
// (XPMACHINE, virtual clock) for the machine's lifetime.
inline xp::test::ScratchOptions SetupcoreMachine(const xp::machine::MachineOptions& options = {}) {
  return xp::test::ScratchOptions{.machine = options, .token_seed = 3, .fresh_registry = false};
}

class SetupcoreTest : public ::testing::Test {
 protected:
  explicit SetupcoreTest(const xp::machine::MachineOptions& options = {}) : machine_(SetupcoreMachine(options)) {}

  void SetUp() override {
    MakeFolders(std::string(kInstallFolder) + "\\");
    ASSERT_TRUE(_construct_morvel_sys_files(true));
  }

  const std::filesystem::path& root() const { return machine_.root(); }
  const std::string& token() const { return machine_.token_id(); }

  // The host file behind a Windows path, with the components spelled as given.
  std::filesystem::path Host(const std::string& windows_path) const {
    std::string relative = windows_path.size() > 3 ? windows_path.substr(3) : "";
    for (char& c : relative) c = c == '\\' ? '/' : c;
    return root() / "drives" / windows_path.substr(0, 1) / relative;
  }
  // Files are made and read through the machine's own file calls, which keep what they know of each file.
  // Creates every folder on the way to the path's last backslash.
  static void MakeFolders(const std::string& windows_path) {
    for (size_t cut = windows_path.find('\\', 3); cut != std::string::npos; cut = windows_path.find('\\', cut + 1)) {
      CreateDirectoryA(windows_path.substr(0, cut).c_str(), nullptr);
    }
  }
  static void Put(const std::string& windows_path, const std::string& bytes) {
    MakeFolders(windows_path);
    HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << windows_path;
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    CloseHandle(file);
  }
  static std::optional<std::string> Get(const std::string& windows_path) {
    HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
  }
  static bool Exists(const std::string& windows_path) {
    return GetFileAttributesA(windows_path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // The boxes the next calls must show, in order, each answered with OK.
  void ExpectBoxes(const std::vector<std::pair<std::string, std::string>>& boxes) const {
    xp::ui::Script script;
    for (const auto& [caption, text] : boxes) script.ExpectBox(caption, text).Answer(IDOK);
    script.Install(root());
  }
  void ExpectErrorBoxes(const std::vector<std::string>& texts) const {
    xp::ui::Script script;
    for (const std::string& text : texts) script.ExpectBox(kCaption, text, MB_OK | MB_ICONERROR).Answer(IDOK);
    script.Install(root());
  }
  static size_t BoxesLeft() { return xp::ui::ScriptStepsLeft(); }

 private:
  xp::test::ScratchMachine machine_;
};

// A registry value as stored: its type and bytes (ANSI for strings, as the A calls give them).
struct StoredValue {
  DWORD type = 0;
  std::string bytes;
  bool operator==(const StoredValue&) const = default;
};

inline std::optional<StoredValue> ReadValue(HKEY root, const std::string& subkey, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD size = 0;
  StoredValue value;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return std::nullopt;
  }
  value.bytes.resize(size);
  RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()), &size);
  RegCloseKey(key);
  return value;
}

inline StoredValue Sz(const std::string& text) { return {REG_SZ, text + std::string(1, '\0')}; }

inline void WriteValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                       const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The values "1", "2", ... of a rule key, in order, up to the first missing one.
inline std::vector<StoredValue> RuleValues(const std::string& subkey) {
  std::vector<StoredValue> values;
  for (int i = 1;; ++i) {
    std::optional<StoredValue> value =
        ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\" + subkey, std::to_string(i));
    if (!value) return values;
    values.push_back(*value);
  }
}

}  // namespace tavik::setupcore::testing
