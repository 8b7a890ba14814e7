// Windows paths on the machine's drives: "C:\Program Files\x.exe" is the host file DIR/drives/C/Program Files/x.exe,
// each component found ignoring ASCII case and kept as it was created. Never included by system code.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace xp::machine {

enum class PathLookup {
  kFound,
  kFileNotFound,  // the folder exists, the last component does not
  kPathNotFound,  // a folder on the way, or the drive, does not exist
  kInvalid,       // not an absolute "X:\..." path, or a component that is not a plain name
};

struct FoundPath {
  std::filesystem::path host;  // the host file or folder
  std::string windows;         // "C:\Program Files\x.exe", in the case the components were created with
};

// Finds an existing file or folder. '\' and '/' both separate; repeated separators count as one; "." and ".."
// are resolved by name ("..' never climbs above the drive's root). A symbolic link is never followed: nothing
// outside the machine folder is reachable. Only ASCII letters fold, which is all the system's names need.
PathLookup FindOnDrives(std::string_view windows_path, FoundPath* found);

// The Windows path of a host file under DIR/drives/<L>/, or nullopt for a file outside the drives.
std::optional<std::string> WindowsPathOf(const std::filesystem::path& host);

}  // namespace xp::machine
