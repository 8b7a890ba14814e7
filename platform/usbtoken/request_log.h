// The token's request log: one text line per request in <token>/requests.log, written under the state lock so
// its order is the order in which the token answered.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "xp/usbtoken.h"

namespace xp::usbtoken {

// "220004 0030 1 77 0": code and register in hex, count, data bytes in hex ("-" for none), result.
std::string FormatRequest(const Request& request);
bool ParseRequest(const std::string& line, Request* request);

void AppendRequest(const std::filesystem::path& token_dir, const Request& request);
std::vector<Request> ReadRequests(const std::filesystem::path& token_dir);
bool ClearRequests(const std::filesystem::path& token_dir);

}  // namespace xp::usbtoken
