// The machine's token as the registration programs reach it, through tokenio: its ESN and its answer to a challenge,
// in upper case. Test support of the web service's tests.
#pragma once

#include <string>

namespace xp::websvc::testing {

std::string TokenEsn();
std::string TokenSolve(int slot, const std::string& selector, const std::string& block);

}  // namespace xp::websvc::testing
