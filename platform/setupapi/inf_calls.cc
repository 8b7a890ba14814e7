// Opening INF files and reading their class: the file is read through the machine's file layer when it is opened.
#include <strings.h>

#include <cstring>

#include "open_inf.h"
#include "setupapi_private.h"
#include "windows.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(setupapi);

namespace xp::setupapi {
namespace {

bool IsWin4Signature(const std::optional<std::string>& signature) {
  if (!signature) return false;
  for (const char* accepted : {"$Windows NT$", "$Chicago$", "$Windows 95$"}) {
    if (::strcasecmp(signature->c_str(), accepted) == 0) return true;
  }
  return false;
}

}  // namespace
}  // namespace xp::setupapi

using xp::setupapi::Fail;

// Exported by setupapi. The class is [Version]'s Class; its GUID is ClassGUID (zeros when the INF gives none).
extern "C" BOOL SetupDiGetINFClassA(LPCSTR inf_name, LPGUID class_guid, LPSTR class_name, DWORD class_name_size,
                                    PDWORD required_size) {
  if (class_guid == nullptr || (class_name == nullptr && class_name_size != 0)) return Fail(ERROR_INVALID_PARAMETER);
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupDiGetINFClassA")) return Fail(*error);
  DWORD error = ERROR_SUCCESS;
  UINT line = 0;
  const std::optional<xp::setupapi::InfFile> inf = xp::setupapi::LoadInfFile(inf_name, &error, &line);
  if (!inf) return Fail(error);
  const std::optional<std::string> name = inf->Value("Version", "Class");
  if (!name || name->empty()) return Fail(ERROR_NO_ASSOCIATED_CLASS);
  GUID guid{};
  if (const std::optional<std::string> guid_text = inf->Value("Version", "ClassGUID")) {
    if (!xp::setupapi::ParseGuid(*guid_text, &guid)) return Fail(ERROR_INVALID_CLASS);
  }
  if (required_size != nullptr) *required_size = static_cast<DWORD>(name->size() + 1);
  if (class_name_size < name->size() + 1) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(class_name, name->c_str(), name->size() + 1);
  *class_guid = guid;
  return xp::setupapi::Succeed();
}

// Exported by setupapi. Only INF_STYLE_WIN4. A class given (not empty) must be the INF's own.
extern "C" HINF SetupOpenInfFileA(LPCSTR file_name, LPCSTR inf_class, DWORD inf_style, PUINT error_line) {
  auto refuse = [](DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  };
  if (inf_style != INF_STYLE_WIN4) {
    XP_FIXME("SetupOpenInfFileA", "only INF_STYLE_WIN4 is implemented");
    return refuse(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupOpenInfFileA")) return refuse(*error);
  DWORD error = ERROR_SUCCESS;
  UINT line = 0;
  std::optional<xp::setupapi::InfFile> inf = xp::setupapi::LoadInfFile(file_name, &error, &line);
  if (!inf) {
    if (line != 0 && error_line != nullptr) *error_line = line;
    return refuse(error);
  }
  if (!xp::setupapi::IsWin4Signature(inf->Value("Version", "Signature"))) return refuse(ERROR_WRONG_INF_STYLE);
  if (inf_class != nullptr && *inf_class != '\0') {
    const std::optional<std::string> own = inf->Value("Version", "Class");
    if (!own || ::strcasecmp(own->c_str(), inf_class) != 0) return refuse(ERROR_CLASS_MISMATCH);
  }
  const HINF handle = xp::setupapi::OpenInfs().Add(
      std::make_shared<xp::setupapi::OpenInf>(xp::setupapi::OpenInf{std::move(*inf), file_name}));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

// Exported by setupapi.
extern "C" void SetupCloseInfFile(HINF inf) { xp::setupapi::OpenInfs().Remove(inf); }
