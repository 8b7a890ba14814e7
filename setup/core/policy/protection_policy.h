// Which files are stored encrypted: the one decision that the filter driver makes at every open and that the
// install and uninstall walks make for every file they meet, so that a file is encrypted on disk exactly when the
// driver decrypts it. Works on UTF-16 (driver) and ANSI (walks) text alike; no allocation, no exceptions.
//
// Rule texts are as the registry keeps them: "\WINDOWS" (an entry that begins with a backslash means the system
// volume) or "D:\Data" (any volume, named by its letter).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavik::policy {

enum class RuleKind : uint8_t { kExclusion, kInclusion };

// The drive of a rule written without a letter: the system volume.
inline constexpr char kSystemVolume = 0;

// One rule: a folder (directory rules) or a whole file path (exceptions) on one volume.
template <typename Char>
struct Rule {
  const Char* path = nullptr;            // volume-relative, begins with '\'; need not be NUL-terminated
  size_t length = 0;                     // in characters
  char drive = kSystemVolume;            // 'A'..'Z', or kSystemVolume
  RuleKind kind = RuleKind::kExclusion;  // not used for exceptions
};

// Rules held by the caller, in any order. Among directory rules of equal length that cover a path, the one later
// in the array decides (the driver keeps the newest first).
template <typename Char>
struct RuleSet {
  const Rule<Char>* directories = nullptr;
  size_t directory_count = 0;
  const Rule<Char>* exceptions = nullptr;
  size_t exception_count = 0;
  char system_drive = 'C';  // the volume whose rules have no letter; files in its root stay plain
};

// Reads a registry rule text: "\path" (system volume) or "X:\path". False for any other shape; *rule then keeps
// what it held. `kind` is left as it was.
template <typename Char>
bool ParseRuleText(const Char* text, size_t length, Rule<Char>* rule);

// Splits a full path "X:\dir\file" into its upper-case drive letter and the volume-relative rest "\dir\file".
// False when the path does not begin with a letter, ':' and '\'.
template <typename Char>
bool SplitDrivePath(const Char* path, size_t length, char* drive, const Char** rest, size_t* rest_length);

// Names no rule can protect: too short, a named stream (':' after the first character), the extensions .lnk,
// .sys, .bat and .manifest, the last components \desktop.ini, \index.dat, \usrclass.dat and \usrclass.dat.log,
// and everything under a first component \System~1 or \System Volume Information. Compared ignoring ASCII case.
template <typename Char>
bool IsAlwaysPlainName(const Char* name, size_t length);

// True when the first `rule_length` characters of `name` equal the rule ignoring ASCII case and the name ends
// there or goes on with a backslash.
template <typename Char>
bool PathPrefixEquals(const Char* name, size_t name_length, const Char* rule, size_t rule_length);

// The directory rule that decides for `name` on volume `drive`: the longest rule of that volume, shorter than
// the name, that covers it. nullptr when none does.
template <typename Char>
const Rule<Char>* DecidingDirectoryRule(const RuleSet<Char>& rules, char drive, const Char* name, size_t length);

// True when an exception of that volume names exactly this path.
template <typename Char>
bool IsException(const RuleSet<Char>& rules, char drive, const Char* name, size_t length);

// The decision for a file (never a directory or the paging file; the caller checks those) on a protected volume.
// `drive`: the volume's letter; `name`: its volume-relative path, beginning with '\'.
//  - names of IsAlwaysPlainName, and names whose first character after the backslash is '$', are plain;
//  - on the system volume, files in the root are plain, and nothing is protected while the set has no
//    directory rule at all;
//  - otherwise the deciding directory rule's kind decides (an exclusion: plain); with none, or an inclusion, the
//    file is protected unless it is an exception.
template <typename Char>
bool IsProtectedFile(const RuleSet<Char>& rules, char drive, const Char* name, size_t length);

}  // namespace tavik::policy
