// FormatMessageA from the system's message table (system_messages.cc), or from a module's: a stand-in DLL exports
// its table under the name xp/message_table.h gives. Inserts (%1) are left as they stand with
// FORMAT_MESSAGE_IGNORE_INSERTS; filling them from arguments is not implemented.
#include <dlfcn.h>

#include <cstring>

#include "kernel32_private.h"
#include "xp/debug.h"
#include "xp/message_table.h"

namespace {

XP_DEBUG_CHANNEL(kernel32);

constexpr DWORD kSupportedFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                  FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD kSources = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM;
// LANG_NEUTRAL with SUBLANG_DEFAULT or SUBLANG_NEUTRAL, and US English: the table's one language.
bool IsTableLanguage(DWORD language) { return language == 0 || language == 0x400 || language == 0x409; }

// The module's text for the code, or nullptr when it has no table or no such entry.
const char* ModuleMessage(LPCVOID module, DWORD code) {
  const auto* table =
      static_cast<const xp::MessageTableEntry*>(::dlsym(const_cast<void*>(module), xp::kMessageTableSymbol));
  for (; table != nullptr && table->text != nullptr; ++table) {
    if (table->id == code) return table->text;
  }
  return nullptr;
}

}  // namespace

// Exported by kernel32. The length of the text (without its NUL), or 0 with the last error set.
extern "C" DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id, LPSTR buffer,
                                DWORD size, va_list* arguments) {
  if ((flags & ~kSupportedFlags) != 0 || (flags & kSources) == 0) {
    XP_FIXME("FormatMessageA", "only FROM_SYSTEM and FROM_HMODULE, with ALLOCATE_BUFFER and IGNORE_INSERTS");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  const bool from_module = (flags & FORMAT_MESSAGE_FROM_HMODULE) != 0;
  if (from_module && source == nullptr) {
    XP_FIXME("FormatMessageA", "the program's own message table is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  if (from_module && !xp::kernel32::IsLoadedModule(static_cast<HMODULE>(const_cast<void*>(source)))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!IsTableLanguage(language_id)) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  const char* text = from_module ? ModuleMessage(source, message_id) : nullptr;
  if (text == nullptr && (flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) text = xp::kernel32::SystemMessage(message_id);
  if (text == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if ((flags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0 && std::strchr(text, '%') != nullptr) {
    if (arguments != nullptr) XP_FIXME("FormatMessageA", "inserts are not implemented");
    SetLastError(arguments == nullptr ? ERROR_INVALID_PARAMETER : ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(std::strlen(text));
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    // `size` is then the least the block must hold.
    const SIZE_T bytes = length + 1 > size ? length + 1 : size;
    char* const block = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
    if (block == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(block, text, length + 1);
    *reinterpret_cast<LPSTR*>(buffer) = block;
    return length;
  }
  if (size < length + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text, length + 1);
  return length;
}
