// The file calls' fault points, over the machine-wide faults: a call named after its function ("WriteFile",
// "MoveFileA") fails with the armed error, or the process ends right after the call completed.
#include "file_layer.h"
#include "xp/faults.h"

namespace xp::kernel32 {

bool FaultFails(std::string_view operation, std::string_view path) {
  const std::optional<uint32_t> error = machine::FailPoint(operation, path);
  if (!error) return false;
  SetLastError(*error);
  return true;
}

void CrashAfter(std::string_view operation, std::string_view path) { machine::CrashPoint(operation, path); }

}  // namespace xp::kernel32
