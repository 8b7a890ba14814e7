// Where a machine keeps its tokens (DIR/devices/usbtoken/<id>/state and requests.log) and locked access to one
// token's state file. Each access holds an flock on the file, so single requests from any number of processes
// and threads run one after the other, as the token's own driver runs them.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "token_state.h"

namespace xp::usbtoken {

std::filesystem::path TokensDir(const std::filesystem::path& machine);
// The ids of every token folder of the machine (unordered); ids are plain folder names.
std::vector<std::string> TokenIds(const std::filesystem::path& machine);
// nullopt for an id that could escape the tokens folder.
std::optional<std::filesystem::path> TokenDir(const std::filesystem::path& machine, const std::string& id);

class StateFile;

// arrivals.cc: a plug leaves the arrival mark for the Plug and Play manager; both plug and unplug tell the machine's
// windows that the device tree changed.
void NoteArrival(const std::filesystem::path& machine, const std::string& id);
void NoteDeparture(const std::filesystem::path& machine);

// StateFile::Update on the token `id` of `machine`; false when there is no such token.
bool UpdateToken(const std::filesystem::path& machine, const std::string& id,
                 const std::function<bool(TokenState&)>& change);
std::optional<TokenState> ReadToken(const std::filesystem::path& machine, const std::string& id);

class StateFile {
 public:
  explicit StateFile(std::filesystem::path token_dir) : dir_(std::move(token_dir)) {}

  // Writes a new token's state; false when the file cannot be written.
  bool Create(const TokenState& state) const;
  // Runs `change` on the state under an exclusive lock and writes back the bytes that changed when it returns
  // true. False when there is no readable token state here (then `change` did not run).
  bool Update(const std::function<bool(TokenState&)>& change) const;
  std::optional<TokenState> Read() const;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path StatePath() const { return dir_ / "state"; }
  std::filesystem::path dir_;
};

}  // namespace xp::usbtoken
