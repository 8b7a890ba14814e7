// Whether the filter driver's service runs: while it does, the driver hands out the encrypted files' plaintext, and
// a recovery would decrypt that plaintext again into garbage copies.
#pragma once

namespace tavik::recoverkit {

// A service manager that does not answer, or a status that does not read, counts as running; a service that does
// not exist (the uninstall removed it) does not run.
bool DriverServiceRuns();

}  // namespace tavik::recoverkit
