// A fresh machine for each UI test, the UI lines of its journal, and a helper process run inside it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scratch_machine.h"

namespace xp::ui::testing {

// A machine without a token or registry, on the virtual clock, where nobody answers until a script is played.
class UiTest : public ::testing::Test {
 protected:
  // The journal's "ui " lines, without the clock and process stamp, from `first` on.
  std::vector<std::string> UiJournal(size_t first = 0) const;
  // Writes `text` as the machine's script and makes it this process's (and its children's) driver.
  std::filesystem::path UseScript(const std::string& text) const;

  const xp::test::ScratchMachine machine_{
      xp::test::ScratchOptions{.token_seed = std::nullopt, .fresh_registry = false, .no_ui = true}};
  const std::filesystem::path root_ = machine_.root();
};

struct ActorRun {
  int exit_code = -1;  // the exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs the UI actor (ui_actor_main.cc) with `args`, `input` on its stdin; killed after 20 s so a hang fails.
ActorRun RunActor(const std::vector<std::string>& args, const std::string& input = "");

}  // namespace xp::ui::testing
