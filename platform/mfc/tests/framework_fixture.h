// A fresh machine for each framework test, its UI journal, and scripts for the UI driver.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_machine.h"
#include "xp/ui_script.h"

namespace xp::mfc::testing {

class FrameworkTest : public ::testing::Test {
 protected:
  void Play(const xp::ui::Script& script) const { machine_.Play(script); }
  // The journal's "ui" lines without the stamp and the "ui " prefix.
  std::vector<std::string> UiJournal() const;
  // Whether the journal holds `line`.
  bool Journaled(const std::string& line) const;

 private:
  // No token and an empty registry: the framework needs neither; nobody answers until a script is played.
  const xp::test::ScratchMachine machine_{
      xp::test::ScratchOptions{.token_seed = std::nullopt, .fresh_registry = false, .no_ui = true}};
};

}  // namespace xp::mfc::testing
