// The RunOnce value "RunSetup": Windows runs it at the next administrator logon and deletes it first, so diskseal
// sets it again whenever work is left that must resume, and deletes it when it refuses to go on.
#include "diskseal_private.h"
#include "setupcore.h"

namespace tavik::diskseal {
namespace {

constexpr char kRunSetup[] = "RunSetup";
constexpr char kProgram[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";

}  // namespace

void ArmRunSetup() {
  delRunOnceValue(kRunSetup);
  setRunOnceKey(kRunSetup, kProgram);
}

void DisarmRunSetup() { delRunOnceValue(kRunSetup); }

}  // namespace tavik::diskseal
