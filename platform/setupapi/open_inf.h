// An INF file opened by SetupOpenInfFileA: its contents and where it was read from; HINF is its handle.
#pragma once

#include <memory>
#include <string>

#include "inf_file.h"
#include "object_table.h"

namespace xp::setupapi {

struct OpenInf {
  InfFile file;
  std::string path;  // "C:\drv\tok.inf"
};

inline ObjectTable<OpenInf>& OpenInfs() { return ObjectTable<OpenInf>::Instance(); }

}  // namespace xp::setupapi
