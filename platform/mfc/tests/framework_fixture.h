// A fresh machine for each framework test, its UI journal, and scripts for the UI driver.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "xp/ui_script.h"

namespace xp::mfc::testing {

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void Play(const xp::ui::Script& script) const { script.Install(root_); }
  // The journal's "ui" lines without the stamp and the "ui " prefix.
  std::vector<std::string> UiJournal() const;
  // Whether the journal holds `line`.
  bool Journaled(const std::string& line) const;

  std::filesystem::path root_;

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
};

}  // namespace xp::mfc::testing
