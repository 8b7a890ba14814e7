// DbgPrint: formats kernel-style printf text (UTF-16 strings with %ws, %S and %wZ) into the kernel's debugger
// log, one entry per call.
#include <cstdio>
#include <string>

#include "include/internal/kernel_state.h"
#include "include/internal/rtl.h"

namespace {

std::string Format(const char* format, va_list arguments) {
  std::string out;
  for (const char* p = format; *p != 0; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    std::string spec = "%";
    ++p;
    while (*p == '-' || *p == '0' || *p == '+' || *p == ' ' || *p == '#') spec += *p++;
    while (*p >= '0' && *p <= '9') spec += *p++;
    if (*p == '.') {
      spec += *p++;
      while (*p >= '0' && *p <= '9') spec += *p++;
    }
    bool wide = false;
    bool long_arg = false;
    bool long_long = false;
    if (*p == 'w') {
      wide = true;
      ++p;
    } else if (*p == 'l') {
      long_arg = true;
      ++p;
      if (*p == 'l') {
        long_long = true;
        ++p;
      }
    } else if (*p == 'h') {
      ++p;
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      long_long = true;
      p += 3;
    }
    const char conversion = *p;
    char buffer[64];
    switch (conversion) {
      case 0:
        return out;
      case '%':
        out += '%';
        break;
      case 'c':
        out += static_cast<char>(va_arg(arguments, int));
        break;
      case 's':
      case 'S': {
        if (wide || conversion == 'S' || long_arg) {
          const auto* text = va_arg(arguments, const char16_t*);
          out += text == nullptr ? "(null)" : xp::ntos::rtl::ToUtf8(text);
        } else {
          const char* text = va_arg(arguments, const char*);
          out += text == nullptr ? "(null)" : text;
        }
        break;
      }
      case 'Z': {
        const auto* text = va_arg(arguments, const UNICODE_STRING*);
        out += text == nullptr ? "(null)" : xp::ntos::rtl::ToUtf8(xp::ntos::rtl::View(text));
        break;
      }
      case 'p':
        std::snprintf(buffer, sizeof buffer, "%p", va_arg(arguments, void*));
        out += buffer;
        break;
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        // Kernel ints and longs are 32 bits; I64/ll take 64.
        const std::string format64 = spec + "ll" + conversion;
        if (long_long) {
          std::snprintf(buffer, sizeof buffer, format64.c_str(), va_arg(arguments, long long));
        } else if (conversion == 'd' || conversion == 'i') {
          std::snprintf(buffer, sizeof buffer, format64.c_str(), static_cast<long long>(va_arg(arguments, int)));
        } else {
          std::snprintf(buffer, sizeof buffer, format64.c_str(),
                        static_cast<unsigned long long>(va_arg(arguments, unsigned int)));
        }
        out += buffer;
        break;
      }
      default:
        out += spec;
        out += conversion;
    }
  }
  return out;
}

}  // namespace

extern "C" {

// Exported by the kernel model.
ULONG DbgPrint(PCSTR format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string text = Format(format, arguments);
  va_end(arguments);
  xp::ntos::KernelState* state = xp::ntos::StateIfAny();
  if (state == nullptr) return STATUS_SUCCESS;
  std::lock_guard<std::mutex> guard(state->debug_lock);
  state->debug_log.push_back(text);
  if (state->options.echo_debug_output) std::fprintf(stderr, "%s", text.c_str());
  return STATUS_SUCCESS;
}

}  // extern "C"
