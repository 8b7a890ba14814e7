// The protection decision as a table of paths, each decided in ANSI (the walks) and in UTF-16 (the driver) over
// one rule set as the registry holds it: exclusions, a longer inclusion inside one, exceptions, and rules for a
// second volume written with its drive letter.
#include "protection_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavik::policy {
namespace {

template <typename Char>
std::basic_string<Char> Text(std::string_view ascii) {
  return std::basic_string<Char>(ascii.begin(), ascii.end());
}

struct RuleText {
  std::string text;
  RuleKind kind;
};

// Owns the texts a RuleSet points into, as the registry reader of either side would.
template <typename Char>
class Rules {
 public:
  Rules(const std::vector<RuleText>& directories, const std::vector<std::string>& exceptions) {
    for (const RuleText& r : directories) texts_.push_back(Text<Char>(r.text));
    for (const std::string& e : exceptions) texts_.push_back(Text<Char>(e));
    for (size_t i = 0; i < texts_.size(); ++i) {
      Rule<Char> rule;
      EXPECT_TRUE(ParseRuleText(texts_[i].data(), texts_[i].size(), &rule)) << i;
      if (i < directories.size()) {
        rule.kind = directories[i].kind;
        directories_.push_back(rule);
      } else {
        exceptions_.push_back(rule);
      }
    }
    set_ = {directories_.data(), directories_.size(), exceptions_.data(), exceptions_.size(), 'C'};
  }
  const RuleSet<Char>& set() const { return set_; }

 private:
  std::vector<std::basic_string<Char>> texts_;
  std::vector<Rule<Char>> directories_;
  std::vector<Rule<Char>> exceptions_;
  RuleSet<Char> set_;
};

const std::vector<RuleText> kDirectories = {
    {"\\WINDOWS\\Temp", RuleKind::kInclusion},  // added before the shorter rule: still tried first
    {"\\WINDOWS", RuleKind::kExclusion},          {"\\Program Files\\Quillmarsh\\Tavik\\XP", RuleKind::kExclusion},
    {"\\Recycler", RuleKind::kExclusion},         {"D:\\Recycler", RuleKind::kExclusion},
    {"d:\\Data\\Excluded", RuleKind::kExclusion}, {"\\a~b", RuleKind::kExclusion},
};
const std::vector<std::string> kExceptions = {"\\WINDOWS\\Temp\\failed.tmp", "D:\\Data\\failed.doc"};

struct Case {
  char drive;
  const char* name;
  bool is_protected;
};

const Case kCases[] = {
    {'C', "\\Documents and Settings\\u\\a.doc", true},
    {'C', "\\boot.ini", false},  // the system volume's root
    {'C', "\\Windows\\x.lnk", false},
    {'C', "\\x\\desktop.ini", false},
    {'C', "\\x\\USRCLASS.DAT.LOG", false},
    {'C', "\\x\\a.manifest", false},
    {'C', "\\$Mft", false},
    {'C', "\\x\\a.txt:stream", false},
    {'C', "\\System Volume Information\\x\\a.dat", false},
    {'C', "\\SYSTEM~1\\a.dat", false},
    {'C', "\\WINDOWS\\system32\\a.dll", false},
    {'C', "\\windows\\temp\\a.tmp", true},        // the longer inclusion wins
    {'C', "\\WINDOWSX\\a.txt", true},             // a rule needs a backslash after its text
    {'C', "\\WINDOWS\\Temp\\failed.tmp", false},  // an exception inside an inclusion
    {'C', "\\WINDOWS\\Temp\\failed.tmp2", true},
    {'C', "\\WINDOWS\\Temp\\failed.tm", true},
    {'C', "\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVENTFE", false},
    {'C', "\\Recycler\\S-1-5\\Dc1.doc", false},
    {'C', "\\a^b\\x.txt", true},  // only letters fold: '^' is not '~'
    {'C', "\\a~B\\x.txt", false},
    {'D', "\\root.txt", true},  // other volumes protect their root
    {'D', "\\Recycler\\Dc1.doc", false},
    {'D', "\\WINDOWS\\a.dll", true},  // a rule without a letter is the system volume's
    {'D', "\\Data\\Excluded\\a.txt", false},
    {'D', "\\Data\\failed.doc", false},
    {'d', "\\data\\FAILED.DOC", false},
    {'D', "\\Data\\other.doc", true},
    {'C', "\\Data\\failed.doc", true},  // D:'s exception is not C:'s
    {'E', "\\Recycler\\x.doc", true},
};

template <typename Char>
void CheckTable() {
  Rules<Char> rules(kDirectories, kExceptions);
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(1, c.drive) + ":" + c.name);
    const std::basic_string<Char> name = Text<Char>(c.name);
    EXPECT_EQ(IsProtectedFile(rules.set(), c.drive, name.data(), name.size()), c.is_protected);
  }
}

TEST(ProtectionPolicy, DecidesAlikeInAnsiAndUtf16) {
  CheckTable<char>();
  CheckTable<char16_t>();
}

TEST(ProtectionPolicy, NothingOnTheSystemVolumeWithoutDirectoryRules) {
  const std::string name = "\\Documents\\a.doc";
  RuleSet<char> empty;
  EXPECT_FALSE(IsProtectedFile(empty, 'C', name.data(), name.size()));
  EXPECT_TRUE(IsProtectedFile(empty, 'D', name.data(), name.size()));
}

TEST(ProtectionPolicy, AtEqualLengthTheLaterRuleDecides) {
  const std::string text = "\\Data";
  Rule<char> rules[2];
  ASSERT_TRUE(ParseRuleText(text.data(), text.size(), &rules[0]));
  rules[1] = rules[0];
  rules[0].kind = RuleKind::kExclusion;
  rules[1].kind = RuleKind::kInclusion;
  RuleSet<char> set{rules, 2, nullptr, 0, 'C'};
  const std::string name = "\\data\\a.txt";
  EXPECT_EQ(DecidingDirectoryRule(set, 'C', name.data(), name.size()), &rules[1]);
  EXPECT_TRUE(IsProtectedFile(set, 'C', name.data(), name.size()));
}

TEST(ParseRuleText, AcceptsOnlyTheTwoRegistryShapes) {
  struct {
    const char* text;
    bool ok;
    char drive;
    const char* path;
  } cases[] = {
      {"\\WINDOWS", true, kSystemVolume, "\\WINDOWS"},
      {"D:\\Data", true, 'D', "\\Data"},
      {"e:\\", true, 'E', "\\"},
      {"D:Data", false, 0, ""},
      {"1:\\x", false, 0, ""},
      {"WINDOWS", false, 0, ""},
      {"", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Rule<char> rule;
    const std::string text = c.text;
    ASSERT_EQ(ParseRuleText(text.data(), text.size(), &rule), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(rule.drive, c.drive);
    EXPECT_EQ(std::string(rule.path, rule.length), c.path);
  }
}

}  // namespace
}  // namespace tavik::policy
